#include "tests/support/x_connection.h"

#include <atomic>

namespace {

std::atomic<int> errorsSeen{0};

int recordError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

}  // namespace

XConnection::XConnection(const std::string& display) {
    XSetErrorHandler(recordError);
    display_ = XOpenDisplay(display.c_str());
}

XConnection::~XConnection() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

int XConnection::errorCount() {
    return errorsSeen.load();
}
