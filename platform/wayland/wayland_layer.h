// Shared state of the Wayland backend: the connection and its globals, the
// outputs, the seat with xkbcommon's keyboard state, EGL, and what each
// window keeps. Reached by the backend's files and its tests.
//
// Depends on: libwayland-client, libdecor, xkbcommon, EGL.
// Cannot: place windows (Wayland has no client positions).
#pragma once

#include "platform/core.h"
#include "platform/wayland/wayland_backend.h"

#include <EGL/egl.h>
#include <libdecor.h>
#include <wayland-client.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct wp_viewporter;
struct wp_viewport;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

// A seat the compositor offers: its global's name and version.
struct WaylandSeatGlobal {
    std::uint32_t name = 0;
    std::uint32_t version = 0;
};

struct WaylandOutput {
    wl_output* output = nullptr;  // null once its global went
    zxdg_output_v1* xdgOutput = nullptr;
    std::uint32_t name = 0;
    int scale = 1;
    int modeWidth = 0;  // device pixels, the current mode
    int modeHeight = 0;
    int logicalWidth = 0;  // from zxdg_output_v1; 0 when not told
    int logicalHeight = 0;
};

// Device pixels per logical pixel on the output: the mode against the
// logical size, which a fractional scale makes other than the integer one.
double waylandOutputFactor(const WaylandOutput& output);

// What decides the scale a surface is shown at: the outputs it is on, and
// the compositor's preferred scale where it tells one. Windows and message
// boxes keep one each, in place until it is stopped; a change calls back
// with the owner.
struct ScaleWatch {
    std::vector<wl_output*> entered;
    int preferred120 = 0;  // wp_fractional_scale_v1's scale x 120; 0 = not told
    wp_fractional_scale_v1* fractional = nullptr;
    void (*changed)(void* owner) = nullptr;
    void* owner = nullptr;
};

// How a buffer of a fixed size in device pixels is shown: at an integer
// factor by its buffer scale; at a fractional one at buffer scale 1,
// through a viewport's destination.
struct BufferScale {
    int scale = 1;
    double factor = 1;  // device pixels per logical pixel
    bool operator==(const BufferScale&) const = default;
};

// A wl_shm buffer of xRGB pixels.
struct ShmBuffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    std::size_t bytes = 0;
    int width = 0;
    int height = 0;
};

// A top-level: a parent surface decorated by libdecor, filled black, and
// a subsurface of the drawable's size centred on it for GL. The drawable
// keeps its size in device pixels; its logical size follows the scale of
// the outputs the window is on: drawable / scale at an integer scale,
// through a viewport's destination at a fractional one (buffer scale 1).
struct WaylandWindow : NativeWindow {
    WaylandWindow() : NativeWindow(waylandBackend) {}
    ~WaylandWindow() override;
    wl_surface* surface = nullptr;  // the decorated parent
    wl_surface* glSurface = nullptr;
    wl_subsurface* subsurface = nullptr;
    libdecor_frame* frame = nullptr;
    ShmBuffer margin;
    wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;
    int scale = 1;      // the buffers' scale
    double factor = 1;  // device pixels per logical pixel
    ScaleWatch scaleWatch;
    int drawWidth = 0;  // the drawable, device pixels
    int drawHeight = 0;
    int pictureWidth = 0;  // the drawable, logical pixels
    int pictureHeight = 0;
    int contentWidth = 0;  // the parent, logical pixels
    int contentHeight = 0;
    int offsetX = 0;  // the picture's corner on the parent, logical; < 0 when cropped
    int offsetY = 0;
    int cropX = 0;  // the GL surface's shown part of the picture, logical;
    int cropY = 0;  // a size of 0 when it is all shown
    int cropWidth = 0;
    int cropHeight = 0;
    bool rescaled = false;            // the viewport must be set again
    wp_viewport* viewport = nullptr;  // crops the GL surface; null without wp_viewporter
    bool configured = false;
    wl_callback* frameCallback = nullptr;
    std::chrono::steady_clock::time_point frameAsked{};
    bool starved = false;           // a frame asked long ago was never granted
    bool pictureCommitted = false;  // the GL surface has had a picture
};

struct WaylandLayer {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_subcompositor* subcompositor = nullptr;
    wl_shm* shm = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScales = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_touch* touch = nullptr;
    std::uint32_t seatName = 0;                  // the seat's global
    bool seatEmpty = false;                      // it said it has no devices
    std::vector<WaylandSeatGlobal> seatGlobals;  // offered, oldest first
    std::vector<WaylandOutput> outputs;
    std::vector<ScaleWatch*> scaleWatches;  // of live windows and boxes
    libdecor* decor = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;
    wl_surface* pointerFocus = nullptr;
    wl_surface* keyboardFocus = nullptr;
    double pointerX = 0;  // surface-local, logical
    double pointerY = 0;
    bool buttonHeld = false;
    EGLDisplay egl = EGL_NO_DISPLAY;
    bool eglReady = false;
    std::vector<EGLConfig> configs;  // pixel format n is configs[n - 1]
    // The warm-up's context took its first viewport from a surface of
    // another size; its first window sets it again, as EGL does once.
    EGLContext needsViewport = EGL_NO_CONTEXT;
    // A message box's input goes to it, not to the queue.
    struct BoxInput* box = nullptr;
};

