// Processor time used by a process, all its threads included, as the kernel
// reports it in /proc/<pid>/stat (clock-tick resolution, usually 10 ms).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

std::optional<std::chrono::milliseconds> processCpuTime(pid_t pid);

// Processor time used over the period; the watch ends early only once the
// limit is passed. The limit when the process cannot be read.
std::chrono::milliseconds cpuOver(pid_t pid, std::chrono::milliseconds period,
                                  std::chrono::milliseconds limit);

// The share of one processor the process used over the period, after
// sleeping through it; -1 when it cannot be read. For benchmarks.
double cpuShare(pid_t pid, std::chrono::milliseconds period);

// True once the process has used no processor time for the quiet period,
// within the deadline: it went to sleep.
bool cpuSettles(pid_t pid, std::chrono::milliseconds quiet, std::chrono::milliseconds deadline);
