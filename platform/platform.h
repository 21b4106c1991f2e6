// The window-system and OpenGL API the program is written against.
// On Windows it is the system's own headers; elsewhere our declarations of
// the same operations (winapi.h), implemented by the portable core.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/winapi.h"
#endif

#include <GL/gl.h>
