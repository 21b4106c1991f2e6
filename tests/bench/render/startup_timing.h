// The real program started on a private Xvfb, as a person would meet it: its
// notice is closed by the harness with XTest as soon as it shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct StartupRun {
    bool ok = false;
    std::string failure;
    double execToNoticeMs = 0;  // exec until the notice is viewable
    double closeToFrameMs = 0;  // Return on the notice until the first frame shows
    double harnessMs = 0;       // the harness's own share: seeing and closing the notice
    long peakResidentKb = 0;    // the program's VmHWM once it has spun a while
    int exitStatus = -1;        // after Esc
};

// environment: "NAME=value" entries for the program, e.g. its shader cache.
StartupRun measureStartup(const std::string& programPath,
                          const std::vector<std::string>& environment = {});

// The bare GL program's exec until its first frame shows, on its own Xvfb.
std::optional<double> measureBareStartup(const std::string& programPath,
                                         const std::vector<std::string>& environment = {});
