// The X11 backend's table for the core: Xlib and GLX.
#pragma once

#include "platform/core.h"

extern const PlatformBackend x11Backend;
