// What the tests' private compositors share: a runtime directory only
// their user may enter (they refuse others), the environment a client
// needs, and an end that cleans up after them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Starts it silenced, in a process group of its own, as the user and
// group when uid is not -1 (the test being root); -1 when it cannot fork.
pid_t startCompositor(std::vector<std::string> args, std::vector<std::string> env,
                      uid_t uid = static_cast<uid_t>(-1), gid_t gid = 0);
// A new directory under /tmp named from the prefix, mode 0700; "" if not.
std::string makeRuntimeDir(const std::string& prefix);
// WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
std::vector<std::string> compositorClientEnvironment(const std::string& socket,
                                                     const std::string& runtimeDir);
// The value for a name among "NAME=value" entries; "" when absent.
std::string environmentValue(const std::vector<std::string>& environment, const std::string& name);
// SIGTERM, then SIGKILL if it has not ended within seconds; the directory goes.
void endCompositor(pid_t pid, const std::string& runtimeDir);
