// Screenshots of a window's contents through XGetImage.
#pragma once

#include <X11/Xlib.h>

#include <optional>

#include "tests/support/rgb_image.h"

// The whole window, or nullopt if it cannot be read (unmapped, gone).
std::optional<RgbImage> captureWindow(Display* display, Window window);
// A rectangle of it, in window coordinates.
std::optional<RgbImage> captureArea(Display* display, Window window, int x, int y, int width,
                                    int height);
// A pixmap of the screen's default depth, read as if it were shown in the
// default visual: a pixmap has no visual, so XGetImage gives no colour masks.
std::optional<RgbImage> capturePixmap(Display* display, Pixmap pixmap, int width, int height);
