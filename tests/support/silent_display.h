// An X display that accepts connections and never answers: a listening
// abstract unix socket under the name Xlib tries first for ":N".
#pragma once

#include <string>

class SilentDisplay {
public:
    SilentDisplay();
    ~SilentDisplay();
    SilentDisplay(const SilentDisplay&) = delete;
    SilentDisplay& operator=(const SilentDisplay&) = delete;

    // ":N", or empty if no free number could be bound.
    const std::string& display() const { return display_; }

private:
    int fd_ = -1;
    std::string display_;
};
