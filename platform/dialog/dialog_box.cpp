// A message box's behaviour: OK is its one button and answer. A click
// counts only when it presses and releases on the button, as on Windows;
// Return, Enter, Space and Esc answer too.
//
// Depends on: platform/winapi.h for MessageBoxA's flags and answers,
// dialog_text (fontconfig, FreeType) and dialog_render.
// Cannot: buttons other than OK, or keyboard focus between buttons.
#include "platform/dialog/dialog_box.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/winapi.h"

namespace {

// Keysym values, shared by X11 and xkbcommon.
constexpr std::uint32_t kKeySpace = 0x0020;
constexpr std::uint32_t kKeyReturn = 0xff0d;
constexpr std::uint32_t kKeyEscape = 0xff1b;
constexpr std::uint32_t kKeyPadEnter = 0xff8d;

constexpr int kFrameRoom = 28;        // at 96 dpi: room for a frame around the box
constexpr int kUnknownScreen = 4096;  // a limit when the screen's size is unknown

constexpr int kFallbackAdvance = 6;  // per character, at 96 dpi, without a font
constexpr int kFallbackLabel = 12;
constexpr int kFallbackAscent = 10;
constexpr int kFallbackLineHeight = 13;

// Without a font: about what a small fixed-width face would take.
DialogTextMetrics fallbackMetrics(const std::vector<std::string>& lines, const char* caption,
                                  double dpi) {
    const auto width = [dpi](std::size_t characters) {
        return dialogScaled(kFallbackAdvance * static_cast<int>(characters), dpi);
    };
    DialogTextMetrics metrics;
    for (const std::string& line : lines) {
        metrics.lineWidths.push_back(width(line.size()));
    }
    metrics.captionWidth = width(std::strlen(caption));
    metrics.labelWidth = dialogScaled(kFallbackLabel, dpi);
    metrics.ascent = dialogScaled(kFallbackAscent, dpi);
    metrics.lineHeight = dialogScaled(kFallbackLineHeight, dpi);
    return metrics;
}

DialogReply showButton(DialogBox& box, bool held) {
    box.buttonHeld = held;
    renderDialogButton(box.pixels, box.content, box.font.get(), held);
    return DialogReply{box.content.layout.button};
}

}  // namespace

int dialogDefaultAnswer() {
    return IDOK;
}

DialogSign dialogSignFor(unsigned type) {
    if ((type & (MB_ICONERROR | MB_ICONINFORMATION)) == 0) {
        return DialogSign::none;
    }
    return (type & 0xF0) == MB_ICONERROR ? DialogSign::error : DialogSign::information;
}

DialogBounds dialogBoundsOn(const DialogScreen& screen) {
    const int room = dialogScaled(kFrameRoom, screen.dpi);
    return {(screen.width > 0 ? screen.width : kUnknownScreen) - room,
            (screen.height > 0 ? screen.height : kUnknownScreen) - room};
}

DialogBox openDialogBox(const char* text, const char* caption, unsigned type,
                        const DialogScreen& screen) {
    DialogBox box;
    const double dpi = dialogDpi(screen.dpi);
    box.font = openDesktopFont(dpi);
    box.content.lines = splitDialogLines(text);
    box.content.sign = dialogSignFor(type);
    box.content.hardEdges = !screen.shades;
    if (!box.font) {
        std::fprintf(stderr, "%s: no usable sans-serif font; the message box shows no text\n",
                     program_invocation_short_name);
    }
    const DialogTextMetrics metrics = box.font
                                          ? measureDialogText(*box.font, box.content.lines, caption)
                                          : fallbackMetrics(box.content.lines, caption, dpi);
    box.content.layout =
        layoutDialog(metrics, box.content.sign != DialogSign::none, dpi, dialogBoundsOn(screen));
    box.pixels = renderDialog(box.content, box.font.get(), false);
    return box;
}

DialogReply dialogPointer(DialogBox& box, int x, int y, DialogPointer what) {
    const bool onButton = box.content.layout.button.contains(x, y);
    if (what == DialogPointer::press && onButton) {
        return showButton(box, true);
    }
    if (what == DialogPointer::release && box.buttonHeld) {
        DialogReply reply = showButton(box, false);
        reply.done = onButton;
        reply.answer = onButton ? IDOK : 0;
        return reply;
    }
    return {};
}

DialogReply dialogKey(DialogBox&, std::uint32_t keysym) {
    const bool answers = keysym == kKeyReturn || keysym == kKeyPadEnter || keysym == kKeySpace ||
                         keysym == kKeyEscape;
    return answers ? dialogClosed() : DialogReply{};
}

DialogReply dialogClosed() {
    DialogReply reply;
    reply.done = true;
    reply.answer = dialogDefaultAnswer();
    return reply;
}
