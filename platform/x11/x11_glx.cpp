// Pixel formats, palettes, the OpenGL binding and buffer swaps over GLX.
// A pixel format is a visual of the screen, numbered from 1 in the server's
// order; setting one creates the window's X window with that visual and its
// own colormap. Palettes are stored into that colormap when the visual is
// PseudoColor or GrayScale, and are harmless no-ops otherwise.
//
// The warm-up's context is made and drawn with on the core's helper thread,
// in an unmapped window of its own, and handed to the main thread unbound.
//
// Depends on: GLX 1.2 (glXChooseVisual, glXGetConfig, glXCreateContext);
// Xlib's locking (XInitThreads) for the helper.
// Cannot: layer planes, or one context current on two threads; a server
// without GLX offers no format that supports OpenGL.

#include "platform/x11/x11_layer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const XVisualInfo* visualOfFormat(int format) {
    const auto& visuals = x11Visuals();
    if (format < 1 || static_cast<std::size_t>(format) > visuals.size()) {
        return nullptr;
    }
    return &visuals[static_cast<std::size_t>(format) - 1];
}

int formatOfVisual(VisualID id) {
    const auto& visuals = x11Visuals();
    for (std::size_t i = 0; i < visuals.size(); ++i) {
        if (visuals[i].visualid == id) {
            return static_cast<int>(i + 1);
        }
    }
    return 0;
}

bool hasGlx() {
    if (x11Display() == nullptr) {
        return false;
    }
    if (x11.glxPresent < 0) {
        int errorBase = 0;
        int eventBase = 0;
        x11.glxPresent = glXQueryExtension(x11.display, &errorBase, &eventBase) ? 1 : 0;
    }
    return x11.glxPresent == 1;
}

int glxValue(const XVisualInfo& visual, int attribute) {
    int value = 0;
    return glXGetConfig(x11.display, const_cast<XVisualInfo*>(&visual), attribute, &value) == 0
               ? value
               : 0;
}

VisualTraits askTraits(const XVisualInfo& visual) {
    VisualTraits traits;
    traits.visualClass = visual.c_class;
    traits.depth = visual.depth;
    traits.redMask = visual.red_mask;
    traits.greenMask = visual.green_mask;
    traits.blueMask = visual.blue_mask;
    if (!hasGlx() || glxValue(visual, GLX_USE_GL) == 0) {
        return traits;
    }
    traits.openGl = true;
    traits.rgba = glxValue(visual, GLX_RGBA) != 0;
    traits.doubleBuffer = glxValue(visual, GLX_DOUBLEBUFFER) != 0;
    traits.alphaBits = glxValue(visual, GLX_ALPHA_SIZE);
    traits.depthBits = glxValue(visual, GLX_DEPTH_SIZE);
    traits.stencilBits = glxValue(visual, GLX_STENCIL_SIZE);
    traits.accumRedBits = glxValue(visual, GLX_ACCUM_RED_SIZE);
    traits.accumGreenBits = glxValue(visual, GLX_ACCUM_GREEN_SIZE);
    traits.accumBlueBits = glxValue(visual, GLX_ACCUM_BLUE_SIZE);
    traits.accumAlphaBits = glxValue(visual, GLX_ACCUM_ALPHA_SIZE);
    traits.auxBuffers = glxValue(visual, GLX_AUX_BUFFERS);
    return traits;
}

const VisualTraits& traitsOfFormat(int format) {
    const auto index = static_cast<std::size_t>(format - 1);
    x11.visualTraits.resize(x11Visuals().size());
    auto& traits = x11.visualTraits[index];
    if (!traits) {
        traits = askTraits(x11Visuals()[index]);
    }
    return *traits;
}

BYTE byte(int value) {
    return static_cast<BYTE>(std::clamp(value, 0, 255));
}

// The request, as glXChooseVisual understands it. Colour sizes of 1 make
// GLX prefer the deepest visual, the closest a screen offers to "any".
std::vector<int> glxRequest(const PIXELFORMATDESCRIPTOR& request) {
    std::vector<int> attributes;
    if (request.iPixelType == PFD_TYPE_RGBA) {
        attributes.insert(attributes.end(),
                          {GLX_RGBA, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1});
        if (request.cAlphaBits > 0) {
            attributes.insert(attributes.end(), {GLX_ALPHA_SIZE, 1});
        }
    } else {
        attributes.insert(attributes.end(),
                          {GLX_BUFFER_SIZE, std::max<int>(request.cColorBits, 1)});
    }
    if ((request.dwFlags & PFD_DOUBLEBUFFER) != 0) {
        attributes.push_back(GLX_DOUBLEBUFFER);
    }
    if (request.cDepthBits > 0) {
        attributes.insert(attributes.end(), {GLX_DEPTH_SIZE, request.cDepthBits});
    }
    if (request.cStencilBits > 0) {
        attributes.insert(attributes.end(), {GLX_STENCIL_SIZE, request.cStencilBits});
    }
    attributes.push_back(None);
    return attributes;
}

