#include "tests/support/silent_display.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace {

// Binds the abstract name "@/tmp/.X11-unix/X<number>"; -1 if it is taken.
int bindAbstract(int number) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
    std::memcpy(address.sun_path + 1, name.data(), name.size());  // leading NUL: abstract
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

SilentDisplay::SilentDisplay() {
    // Far above the numbers Xvfb -displayfd picks, and never accepted: the
    // kernel completes connections into the backlog, and nothing is read.
    for (int number = 4300 + getpid() % 500; number < 5900; ++number) {
        fd_ = bindAbstract(number);
        if (fd_ >= 0) {
            display_ = ":" + std::to_string(number);
            return;
        }
    }
}

SilentDisplay::~SilentDisplay() {
    if (fd_ >= 0) {
        close(fd_);
    }
}
