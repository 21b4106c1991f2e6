// The backends the Linux core can choose from, and how each connects.
#pragma once

#include <string>

#include "platform/linux/linux_core.h"

extern const LinuxBackend x11Backend;
extern const LinuxBackend waylandBackend;

// "" when connected (and, for X11, selected), else the reason in one line.
std::string x11OpenDisplay();
std::string waylandConnect();
