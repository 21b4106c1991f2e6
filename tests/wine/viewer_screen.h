// Reading the viewer's picture: its clear colours, whether a frame and the
// model are showing, whether the picture keeps still, and finding things a
// person would look for (the close box, the red error icon).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "tests/wine/test_desktop.h"

// The clear colours (0.15, 0.15, 0.15) and, with fog, (0.2, 0.15, 0.15).
inline constexpr Rgb kBackground{38, 38, 38};
inline constexpr Rgb kFogBackground{51, 38, 38};

// Enough changed or model pixels to tell a real picture from noise.
inline constexpr long kVisibleModelPixels = 2000;
inline constexpr long kMovedPixels = 200;

// All four corners show a clear colour: a frame has been drawn.
bool showsFrame(const Image& client);
// Pixels that are neither clear colour.
long modelPixels(const Image& client);
// Waits until the area stays unchanged for a second; still gets that picture.
bool waitForStill(const TestDesktop& desktop, const Rect& area, Image& still,
                  std::chrono::milliseconds deadline = std::chrono::seconds(10));
// Watches the area for a while and reports whether it stayed equal to still.
bool staysStill(const TestDesktop& desktop, const Rect& area, const Image& still);
// Centre of the rightmost caption button, relative to the window's image;
// captionBottom is where the client area starts in that image.
std::optional<std::pair<int, int>> closeBoxCentre(const Image& window, int captionBottom);
// Strongly red pixels, as in the error icon.
long errorIconPixels(const Image& box);
// Writes the image as a binary PPM, for looking at after a failure.
bool writePpm(const Image& image, const std::string& path);
