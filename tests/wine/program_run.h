// Starting a program under test (the Linux build directly, the Windows build
// through wine) and waiting for its exit status with a deadline.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

class ProgramRun {
public:
    // argv[0] is looked up on PATH; env entries are added to or replace the
    // test's own environment. With stderrPath, the program's stderr goes there.
    ProgramRun(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& stderrPath = {});
    // Kills the program if it is still running.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool started() const { return pid_ > 0; }
    // The exit status, or nothing if the program is still running at the
    // deadline (or was ended by a signal: then -signal).
    std::optional<int> waitExit(std::chrono::milliseconds deadline);

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Environment of a Windows program run: the prefix made for this test run,
// the display, and no Wine debug output.
std::map<std::string, std::string> wineEnvironment(const std::string& display);

// Ends the Wine server of the test prefix and with it every Windows process
// still running there, and waits until it is gone.
void stopWineServer();

// Path from an environment variable; empty if unset.
std::string pathFromEnvironment(const char* name);
