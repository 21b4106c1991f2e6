// Saving pictures for a person to look at when a test fails.
#pragma once

#include <string>

#include "tests/support/rgb_image.h"

bool savePpm(const RgbImage& image, const std::string& path);
// Uncompressed PNG: no library needed, and any viewer opens it.
bool savePng(const RgbImage& image, const std::string& path);
