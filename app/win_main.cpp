#include "app/shell.h"
#include "app/viewer_state.h"

namespace {

void registerWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResourceId));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;  // the renderer paints everything
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    RegisterClassA(&windowClass);
}

// Both sides come from the screen height, so the window is square.
std::int32_t sideFromScreenHeight() {
    return static_cast<std::int32_t>(GetSystemMetrics(SM_CYSCREEN) * 0.8);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    registerWindowClass(instance);
    MessageBoxA(nullptr, kUsageNotice, kNoticeCaption, MB_OK);

    viewer.windowWidth = sideFromScreenHeight();
    viewer.windowHeight = sideFromScreenHeight();

    HWND window = CreateWindowExA(0, kWindowClassName, kWindowCaption,
                                  WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  viewer.windowX, viewer.windowY, viewer.windowWidth,
                                  viewer.windowHeight, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    return runMainLoop();
}
