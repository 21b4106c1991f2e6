// The Wayland backend's table for the core: libwayland-client, libdecor,
// EGL and xkbcommon.
#pragma once

#include "platform/core.h"

extern const PlatformBackend waylandBackend;
