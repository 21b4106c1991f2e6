// A real OpenGL context (Mesa on a private Xvfb) on a window of the viewer's
// size, for tests that run the scene code against a real driver. It provides
// SwapBuffers itself, so the tests need no platform layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The size the viewer gets on a 1280x1024 screen: 0.8 x 1024, truncated.
inline constexpr int kWindowSide = 819;

struct Colour {
    int red, green, blue;
};

// Starts the server, opens the window and maps it. error() says why not.
bool openGlWindow();
void closeGlWindow();
const std::string& glWindowError();

// A fresh context with every OpenGL state at its default, made current on
// the window; the previous one is deleted.
bool makeFreshContext();
// Deletes the current context and leaves none current.
void dropContext();

// Calls of the SwapBuffers stand-in since the last fresh context.
int swapCount();

// The back buffer, read before any swap. y counts from the bottom row.
std::vector<std::uint8_t> readBackBuffer();
Colour pixelOf(const std::vector<std::uint8_t>& image, int x, int y);
// Pixels further than tolerance from colour in some channel.
int countPixelsUnlike(const std::vector<std::uint8_t>& image, Colour colour, int tolerance);

// The window's pixel under eye-space point (x, y) of the square projection.
int pixelColumn(float eyeX);
int pixelRow(float eyeY);

// What the X server shows in the window now (after a swap). y from the top.
std::vector<Colour> readWindowImage();
