#include "tests/support/process_cpu.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/wait_for.h"

std::optional<std::chrono::milliseconds> processCpuTime(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    // The command name may hold blanks and parentheses: fields resume after
    // the last ')'. utime and stime are fields 14 and 15 of the line.
    const auto close = line.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string skipped;
    for (int field = 3; field <= 13; ++field) {
        fields >> skipped;
    }
    long long userTicks = 0;
    long long systemTicks = 0;
    if (!(fields >> userTicks >> systemTicks)) {
        return std::nullopt;
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    return std::chrono::milliseconds((userTicks + systemTicks) * 1000 / ticksPerSecond);
}

std::chrono::milliseconds cpuOver(pid_t pid, std::chrono::milliseconds period,
                                  std::chrono::milliseconds limit) {
    const auto before = processCpuTime(pid);
    std::chrono::milliseconds used{0};
    waitFor(
        [&] {
            const auto now = processCpuTime(pid);
            used = before && now ? *now - *before : limit;
            return used >= limit;
        },
        period, std::chrono::milliseconds(50));
    return used;
}

bool cpuSettles(pid_t pid, std::chrono::milliseconds quiet, std::chrono::milliseconds deadline) {
    return waitForSteady([&] { return processCpuTime(pid); },
                         [](const auto& last, const auto& now) { return last && last == now; },
                         quiet, deadline, std::chrono::milliseconds(20))
        .has_value();
}

double cpuShare(pid_t pid, std::chrono::milliseconds period) {
    const auto before = processCpuTime(pid);
    std::this_thread::sleep_for(period);
    const auto after = processCpuTime(pid);
    return before && after ? double((*after - *before).count()) / period.count() : -1;
}
