#include "tests/support/frame_watch.h"

#include <X11/Xproto.h>

#include "tests/support/wait_for.h"

FrameWatch::FrameWatch(const std::string& display, Window clientResource) {
    control_ = XOpenDisplay(display.c_str());
    data_ = XOpenDisplay(display.c_str());
    if (control_ == nullptr || data_ == nullptr) {
        return;
    }
    int major = 0;
    int minor = 0;
    if (XRecordQueryVersion(control_, &major, &minor) == 0) {
        return;
    }
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(control_, "MIT-SHM", &shmOpcode_, &firstEvent, &firstError)) {
        shmOpcode_ = -1;
    }

    XRecordRange* ranges[2] = {XRecordAllocRange(), XRecordAllocRange()};
    ranges[0]->core_requests.first = X_PutImage;
    ranges[0]->core_requests.last = X_PutImage;
    int rangeCount = 1;
    if (shmOpcode_ >= 0) {
        constexpr unsigned short kShmPutImage = 3;
        ranges[1]->ext_requests.ext_major.first = static_cast<unsigned char>(shmOpcode_);
        ranges[1]->ext_requests.ext_major.last = static_cast<unsigned char>(shmOpcode_);
        ranges[1]->ext_requests.ext_minor.first = kShmPutImage;
        ranges[1]->ext_requests.ext_minor.last = kShmPutImage;
        rangeCount = 2;
    }
    XRecordClientSpec client = clientResource;
    context_ = XRecordCreateContext(control_, 0, &client, 1, ranges, rangeCount);
    XFree(ranges[0]);
    XFree(ranges[1]);
    XSync(control_, False);
    if (context_ != 0 && XRecordEnableContextAsync(data_, context_, onRecord,
                                                   reinterpret_cast<XPointer>(this)) == 0) {
        XRecordFreeContext(control_, context_);
        context_ = 0;
    }
    // Recording is live once the server says so; frames before that are lost.
    const bool live = context_ != 0 && waitFor(
                                           [&] {
                                               poll();
                                               std::lock_guard<std::mutex> lock(mutex_);
                                               return started_;
                                           },
                                           std::chrono::seconds(10), std::chrono::milliseconds(1));
    if (context_ != 0 && !live) {
        XRecordDisableContext(control_, context_);
        XRecordFreeContext(control_, context_);
        context_ = 0;
    }
}

FrameWatch::~FrameWatch() {
    if (context_ != 0) {
        XRecordDisableContext(control_, context_);
        XSync(control_, False);
        XRecordFreeContext(control_, context_);
    }
    if (data_ != nullptr) {
        XCloseDisplay(data_);
    }
    if (control_ != nullptr) {
        XCloseDisplay(control_);
    }
}

void FrameWatch::onRecord(XPointer self, XRecordInterceptData* data) {
    auto* watch = reinterpret_cast<FrameWatch*>(self);
    std::lock_guard<std::mutex> lock(watch->mutex_);
    if (data->category == XRecordStartOfData) {
        watch->started_ = true;
    } else if (data->category == XRecordFromClient) {
        watch->frames_.push_back(Clock::now());
    }
    XRecordFreeData(data);
}

void FrameWatch::poll() {
    if (context_ != 0) {
        XRecordProcessReplies(data_);
    }
}

std::vector<FrameWatch::Clock::time_point> FrameWatch::frames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

size_t FrameWatch::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

bool FrameWatch::waitForCount(size_t total, std::chrono::milliseconds deadline) {
    return waitFor(
        [&] {
            poll();
            return count() >= total;
        },
        deadline, std::chrono::milliseconds(1));
}

bool FrameWatch::waitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds deadline) {
    size_t seen = count();
    auto since = Clock::now();
    return waitFor(
        [&] {
            poll();
            const size_t now = count();
            if (now != seen) {
                seen = now;
                since = Clock::now();
            }
            return Clock::now() - since >= quiet;
        },
        deadline, std::chrono::milliseconds(2));
}
