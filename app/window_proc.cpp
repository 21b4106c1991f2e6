#include "app/shell.h"
#include "app/viewer_state.h"
#include "glcontext/pixel_format.h"
#include "input/trackball.h"
#include "scene/scene.h"

namespace {

// Client coordinates arrive as two signed 16-bit halves; they are negative
// left of or above the window while the mouse is captured.
int mouseX(LPARAM lParam) {
    return static_cast<SHORT>(LOWORD(lParam));
}
int mouseY(LPARAM lParam) {
    return static_cast<SHORT>(HIWORD(lParam));
}

std::int32_t toggled(std::int32_t flag) {
    return flag == 0 ? 1 : 0;
}

LRESULT onCreate(HWND window) {
    viewer.deviceContext = GetDC(window);
    choosePixelFormat(viewer.deviceContext);
    setupPalette(viewer.deviceContext);
    viewer.renderContext = wglCreateContext(viewer.deviceContext);
    wglMakeCurrent(viewer.deviceContext, viewer.renderContext);
    initScene();
    return 0;
}

LRESULT onDestroy(HWND window) {
    if (viewer.renderContext != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(viewer.renderContext);
    }
    viewer.idleHook = nullptr;
    ReleaseDC(window, viewer.deviceContext);
    PostQuitMessage(0);
    return 0;
}

LRESULT onChar(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (wParam) {
        case 27:
            DestroyWindow(window);
            return 0;
        case 'f':
            viewer.fogEnabled = toggled(viewer.fogEnabled);
            requestRedraw();
            return 0;
        case 'p':
            viewer.wireframe = toggled(viewer.wireframe);
            requestRedraw();
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

void realisePalette() {
    UnrealizeObject(reinterpret_cast<HGDIOBJ>(viewer.palette));
    SelectPalette(viewer.deviceContext, viewer.palette, FALSE);
    RealizePalette(viewer.deviceContext);
}

}  // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool ready = viewer.renderContext != nullptr;
    switch (message) {
        case WM_CREATE:
            return onCreate(window);
        case WM_DESTROY:
            return onDestroy(window);
        case WM_SIZE:
            if (!ready) {
                break;
            }
            // The drawable keeps the size it had when the context was made
            // current, so the window is held at that size.
            SetWindowPos(window, nullptr, 0, 0, viewer.windowWidth, viewer.windowHeight,
                         SWP_NOMOVE);
            return 0;
        case WM_PAINT: {
            if (!ready) {
                break;
            }
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            requestRedraw();
            EndPaint(window, &paint);
            return 0;
        }
        case WM_CHAR:
            return onChar(window, message, wParam, lParam);
        case WM_MOUSEMOVE:
            if (ready) {
                dragTo(mouseX(lParam), mouseY(lParam));
            }
            break;
        case WM_LBUTTONDOWN:
            if (!ready) {
                break;
            }
            SetCapture(window);
            beginDrag(mouseX(lParam), mouseY(lParam));
            return 0;
        case WM_LBUTTONUP:
            if (!ready) {
                break;
            }
            ReleaseCapture();
            endDrag(mouseX(lParam), mouseY(lParam));
            return 0;
        case WM_QUERYNEWPALETTE:
            if (viewer.palette == nullptr) {
                break;
            }
            realisePalette();
            requestRedraw();
            return 1;
        case WM_PALETTECHANGED:
            if (viewer.palette == nullptr || reinterpret_cast<HWND>(wParam) == window) {
                break;
            }
            realisePalette();
            requestRedraw();
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