extern WaylandLayer wl;

// The connection: a round trip for globals, another for outputs and seat;
// "" when connected, else the reason in one line.
std::string waylandConnect();
void waylandFail(const char* what);  // one line on stderr, status 1
void waylandDispatch();              // reads and dispatches without blocking
bool waylandWait();                  // blocks for events, then dispatches
// The same, for no longer than the limit.
bool waylandWaitAtMost(std::chrono::milliseconds limit);
// True when nothing waits to be read or dispatched; what was sent is flushed.
bool waylandIdle();
const WaylandOutput* waylandFirstOutput();
int waylandScale();

// Windows. The Wayland side of a window; null before it is made.
WaylandWindow* waylandWindowOf(const WindowRecord& record);

// Scales. The surface tells which outputs it is on, and the compositor its
// preferred scale where it can and the surface has a viewport to take it.
void waylandWatchScale(ScaleWatch& watch, wl_surface* surface, bool fractional,
                       void (*changed)(void* owner), void* owner);
void waylandUnwatchScale(ScaleWatch& watch);
// An output's scale or size changed, or it went: every watch hears it.
void waylandOutputsChanged();
void waylandForgetOutput(const wl_output* output);
// Device pixels per logical pixel for the surface: the compositor's
// preferred scale where it tells one, else the largest of its outputs'
// (the first output's before it is on any).
double waylandWantedFactor(const ScaleWatch& watch);
BufferScale waylandBufferScale(double factor, bool viewport);
// A length in device pixels at that scale, in logical pixels (at least 1).
int waylandLogicalLength(int devicePixels, const BufferScale& scale);
WindowRecord* waylandRecordOf(wl_surface* surface);  // parent or GL surface
// Frame callbacks on a window's GL surface.
void waylandAskForFrame(WaylandWindow& window);
void waylandFrameDone(WaylandWindow& window);
// Waits, dispatching, until the frame asked at the last swap is granted; a
// short bound, and none once the window is starved.
void waylandAwaitFrame(WaylandWindow& window);
// After a swap: the first picture is made sure to reach the screen.
void waylandPictureCommitted(WaylandWindow& window);

// Input: pointer, keyboard and touch listeners on the seat; unbinding
// releases its devices, and the seat unless its global was removed.
void waylandBindSeat(wl_seat* seat);
void waylandUnbindSeat(bool removed);
// The keyboard: a new wl_keyboard from the seat, and what is forgotten
// when it goes (its focus, the repeat).
void waylandTakeKeyboard(wl_seat* seat);
void waylandForgetKeyboard();
// A held key repeats at the compositor's rate: how long until it is due
// (ms, -1 when no key repeats), and posting it once due.
int waylandRepeatTimeout();
void waylandPostDueRepeat();
// Message boxes hear their own input through this.
struct BoxInput {
    wl_surface* surface = nullptr;
    void* data = nullptr;  // the box
    double factor = 1;     // device pixels per logical pixel
    void (*pointer)(BoxInput& box, int x, int y, bool pressed, bool released);
    void (*key)(BoxInput& box, xkb_keysym_t keysym);
};

inline bool waylandOnBox(wl_surface* surface) {
    return wl.box != nullptr && surface != nullptr && wl.box->surface == surface;
}

// Buffers.
bool waylandMakeBuffer(ShmBuffer& buffer, int width, int height);
void waylandFreeBuffer(ShmBuffer& buffer);

// EGL.
bool waylandEglReady();
int waylandChooseFormat(const PIXELFORMATDESCRIPTOR& request);
PIXELFORMATDESCRIPTOR waylandDescribeConfig(EGLConfig config);
bool waylandMakeEglSurface(WaylandWindow& window, int format);
HGLRC waylandCreateContext(WindowRecord& record);
// On the warm-up's helper: a context for the format, with draw run once on
// a hidden surface of the same config that is gone again on return.
void* waylandWarmContext(int format, void (*draw)());
bool waylandMakeCurrent(WindowRecord* record, HGLRC context);
bool waylandDeleteContext(HGLRC context);
bool waylandSwap(WindowRecord& record);

int waylandMessageBox(WindowRecord* owner, const char* text, const char* caption, UINT type);