bool sameXSide(const XVisualInfo& a, const XVisualInfo& b) {
    return a.c_class == b.c_class && a.depth == b.depth && a.red_mask == b.red_mask &&
           a.green_mask == b.green_mask && a.blue_mask == b.blue_mask;
}

bool sameButDepthBits(const VisualTraits& a, const VisualTraits& b) {
    return a.visualClass == b.visualClass && a.depth == b.depth && a.redMask == b.redMask &&
           a.greenMask == b.greenMask && a.blueMask == b.blueMask && a.openGl == b.openGl &&
           a.rgba == b.rgba && a.doubleBuffer == b.doubleBuffer && a.alphaBits == b.alphaBits &&
           a.stencilBits == b.stencilBits && a.accumRedBits == b.accumRedBits &&
           a.accumGreenBits == b.accumGreenBits && a.accumBlueBits == b.accumBlueBits &&
           a.accumAlphaBits == b.accumAlphaBits && a.auxBuffers == b.auxBuffers;
}

// glXChooseVisual prefers the deepest depth buffer, ChoosePixelFormat the
// closest: among visuals like GLX's pick but for the depth buffer, take the
// smallest that still meets the request (16 bits where 32 would be chosen).
// Windows programs get that under Wine, and with another precision the
// model's two windings per triangle win the depth test in other places.
// Only visuals whose X side matches are asked about GLX at all, and those
// only for their depth buffer until one could win.
int closestDepthFormat(const XVisualInfo& chosen, int requestedDepthBits) {
    int best = formatOfVisual(chosen.visualid);
    if (best == 0) {
        return 0;
    }
    const VisualTraits picked = traitsOfFormat(best);
    int bestBits = picked.depthBits;
    const auto& visuals = x11Visuals();
    for (std::size_t i = 0; i < visuals.size(); ++i) {
        if (!sameXSide(visuals[i], chosen)) {
            continue;
        }
        const int format = static_cast<int>(i + 1);
        const int depthBits = x11.visualTraits[i] ? x11.visualTraits[i]->depthBits
                                                  : glxValue(visuals[i], GLX_DEPTH_SIZE);
        if (depthBits < requestedDepthBits || depthBits >= bestBits) {
            continue;
        }
        if (sameButDepthBits(traitsOfFormat(format), picked)) {
            best = format;
            bestBits = depthBits;
        }
    }
    return best;
}

// Without a usable driver Mesa falls back to an indirect context, which
// the server may refuse with an X error; the caller says it better.
GLXContext newContext(const XVisualInfo& visual) {
    return glXCreateContext(x11.display, const_cast<XVisualInfo*>(&visual), nullptr, True);
}

// Where the warm-up draws: never mapped, small, with the format's visual.
struct HiddenDrawable {
    Window window = None;
    Colormap colormap = None;
};

constexpr unsigned kHiddenSide = 64;

HiddenDrawable makeHiddenDrawable(const XVisualInfo& visual) {
    const Window root = RootWindow(x11.display, x11.screen);
    HiddenDrawable hidden;
    hidden.colormap = XCreateColormap(x11.display, root, visual.visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = hidden.colormap;
    attributes.border_pixel = 0;
    hidden.window =
        XCreateWindow(x11.display, root, 0, 0, kHiddenSide, kHiddenSide, 0, visual.depth,
                      InputOutput, visual.visual, CWColormap | CWBorderPixel, &attributes);
    return hidden;
}

void freeHiddenDrawable(const HiddenDrawable& hidden) {
    if (hidden.window != None) {
        XDestroyWindow(x11.display, hidden.window);
    }
    XFreeColormap(x11.display, hidden.colormap);
    XSync(x11.display, False);
}

// The draw, with the context current on the hidden window; false when GLX
// or the server refused any of it.
bool drawHidden(GLXContext context, const HiddenDrawable& hidden, void (*draw)()) {
    XSync(x11.display, False);
    if (x11WarmErrors.count != 0 || !glXMakeCurrent(x11.display, hidden.window, context)) {
        return false;
    }
    draw();
    glFinish();  // the shaders are built while the frame is drawn
    glXMakeCurrent(x11.display, None, nullptr);
    return true;
}

}  // namespace

