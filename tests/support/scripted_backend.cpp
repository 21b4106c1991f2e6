// The scripted backend's entries, its record and the controls that tests
// use to script it. Each entry logs itself under its table name and
// answers from the settings; window-system events reach the program only
// through the core's queue, as they do from X11 and Wayland.
//
// Depends on: the core and the standard library.
// Cannot: draw, or wait for anything that was not scripted.
#include "tests/support/scripted_backend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

ScriptedBackend scripted;

namespace {

struct ScriptedWindow : NativeWindow {
    ScriptedWindow() : NativeWindow(scriptedBackend) {}
    bool iconic = false;
};

ScriptedWindow& nativeOf(const WindowRecord& record) {
    return static_cast<ScriptedWindow&>(*record.native);
}

std::intptr_t handleArg(const WindowRecord* record) {
    return record != nullptr ? scriptedArg(coreHandle(*record)) : 0;
}

std::string connect() {
    return {};
}

bool createWindow(WindowRecord& record, int format) {
    scriptedLog("createWindow", format);
    if (format != 0 && !scripted.formatCanBeSet) {
        return false;
    }
    record.native = std::make_unique<ScriptedWindow>();
    return true;
}

void destroyWindow(WindowRecord&) {
    scriptedLog("destroyWindow");
}

void showWindow(WindowRecord&, bool show) {
    scriptedLog("showWindow", show);
}

void moveWindow(WindowRecord& record) {
    scriptedLog("moveWindow", record.x, record.y);
}

// The window system grants every size at once; its answer comes back
// through the queue, as a configure event's would.
void resizeWindow(WindowRecord& record) {
    scriptedLog("resizeWindow", record.width, record.height);
    coreReportSize(record, record.width, record.height);
}

bool grabPointer(WindowRecord&) {
    scriptedLog("grabPointer");
    return true;
}

void releasePointer() {
    scriptedLog("releasePointer");
}

bool iconic(const WindowRecord& record) {
    return nativeOf(record).iconic;
}

int screenMetric(int index) {
    scriptedLog("screenMetric", index);
    return index == SM_CXSCREEN ? scripted.screenWidth : scripted.screenHeight;
}

int messageBox(WindowRecord* owner, const char* text, const char* caption, UINT type) {
    scriptedRecord("messageBox", {handleArg(owner), scriptedArg(type)}, {text, caption});
    if (scripted.echoMessageBoxes) {
        std::fprintf(stderr, "messageBox owner=%p type=%u caption=[%s] text=[%s]\n",
                     owner != nullptr ? static_cast<void*>(coreHandle(*owner)) : nullptr, type,
                     caption, text);
    }
    coreStartWarmUp();  // as a box that is drawn and idle does; last, as nothing else logs
    return scripted.messageBoxAnswer;
}

// Every look at the queue comes through here, so this is where a loop
// that never ends is stopped: nothing is left to find but the quit.
void readEvents() {
    if (++scripted.queueLooks <= scripted.queueLookLimit) {
        return;
    }
    if (scripted.queueLooks == scripted.queueLookLimit + 1) {
        scriptedLog("runawayLoop");
    }
    core.queue.clear();
    PostQuitMessage(kRunawayExitCode);
}

bool waitForEvents() {
    scriptedLog("waitForEvents");
    if (scripted.whenQueueRunsDry && scripted.whenQueueRunsDry()) {
        return true;
    }
    scriptedLog("queueRanDry");
    return false;
}

int keyCharacter(const MSG& keyDown) {
    return keyDown.lPrivate != 0 ? static_cast<int>(keyDown.lPrivate) : -1;
}

int choosePixelFormat(const PIXELFORMATDESCRIPTOR& request) {
    scriptedLog("choosePixelFormat");
    scripted.formatRequest = request;
    return scripted.chosenFormat;
}

int pixelFormatCount() {
    return scripted.formatCount;
}

bool describePixelFormat(int, PIXELFORMATDESCRIPTOR* descriptor) {
    *descriptor = scripted.format;
    return true;
}

UINT realizePalette(WindowRecord&, const std::vector<PALETTEENTRY>& entries) {
    scriptedLog("realizePalette", entries.size());
    return static_cast<UINT>(entries.size());
}

// Context handles count up from a base no window or DC handle reaches.
HGLRC createContext(WindowRecord&) {
    scriptedLog("createContext");
    if (!scripted.contextCreationSucceeds) {
        return nullptr;
    }
    return reinterpret_cast<HGLRC>(std::uintptr_t{0x60000000} + ++scripted.contextsMade);
}

bool makeCurrent(WindowRecord* record, HGLRC context) {
    scriptedLog("makeCurrent", handleArg(record), context);
    scripted.currentContext = context;
    return true;
}

bool deleteContext(HGLRC context) {
    scriptedLog("deleteContext", context);
    if (scripted.currentContext == context) {
        scripted.currentContext = nullptr;
    }
    return context != nullptr;
}

// Runs on the warm-up's helper: the draw runs with nothing current, and
// the context is a marker that no handle of the core equals.
void* warmContext(int format, void (*draw)()) {
    scriptedLog("warmContext", format);
    if (!scripted.warmContextSucceeds) {
        return nullptr;
    }
    draw();
    return reinterpret_cast<void*>(kWarmContextMarker + static_cast<std::uintptr_t>(format));
}

bool swapBuffers(WindowRecord&) {
    scriptedLog("swapBuffers");
    return true;
}

}  // namespace

