#include "tests/support/window_manager.h"

#include <X11/Xatom.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

using namespace std::chrono_literals;

#include "tests/support/program_process.h"
#include "tests/support/wait_for.h"

namespace {

// Started with stdin closed to it and both outputs into the given file.
pid_t spawnWithOutput(const std::string& display, std::vector<std::string> command,
                      const std::string& outputPath) {
    std::vector<std::string> env = environmentWithDisplay(display);
    auto argv = pointersTo(command);
    auto envp = pointersTo(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool hasExited(pid_t pid, int* status) {
    return waitpid(pid, status, WNOHANG) == pid;
}

bool rootNamesAManager(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &data);
    const bool found = status == Success && type == XA_WINDOW && count == 1;
    if (data != nullptr) {
        XFree(data);
    }
    return found;
}

Window parentOf(Display* display, Window window) {
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return None;
    }
    if (children != nullptr) {
        XFree(children);
    }
    return parent;
}

// A manager may announce itself before it handles requests, and one that
// is still starting up was seen to leave a window unmanaged for good: only
// a window it has reparented proves it is ready. A new probe each second.
bool managesAProbe(Display* display, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        const Window root = DefaultRootWindow(display);
        const Window probe = XCreateSimpleWindow(display, root, 0, 0, 16, 16, 0, 0, 0);
        XMapWindow(display, probe);
        XSync(display, False);
        const bool managed = waitFor([&] { return parentOf(display, probe) != root; }, 1000ms);
        XDestroyWindow(display, probe);
        XSync(display, False);
        if (managed) {
            return true;
        }
    }
    return false;
}

}  // namespace

WindowManager::WindowManager(const std::string& display, const std::vector<std::string>& command,
                             const std::string& logPath)
    : pid_(spawnWithOutput(display, command, logPath)) {}

WindowManager::~WindowManager() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        if (!waitFor([&] { return hasExited(pid_, &status); }, std::chrono::seconds(5))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }
}

bool WindowManager::waitUntilRunning(Display* display, std::chrono::milliseconds deadline) {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    bool died = false;
    const bool running = waitFor(
        [&] {
            died = died || hasExited(pid_, &status);
            return died || rootNamesAManager(display);
        },
        deadline);
    if (died) {
        pid_ = -1;
    }
    return running && !died && managesAProbe(display, deadline);
}

int runTool(const std::string& display, const std::vector<std::string>& command,
            std::chrono::milliseconds deadline) {
    const pid_t pid = spawnWithOutput(display, command, "/dev/null");
    if (pid <= 0) {
        return -1;
    }
    int status = 0;
    if (!waitFor([&] { return hasExited(pid, &status); }, deadline)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Window topLevelAncestor(Display* display, Window window) {
    const Window root = DefaultRootWindow(display);
    for (;;) {
        Window rootReturn = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, window, &rootReturn, &parent, &children, &count) == 0) {
            return window;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root || parent == None) {
            return window;
        }
        window = parent;
    }
}