const std::vector<XVisualInfo>& x11Visuals() {
    if (!x11.visualsLoaded && x11Display() != nullptr) {
        XVisualInfo pattern{};
        pattern.screen = x11.screen;
        int count = 0;
        XVisualInfo* list = XGetVisualInfo(x11.display, VisualScreenMask, &pattern, &count);
        if (list != nullptr) {
            x11.visuals.assign(list, list + count);
            XFree(list);
        }
        x11.visualsLoaded = true;
    }
    return x11.visuals;
}

bool x11NeedsPalette(const XVisualInfo& visual) {
    return visual.c_class == PseudoColor || visual.c_class == GrayScale;
}

int x11MaskBits(unsigned long mask) {
    return __builtin_popcountl(mask);
}

int x11MaskShift(unsigned long mask) {
    return mask == 0 ? 0 : __builtin_ctzl(mask);
}

PIXELFORMATDESCRIPTOR x11DescribeTraits(const VisualTraits& traits) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW;
    if (traits.openGl) {
        pfd.dwFlags |= PFD_SUPPORT_OPENGL;
        if (traits.doubleBuffer) {
            pfd.dwFlags |= PFD_DOUBLEBUFFER;
        }
    }
    const bool indexed = traits.visualClass == PseudoColor || traits.visualClass == GrayScale ||
                         traits.visualClass == StaticColor || traits.visualClass == StaticGray;
    if (traits.visualClass == PseudoColor || traits.visualClass == GrayScale) {
        pfd.dwFlags |= PFD_NEED_PALETTE;
    }
    if (indexed) {
        pfd.iPixelType = PFD_TYPE_COLORINDEX;
        pfd.cColorBits = byte(traits.depth);
    } else {
        pfd.iPixelType = PFD_TYPE_RGBA;
        pfd.cRedBits = byte(x11MaskBits(traits.redMask));
        pfd.cRedShift = byte(x11MaskShift(traits.redMask));
        pfd.cGreenBits = byte(x11MaskBits(traits.greenMask));
        pfd.cGreenShift = byte(x11MaskShift(traits.greenMask));
        pfd.cBlueBits = byte(x11MaskBits(traits.blueMask));
        pfd.cBlueShift = byte(x11MaskShift(traits.blueMask));
        // Colour bits count red, green and blue only, as Win32 does.
        pfd.cColorBits = byte(pfd.cRedBits + pfd.cGreenBits + pfd.cBlueBits);
        pfd.cAlphaBits = byte(traits.alphaBits);
        if (traits.alphaBits > 0) {
            const unsigned long colour = traits.redMask | traits.greenMask | traits.blueMask;
            pfd.cAlphaShift = byte(colour == 0 ? 0 : 64 - __builtin_clzl(colour));
        }
    }
    pfd.cAccumRedBits = byte(traits.accumRedBits);
    pfd.cAccumGreenBits = byte(traits.accumGreenBits);
    pfd.cAccumBlueBits = byte(traits.accumBlueBits);
    pfd.cAccumAlphaBits = byte(traits.accumAlphaBits);
    pfd.cAccumBits = byte(traits.accumRedBits + traits.accumGreenBits + traits.accumBlueBits +
                          traits.accumAlphaBits);
    pfd.cDepthBits = byte(traits.depthBits);
    pfd.cStencilBits = byte(traits.stencilBits);
    pfd.cAuxBuffers = byte(traits.auxBuffers);
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

int x11ChoosePixelFormat(const PIXELFORMATDESCRIPTOR& request) {
    if (!hasGlx()) {
        return 0;
    }
    std::vector<int> attributes = glxRequest(request);
    XVisualInfo* chosen = glXChooseVisual(x11.display, x11.screen, attributes.data());
    if (chosen == nullptr) {
        return 0;
    }
    const int format = request.cDepthBits > 0 ? closestDepthFormat(*chosen, request.cDepthBits)
                                              : formatOfVisual(chosen->visualid);
    XFree(chosen);
    return format;
}

// A pixel format is the window's visual: the X window is made again with it.
bool x11CreateWindowForFormat(WindowRecord& record, int format) {
    return x11CreateXWindow(record, format != 0 ? visualOfFormat(format) : nullptr);
}

int x11PixelFormatCount() {
    return static_cast<int>(x11Visuals().size());
}

bool x11DescribePixelFormat(int format, PIXELFORMATDESCRIPTOR* descriptor) {
    const XVisualInfo* visual = visualOfFormat(format);
    if (visual == nullptr) {
        return false;
    }
    *descriptor = x11DescribeTraits(traitsOfFormat(format));
    return true;
}

