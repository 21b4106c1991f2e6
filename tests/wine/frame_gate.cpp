// Preloaded (LD_PRELOAD) into a program under test so that the test decides
// when each frame may follow the last: after every presented frame the
// program writes one byte to the test and waits for one byte back. That
// makes the number of spin steps, and so the model's orientation, the same
// in the Linux and the Windows program. The byte it writes is the depth
// buffer's bit count. MORVANE_FRAME_GATE="in,out" names the two inherited
// pipe ends; without it the library does nothing.
//
// Depends on: glibc's dlvsym, GLX. Wine takes glXGetProcAddressARB from the
// GL library's handle with dlsym, which LD_PRELOAD alone does not reach, and
// every GLX function from that, so both are wrapped too. A caller's own
// dlsym(RTLD_NEXT, ...) searches after this library, not after the caller.
#include <GL/glx.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using SwapBuffersFn = void (*)(Display*, GLXDrawable);
using SwapBuffersMscFn = std::int64_t (*)(Display*, GLXDrawable, std::int64_t, std::int64_t,
                                          std::int64_t);
using DlsymFn = void* (*)(void*, const char*);

SwapBuffersFn realSwapBuffers = nullptr;
SwapBuffersMscFn realSwapBuffersMsc = nullptr;
using GetProcAddressFn = void (*(*)(const GLubyte*))();
GetProcAddressFn realGetProcAddress = nullptr;

DlsymFn realDlsym() {
    static DlsymFn found = [] {
        void* f = dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
        if (f == nullptr) {
            f = dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
        }
        return reinterpret_cast<DlsymFn>(f);
    }();
    return found;
}

struct Gate {
    int in = -1;
    int out = -1;
};

Gate& gate() {
    static Gate g = [] {
        Gate parsed;
        const char* spec = std::getenv("MORVANE_FRAME_GATE");
        if (spec == nullptr || std::sscanf(spec, "%d,%d", &parsed.in, &parsed.out) != 2) {
            return Gate{};
        }
        return parsed;
    }();
    return g;
}

// Depth-buffer bits of the drawable just presented, as GL reports them; the
// GL library is already loaded by the program, so it is not linked in here.
int depthBits() {
    using GetIntegervFn = void (*)(GLenum, GLint*);
    static auto getIntegerv =
        reinterpret_cast<GetIntegervFn>(realDlsym()(RTLD_DEFAULT, "glGetIntegerv"));
    GLint bits = 0;
    if (getIntegerv != nullptr) {
        getIntegerv(GL_DEPTH_BITS, &bits);
    }
    return bits;
}

// The frame is on the server before the test is told, and the program waits
// for the test's byte; if the test has gone, it runs on freely.
void pauseAfterFrame(Display* display) {
    Gate& g = gate();
    if (g.in < 0) {
        return;
    }
    XSync(display, False);
    char byte = static_cast<char>(depthBits());
    if (write(g.out, &byte, 1) != 1 || read(g.in, &byte, 1) != 1) {
        g = Gate{};
    }
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    if (realSwapBuffers == nullptr) {
        realSwapBuffers = reinterpret_cast<SwapBuffersFn>(realDlsym()(RTLD_NEXT, "glXSwapBuffers"));
    }
    if (realSwapBuffers != nullptr) {
        realSwapBuffers(display, drawable);
    }
    pauseAfterFrame(display);
}

namespace {

std::int64_t gatedSwapBuffersMsc(Display* display, GLXDrawable drawable, std::int64_t targetMsc,
                                 std::int64_t divisor, std::int64_t remainder) {
    const std::int64_t count = realSwapBuffersMsc(display, drawable, targetMsc, divisor, remainder);
    pauseAfterFrame(display);
    return count;
}

// Hands out the gated swaps in place of the real ones, remembering those.
// Wine presents with glXSwapBuffersMscOML where the server offers it.
void* gatedIfSwap(const char* name, void* found) {
    if (found == nullptr) {
        return found;
    }
    if (std::strcmp(name, "glXSwapBuffers") == 0 &&
        found != reinterpret_cast<void*>(&glXSwapBuffers)) {
        realSwapBuffers = reinterpret_cast<SwapBuffersFn>(found);
        return reinterpret_cast<void*>(&glXSwapBuffers);
    }
    if (std::strcmp(name, "glXSwapBuffersMscOML") == 0 &&
        found != reinterpret_cast<void*>(&gatedSwapBuffersMsc)) {
        realSwapBuffersMsc = reinterpret_cast<SwapBuffersMscFn>(found);
        return reinterpret_cast<void*>(&gatedSwapBuffersMsc);
    }
    if (std::strcmp(name, "glXGetProcAddressARB") == 0 &&
        found != reinterpret_cast<void*>(&glXGetProcAddressARB)) {
        realGetProcAddress = reinterpret_cast<GetProcAddressFn>(found);
        return reinterpret_cast<void*>(&glXGetProcAddressARB);
    }
    return found;
}

}  // namespace

extern "C" void* dlsym(void* handle, const char* name) noexcept {
    return gatedIfSwap(name, realDlsym()(handle, name));
}

extern "C" void (*glXGetProcAddressARB(const GLubyte* name))() {
    if (realGetProcAddress == nullptr) {
        realGetProcAddress =
            reinterpret_cast<GetProcAddressFn>(realDlsym()(RTLD_NEXT, "glXGetProcAddressARB"));
    }
    auto found = realGetProcAddress != nullptr ? realGetProcAddress(name) : nullptr;
    return reinterpret_cast<void (*)()>(
        gatedIfSwap(reinterpret_cast<const char*>(name), reinterpret_cast<void*>(found)));
}

extern "C" void (*glXGetProcAddress(const GLubyte* name))() {
    return glXGetProcAddressARB(name);
}