const PlatformBackend scriptedBackend = {
    .name = "scripted",
    .connect = connect,
    .createWindow = createWindow,
    .destroyWindow = destroyWindow,
    .showWindow = showWindow,
    .moveWindow = moveWindow,
    .resizeWindow = resizeWindow,
    .grabPointer = grabPointer,
    .releasePointer = releasePointer,
    .iconic = iconic,
    .screenMetric = screenMetric,
    .messageBox = messageBox,
    .readEvents = readEvents,
    .waitForEvents = waitForEvents,
    .keyCharacter = keyCharacter,
    .choosePixelFormat = choosePixelFormat,
    .pixelFormatCount = pixelFormatCount,
    .describePixelFormat = describePixelFormat,
    .realizePalette = realizePalette,
    .createContext = createContext,
    .makeCurrent = makeCurrent,
    .deleteContext = deleteContext,
    .swapBuffers = swapBuffers,
    .warmContext = warmContext,
};

void resetScriptedBackend() {
    coreReset();
    scripted = ScriptedBackend{};
    const PlatformBackend* const only[] = {&scriptedBackend};
    coreConnect(only);
}

void scriptedRecord(std::string name, std::vector<std::intptr_t> args,
                    std::vector<std::string> texts) {
    scripted.calls.push_back({std::move(name), std::move(args), std::move(texts)});
}

WindowRecord* scriptedWindow() {
    for (auto it = core.windows.rbegin(); it != core.windows.rend(); ++it) {
        if ((*it)->alive) {
            return it->get();
        }
    }
    return nullptr;
}

HWND scriptedWindowHandle() {
    WindowRecord* record = scriptedWindow();
    return record != nullptr ? coreHandle(*record) : nullptr;
}

namespace {

void postInput(UINT message, WPARAM wParam, LPARAM lParam, DWORD character) {
    if (WindowRecord* record = scriptedWindow()) {
        corePost(*record, message, wParam, lParam, 0, {}, character);
    }
}

}  // namespace

void scriptedPost(UINT message, WPARAM wParam, LPARAM lParam) {
    postInput(message, wParam, lParam, 0);
}

void scriptedPostKey(char character) {
    const auto code = static_cast<unsigned char>(character);
    postInput(WM_KEYDOWN, static_cast<WPARAM>(std::toupper(code)), 1, code);
}

void scriptedPostMouse(UINT message, int x, int y) {
    postInput(message, 0, corePointLParam(x, y), 0);
}

void scriptedResizeFromOutside(int width, int height) {
    scriptedLog("outsideResize", width, height);
    if (WindowRecord* record = scriptedWindow()) {
        coreReportSize(*record, width, height);
    }
}

void scriptedInvalidate() {
    if (WindowRecord* record = scriptedWindow()) {
        record->invalid = true;
    }
}

void scriptedSetIconic(bool iconic) {
    scriptedLog("outsideIconic", iconic);
    WindowRecord* record = scriptedWindow();
    if (record == nullptr || record->native == nullptr) {
        return;
    }
    const bool wasIconic = nativeOf(*record).iconic;
    nativeOf(*record).iconic = iconic;
    if (wasIconic && !iconic) {
        record->invalid = true;
    }
}

std::vector<std::string> scriptedCallNames() {
    std::vector<std::string> names;
    for (const ScriptedCall& call : scripted.calls) {
        names.push_back(call.name);
    }
    return names;
}

std::vector<ScriptedCall> scriptedCallsNamed(const std::string& name) {
    std::vector<ScriptedCall> matching;
    std::copy_if(scripted.calls.begin(), scripted.calls.end(), std::back_inserter(matching),
                 [&](const ScriptedCall& call) { return call.name == name; });
    return matching;
}

int scriptedCount(const std::string& name) {
    return static_cast<int>(
        std::count_if(scripted.calls.begin(), scripted.calls.end(),
                      [&](const ScriptedCall& call) { return call.name == name; }));
}
