// Processor time used by a process, all its threads included, as the kernel
// reports it in /proc/<pid>/stat (clock-tick resolution, usually 10 ms).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

std::optional<std::chrono::milliseconds> processCpuTime(pid_t pid);
