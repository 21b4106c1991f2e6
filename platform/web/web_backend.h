// The web backend's table for the core: the page is the desktop, one
// canvas is the window, WebGL is the GL.
#pragma once

#include "platform/core.h"

extern const PlatformBackend webBackend;
