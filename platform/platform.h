// The window-system and OpenGL API the program is written against.
// On Windows it is the system's own headers; elsewhere our declarations of
// the same operations, implemented over X11/GLX or by the test fake.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/winapi.h"
#endif

#include <GL/gl.h>
