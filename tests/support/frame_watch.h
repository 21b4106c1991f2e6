// Sees each frame a client presents, as the X server receives it: the RECORD
// extension copies the client's image-transfer requests (PutImage, and
// ShmPutImage of MIT-SHM) to this watcher. Mesa's software GLX presents each
// swapped back buffer with one such request (on Xvfb: one ShmPutImage of the
// whole buffer), and nothing else in the program sends them, so they mark
// frames exactly, without sampling the screen.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/record.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

class FrameWatch {
public:
    using Clock = std::chrono::steady_clock;

    // Watches the client that owns the given window (any of its resources).
    FrameWatch(const std::string& display, Window clientResource);
    ~FrameWatch();
    FrameWatch(const FrameWatch&) = delete;
    FrameWatch& operator=(const FrameWatch&) = delete;

    bool ok() const { return context_ != 0; }

    // Reads what the server has recorded so far; call it to see new frames.
    void poll();
    // When each frame seen so far reached this watcher.
    std::vector<Clock::time_point> frames();
    size_t count();

    // True once this many frames have been seen in all.
    bool waitForCount(size_t total, std::chrono::milliseconds deadline);
    // True once no frame has come for the quiet time.
    bool waitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds deadline);

private:
    static void onRecord(XPointer self, XRecordInterceptData* data);

    Display* control_ = nullptr;
    Display* data_ = nullptr;
    XRecordContext context_ = 0;
    int shmOpcode_ = -1;
    std::mutex mutex_;
    bool started_ = false;
    std::vector<Clock::time_point> frames_;
};