// Stores the palette into the window's writable colormap; returns how many
// entries went in (0 where the visual has no palette to set).
UINT x11RealizePalette(WindowRecord& record, const std::vector<PALETTEENTRY>& entries) {
    const XVisualInfo* visual = visualOfFormat(record.pixelFormat);
    const X11Window* window = x11WindowOf(record);
    if (visual == nullptr || window == nullptr || !window->ownsColormap ||
        !x11NeedsPalette(*visual)) {
        return 0;
    }
    const std::size_t count =
        std::min(entries.size(), static_cast<std::size_t>(std::max(visual->colormap_size, 0)));
    std::vector<XColor> colours(count);
    for (std::size_t i = 0; i < count; ++i) {
        const PALETTEENTRY& entry = entries[i];
        colours[i].pixel = i;
        colours[i].red = static_cast<unsigned short>(entry.peRed * 257);
        colours[i].green = static_cast<unsigned short>(entry.peGreen * 257);
        colours[i].blue = static_cast<unsigned short>(entry.peBlue * 257);
        colours[i].flags = DoRed | DoGreen | DoBlue;
    }
    XStoreColors(x11.display, window->colormap, colours.data(), static_cast<int>(count));
    XFlush(x11.display);
    return static_cast<UINT>(count);
}

HGLRC x11CreateContext(WindowRecord& record) {
    const XVisualInfo* visual = visualOfFormat(record.pixelFormat);
    if (visual == nullptr || !traitsOfFormat(record.pixelFormat).openGl) {
        return nullptr;
    }
    x11.errorsExplained = true;
    GLXContext context = newContext(*visual);
    x11SyncErrors();
    x11.errorsExplained = false;
    if (context == nullptr) {
        // The program ignores this result; without a line the window is just black.
        std::fprintf(stderr, "morvane: cannot create an OpenGL rendering context\n");
        return nullptr;
    }
    return coreAddContext(context);
}

void* x11WarmContext(int format, void (*draw)()) {
    const XVisualInfo* visual = visualOfFormat(format);
    if (visual == nullptr || !traitsOfFormat(format).openGl) {
        return nullptr;
    }
    x11WarmErrors.count = 0;
    x11WarmErrors.counting = true;
    GLXContext context = newContext(*visual);
    const HiddenDrawable hidden = makeHiddenDrawable(*visual);
    const bool drawn = context != nullptr && drawHidden(context, hidden, draw);
    freeHiddenDrawable(hidden);
    if (!drawn && context != nullptr) {
        glXDestroyContext(x11.display, context);
        context = nullptr;
    }
    x11WarmErrors.counting = false;
    x11.needsViewport = context;
    return context;
}

// The viewport and scissor box GLX gives a context the first time it is
// made current, for a context that met the hidden window first.
void setFirstViewport(GLXContext context, const WindowRecord& record) {
    if (context == x11.needsViewport) {
        x11.needsViewport = nullptr;
        glViewport(0, 0, record.width, record.height);
        glScissor(0, 0, record.width, record.height);
    }
}

bool x11MakeCurrent(WindowRecord* record, HGLRC context) {
    if (x11.display == nullptr) {
        return false;
    }
    if (record == nullptr) {
        return glXMakeCurrent(x11.display, None, nullptr);
    }
    const X11Window* window = x11WindowOf(*record);
    auto* glx = static_cast<GLXContext>(coreContextOf(context));
    if (window == nullptr || window->picture == None || glx == nullptr) {
        return false;
    }
    const unsigned long errorsBefore = x11.errorCount;
    const Bool made = glXMakeCurrent(x11.display, window->picture, glx);
    x11SyncErrors();  // a mismatched visual is reported only asynchronously
    if (!made || x11.errorCount != errorsBefore) {
        std::fprintf(stderr, "morvane: cannot make the OpenGL rendering context current\n");
        return false;
    }
    setFirstViewport(glx, *record);
    return true;
}

bool x11DeleteContext(HGLRC context) {
    auto* glx = static_cast<GLXContext>(coreContextOf(context));
    if (glx == nullptr) {
        return false;
    }
    if (glXGetCurrentContext() == glx) {
        glXMakeCurrent(x11.display, None, nullptr);
    }
    if (glx == x11.needsViewport) {
        x11.needsViewport = nullptr;
    }
    glXDestroyContext(x11.display, glx);
    coreForgetContext(context);
    return true;
}

bool x11SwapBuffers(WindowRecord& record) {
    const X11Window* window = x11WindowOf(record);
    if (window == nullptr || window->picture == None) {
        return false;
    }
    glXSwapBuffers(x11.display, window->picture);
    return true;
}
