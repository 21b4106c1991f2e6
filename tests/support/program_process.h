// The program under test as a child process: started with a chosen DISPLAY
// (or none), its stderr collected, its exit awaited with a deadline, and
// killed if still running when the test ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The test's own environment with DISPLAY set to display (or unset), and
// without WAYLAND_DISPLAY, which would take a child off X; Wayland tests pass
// it in as an extra entry.
std::vector<std::string> environmentWithDisplay(const std::optional<std::string>& display);
// argv/envp for posix_spawn: pointers into strings, ending with null.
std::vector<char*> pointersTo(std::vector<std::string>& strings);

struct ProgramExit {
    bool exited = false;  // false: ended by a signal
    int status = 0;       // exit status, or the signal number
};

class ProgramProcess {
public:
    // display: the DISPLAY to give it; nullopt starts it with DISPLAY unset.
    // extraEnvironment: "NAME=value" entries added to the test's own.
    ProgramProcess(const std::string& path, const std::optional<std::string>& display,
                   const std::vector<std::string>& extraEnvironment = {});
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The exit, if it happens within the deadline; reaps the child.
    std::optional<ProgramExit> waitForExit(std::chrono::milliseconds deadline);
    bool running();

    // Everything written to stderr so far (all of it once the process ended).
    std::string stderrText();

private:
    void collectStderr(int fd);

    pid_t pid_ = -1;
    std::optional<ProgramExit> exit_;
    std::thread reader_;
    std::mutex mutex_;
    std::string stderr_;
};
