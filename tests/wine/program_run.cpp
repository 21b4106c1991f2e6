#include "tests/wine/program_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

ProgramRun::ProgramRun(const std::vector<std::string>& argv,
                       const std::map<std::string, std::string>& env,
                       const std::string& stderrPath) {
    pid_ = fork();
    if (pid_ != 0) {
        return;
    }
    if (!stderrPath.empty()) {
        const int fd = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, STDERR_FILENO);
            close(fd);
        }
    }
    for (const auto& [name, value] : env) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
}

std::optional<int> ProgramRun::waitExit(std::chrono::milliseconds deadline) {
    if (status_ || pid_ <= 0) {
        return status_;
    }
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string pathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::map<std::string, std::string> wineEnvironment(const std::string& display) {
    return {{"DISPLAY", display}, {"WINEDEBUG", "-all"}};
}

void stopWineServer() {
    // wineserver -k ends only the processes of this prefix (WINEPREFIX).
    ProgramRun kill({"wineserver", "-k"}, {});
    kill.waitExit(std::chrono::seconds(20));
    ProgramRun wait({"wineserver", "-w"}, {});
    wait.waitExit(std::chrono::seconds(20));
}
