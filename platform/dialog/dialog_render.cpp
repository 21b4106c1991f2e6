// The box's picture. Shapes are antialiased by counting which of 4 x 4
// samples in each pixel fall inside them, so the signs keep smooth edges at
// any scale.
//
// Depends on: dialog_text (FreeType) for the glyphs.
// Cannot: themes; the colours are fixed.
#include "platform/dialog/dialog_render.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSamples = 4;

// Inside-tests take a point in the shape's own units (the sign is 32 x 32).
// A template, not a std::function: the test runs 16 times a pixel.
template <typename Shape>
void fillShape(DialogPixels& pixels, const DialogRect& area, double unit, const Shape& inside,
               std::uint32_t colour) {
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (x - area.x + (sx + 0.5) / kSamples) / unit;
                    const double v = (y - area.y + (sy + 0.5) / kSamples) / unit;
                    hits += inside(u, v) ? 1 : 0;
                }
            }
            blendPixel(pixels, x, y, colour, hits * 255 / (kSamples * kSamples));
        }
    }
}

bool inDisc(double u, double v, double cu, double cv, double radius) {
    return (u - cu) * (u - cu) + (v - cv) * (v - cv) <= radius * radius;
}

// Within halfWidth of the segment from (au, av) to (bu, bv): a round-capped bar.
bool nearSegment(double u, double v, double au, double av, double bu, double bv, double halfWidth) {
    const double du = bu - au;
    const double dv = bv - av;
    const double t = std::clamp(((u - au) * du + (v - av) * dv) / (du * du + dv * dv), 0.0, 1.0);
    return inDisc(u, v, au + t * du, av + t * dv, halfWidth);
}

bool inRoundedRect(double u, double v, double width, double height, double radius) {
    const double cu = std::clamp(u, radius, width - radius);
    const double cv = std::clamp(v, radius, height - radius);
    return u >= 0 && v >= 0 && u <= width && v <= height && inDisc(u, v, cu, cv, radius);
}

void drawSign(DialogPixels& pixels, const DialogRect& area, DialogSign sign) {
    const double unit = area.width / 32.0;
    const auto disc = [](double u, double v) { return inDisc(u, v, 16, 16, 16); };
    if (sign == DialogSign::error) {
        fillShape(pixels, area, unit, disc, kDialogErrorRed);
        const auto cross = [](double u, double v) {
            return nearSegment(u, v, 10, 10, 22, 22, 2) || nearSegment(u, v, 22, 10, 10, 22, 2);
        };
        fillShape(pixels, area, unit, cross, kDialogWhite);
    } else {
        fillShape(pixels, area, unit, disc, kDialogInformationBlue);
        const auto letter = [](double u, double v) {
            return inDisc(u, v, 16, 9, 3) || (u >= 13 && u <= 19 && v >= 14 && v <= 26);
        };
        fillShape(pixels, area, unit, letter, kDialogWhite);
    }
}

}  // namespace

void renderDialogButton(DialogPixels& pixels, const DialogContent& content, const DialogFont* font,
                        bool held) {
    const DialogLayout& layout = content.layout;
    const DialogRect& r = layout.button;
    fillDialogRect(pixels, r, kDialogFace);
    const double w = r.width;
    const double h = r.height;
    const double radius = std::max(2.0, r.height / 8.0);
    const double line = layout.borderWidth;
    const auto outer = [=](double u, double v) { return inRoundedRect(u, v, w, h, radius); };
    const auto inner = [=](double u, double v) {
        return inRoundedRect(u - line, v - line, w - 2 * line, h - 2 * line, radius - line);
    };
    fillShape(pixels, r, 1.0, outer, kDialogOutline);
    fillShape(pixels, r, 1.0, inner, held ? kDialogPressed : kDialogFace);
    if (font != nullptr) {
        drawText(pixels, *font, layout.labelX, layout.labelBaseline, kDialogButtonLabel,
                 kDialogInk);
    }
}

DialogPixels renderDialog(const DialogContent& content, const DialogFont* font, bool buttonHeld) {
    const DialogLayout& layout = content.layout;
    DialogPixels pixels = makeDialogPixels(layout.width, layout.height, kDialogFace);
    pixels.hardEdges = content.hardEdges;
    if (content.sign != DialogSign::none) {
        drawSign(pixels, layout.icon, content.sign);
    }
    for (std::size_t i = 0;
         font != nullptr && i < content.lines.size() && i < layout.baselines.size(); ++i) {
        drawText(pixels, *font, layout.textX, layout.baselines[i], content.lines[i], kDialogInk);
    }
    renderDialogButton(pixels, content, font, buttonHeld);
    return pixels;
}
