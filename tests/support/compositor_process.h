// What the tests' private compositors share: a runtime directory only
// their user may enter (they refuse others), the environment a client
// needs, and an end that cleans up after them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A new directory under /tmp named from the prefix, mode 0700; "" if not.
std::string makeRuntimeDir(const std::string& prefix);
// WAYLAND_DISPLAY=... and XDG_RUNTIME_DIR=...
std::vector<std::string> compositorClientEnvironment(const std::string& socket,
                                                     const std::string& runtimeDir);
// SIGTERM, then SIGKILL if it has not ended within seconds; the directory goes.
void endCompositor(pid_t pid, const std::string& runtimeDir);
