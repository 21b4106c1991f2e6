// Message box layout. Every length is a constant at 96 dpi scaled by the
// dpi, or comes from the text: the longest of the body's lines and the
// caption sets the width, the number of lines the height.
//
// Depends on: nothing but the standard library.
// Cannot: wrap lines; a line wider than the screen is cut off at the edge.
#include "platform/dialog/dialog_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kMargin = 14;
constexpr int kIconSide = 32;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 26;
constexpr int kButtonPadX = 12;
constexpr int kButtonPadY = 5;
constexpr int kMinWidth = 200;
constexpr double kMinDpi = 48.0;
constexpr double kMaxDpi = 480.0;

int longest(const std::vector<int>& widths) {
    return widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
}

// At least the usual size, and larger when the label needs it.
DialogRect buttonSize(const DialogTextMetrics& metrics, double dpi) {
    return {0, 0,
            std::max(dialogScaled(kButtonWidth, dpi),
                     metrics.labelWidth + 2 * dialogScaled(kButtonPadX, dpi)),
            std::max(dialogScaled(kButtonHeight, dpi),
                     metrics.lineHeight + 2 * dialogScaled(kButtonPadY, dpi))};
}

}  // namespace

double dialogDpi(double requested) {
    return std::isfinite(requested) && requested >= kMinDpi && requested <= kMaxDpi ? requested
                                                                                    : kDefaultDpi;
}

double dialogDpiFromText(const char* text) {
    if (text == nullptr) {
        return kDefaultDpi;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    while (end != text && std::isspace(static_cast<unsigned char>(*end))) {
        ++end;
    }
    return end != text && *end == '\0' ? dialogDpi(value) : kDefaultDpi;
}

int dialogScaled(int atDefaultDpi, double dpi) {
    return static_cast<int>(std::lround(atDefaultDpi * dpi / kDefaultDpi));
}

DialogLayout layoutDialog(const DialogTextMetrics& metrics, bool withIcon, double dpi,
                          DialogBounds bounds) {
    DialogLayout layout;
    layout.button = buttonSize(metrics, dpi);
    const int margin = dialogScaled(kMargin, dpi);
    const int iconSide = withIcon ? dialogScaled(kIconSide, dpi) : 0;
    const int roomForText = bounds.height - 3 * margin - layout.button.height;
    const int lineCount = static_cast<int>(std::min(
        metrics.lineWidths.size(),
        static_cast<std::size_t>(std::max(1, roomForText / std::max(1, metrics.lineHeight)))));
    const int textHeight = metrics.lineHeight * lineCount;
    const int contentHeight = std::max(iconSide, textHeight);

    layout.textX = margin + (withIcon ? iconSide + margin : 0);
    const int bodyWidth = layout.textX + longest(metrics.lineWidths) + margin;
    const int captionWidth = metrics.captionWidth + 2 * margin;
    const int minWidth = dialogScaled(kMinWidth, dpi);
    layout.width =
        std::clamp(std::max(bodyWidth, captionWidth), minWidth, std::max(minWidth, bounds.width));

    // One line beside the sign is centred on it; a taller text starts at the top.
    int baseline = margin + (contentHeight - textHeight) / 2 + metrics.ascent;
    for (int i = 0; i < lineCount; ++i) {
        layout.baselines.push_back(baseline);
        baseline += metrics.lineHeight;
    }
    if (withIcon) {
        layout.icon = {margin, margin, iconSide, iconSide};
    }

    layout.button.x = (layout.width - layout.button.width) / 2;
    layout.button.y = margin + contentHeight + margin;
    layout.height = layout.button.y + layout.button.height + margin;
    layout.labelX = layout.button.x + (layout.button.width - metrics.labelWidth) / 2;
    layout.labelBaseline =
        layout.button.y + (layout.button.height - metrics.lineHeight) / 2 + metrics.ascent;
    layout.borderWidth = std::max(1, dialogScaled(1, dpi));
    return layout;
}

std::vector<std::string> splitDialogLines(const char* text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
        if (*c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (*c != '\r') {
            line += *c;
        }
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(line);
    }
    return lines;
}
