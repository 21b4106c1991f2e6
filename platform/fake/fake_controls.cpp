// The fake platform's state record, its record of calls and the controls
// that tests use to script it. Depends on nothing but the standard library;
// it cannot draw, and it knows only one window.
#include <algorithm>
#include <cctype>

#include "platform/fake/fake_platform.h"

FakePlatform fake;

void resetFakePlatform() {
    fake = FakePlatform{};
}

void fakeRecord(std::string name, std::vector<std::intptr_t> args, std::vector<std::string> texts) {
    fake.calls.push_back({std::move(name), std::move(args), std::move(texts)});
}

void fakePost(UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{};
    msg.hwnd = kFakeWindow;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    fake.queue.push_back(msg);
}

// The key's virtual-key code goes in wParam as on Windows (the upper-case
// letter for both cases); the character it types rides in lPrivate, where
// TranslateMessage finds it.
void fakePostKey(char character) {
    const auto code = static_cast<unsigned char>(character);
    fakePost(WM_KEYDOWN, static_cast<WPARAM>(std::toupper(code)), 1);
    fake.queue.back().lPrivate = code;
}

void fakePostMouse(UINT message, int x, int y) {
    fakePost(message, 0, MAKELPARAM(x, y));
}

void fakeResizeFromOutside(int width, int height) {
    fakeLog("outsideResize", width, height);
    fake.windowWidth = width;
    fake.windowHeight = height;
    fakeSend(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

void fakeInvalidate() {
    fake.needsPaint = fake.windowExists;
}

void fakeSetIconic(bool iconic) {
    fakeLog("outsideIconic", iconic);
    fake.windowIconic = iconic;
    if (!iconic) {
        fakeInvalidate();
    }
}

// Deeper than this, the window procedure is calling back into itself without
// end (say, a size handler that never settles); the fake stops answering.
constexpr int kMaxSendDepth = 32;

LRESULT fakeSend(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!fake.windowExists) {
        fakeLog("refusedForMissingWindow", message, wParam, lParam);
        return 0;
    }
    if (fake.sendDepth >= kMaxSendDepth) {
        fakeLog("sendTooDeep", message, wParam, lParam);
        return 0;
    }
    fakeLog("windowProc", message, wParam, lParam);
    ++fake.sendDepth;
    const LRESULT result = fake.windowClass.lpfnWndProc(kFakeWindow, message, wParam, lParam);
    --fake.sendDepth;
    return result;
}

std::vector<std::string> fakeCallNames() {
    std::vector<std::string> names;
    for (const FakeCall& call : fake.calls) {
        names.push_back(call.name);
    }
    return names;
}

std::vector<FakeCall> fakeCallsNamed(const std::string& name) {
    std::vector<FakeCall> matching;
    std::copy_if(fake.calls.begin(), fake.calls.end(), std::back_inserter(matching),
                 [&](const FakeCall& call) { return call.name == name; });
    return matching;
}

int fakeCount(const std::string& name) {
    return static_cast<int>(std::count_if(fake.calls.begin(), fake.calls.end(),
                                          [&](const FakeCall& call) { return call.name == name; }));
}
