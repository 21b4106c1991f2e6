// What both backends hand to the core to encode: key messages, virtual
// keys and pointer positions; the GL context handles; and the typed lookup
// of a window's native part.
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/core.h"

namespace {

class KeyMessages : public ::testing::Test {
protected:
    void SetUp() override {
        coreReset();
        record.id = 3;
    }
    void TearDown() override { coreReset(); }

    MSG posted(const KeyInput& key) {
        corePostKey(record, key);
        EXPECT_EQ(core.queue.size(), 1u);
        const MSG msg = core.queue.back();
        core.queue.clear();
        return msg;
    }

    WindowRecord record;
};

TEST_F(KeyMessages, APressIsAKeyDownWithOneRepeatAndTheKeyCodeAsScanCode) {
    const MSG msg = posted({.keysym = XKB_KEY_f,
                            .keycode = 41,
                            .time = 1234,
                            .point = POINT{300, -20},
                            .privateData = 'f'});
    EXPECT_EQ(msg.hwnd, coreHandle(record));
    EXPECT_EQ(msg.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, WPARAM('F'));
    EXPECT_EQ(msg.lParam, LPARAM(1 | (41 << 16)));
    EXPECT_EQ(msg.time, 1234u);
    EXPECT_EQ(msg.pt.x, 300);
    EXPECT_EQ(msg.pt.y, -20);
    EXPECT_EQ(msg.lPrivate, DWORD('f'));
}

TEST_F(KeyMessages, AReleaseSetsBits30And31AndARepeatOnly30) {
    const MSG release = posted({.keysym = XKB_KEY_Escape, .keycode = 9, .pressed = false});
    EXPECT_EQ(release.message, UINT(WM_KEYUP));
    EXPECT_EQ(release.wParam, WPARAM(0x1B));
    EXPECT_EQ(release.lParam, LPARAM(0xC0000000u | (9 << 16) | 1));

    const MSG repeat = posted({.keysym = XKB_KEY_Left, .keycode = 113, .repeated = true});
    EXPECT_EQ(repeat.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(repeat.lParam, LPARAM(0x40000000u | (113 << 16) | 1));

    // A release is never a repeat, even when the caller says so.
    const MSG both = posted({.keycode = 9, .pressed = false, .repeated = true});
    EXPECT_EQ(both.lParam, release.lParam);
}

TEST_F(KeyMessages, TheScanCodeKeepsEightBitsAndLeavesTheFlagsAlone) {
    const MSG msg = posted({.keycode = 0x1FF, .pressed = false});
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0xFF);
    EXPECT_EQ(msg.lParam & 0x3E000000, 0);  // bits 25 to 29: extended, context
}

TEST(VirtualKeys, LettersDigitsFunctionKeysAndEscapeGetTheirCodesOthersNone) {
    EXPECT_EQ(coreVirtualKey(XKB_KEY_a), WPARAM('A'));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_z), WPARAM('Z'));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_F), WPARAM('F'));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_7), WPARAM('7'));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_Escape), WPARAM(0x1B));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_Return), WPARAM(0x0D));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_F1), WPARAM(0x70));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_F12), WPARAM(0x7B));
    EXPECT_EQ(coreVirtualKey(XKB_KEY_eacute), WPARAM(0));
}

TEST(PointerPositions, AreSigned16BitHalves) {
    const std::pair<int, int> points[] = {{0, 0}, {818, 818}, {-30, -20}, {32767, -32768}};
    for (auto [x, y] : points) {
        const LPARAM lParam = corePointLParam(x, y);
        EXPECT_EQ(static_cast<short>(LOWORD(lParam)), x);
        EXPECT_EQ(static_cast<short>(HIWORD(lParam)), y);
    }
    EXPECT_EQ(corePointLParam(-1, 0) & 0xFFFF0000, 0);  // x's sign stays in its half
}

TEST(ContextHandles, FindTheirContextUntilForgottenAndAreNeverReused) {
    coreReset();
    int first = 0;
    int second = 0;
    const HGLRC a = coreAddContext(&first);
    const HGLRC b = coreAddContext(&second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a, b);
    EXPECT_EQ(coreContextOf(a), &first);
    EXPECT_EQ(coreContextOf(b), &second);

    coreForgetContext(a);
    EXPECT_EQ(coreContextOf(a), nullptr);
    EXPECT_EQ(coreContextOf(b), &second);
    const HGLRC c = coreAddContext(&first);
    EXPECT_NE(c, a);
    EXPECT_EQ(coreContextOf(a), nullptr);

    // Handles never made, and other kinds of handle, find nothing.
    EXPECT_EQ(coreContextOf(nullptr), nullptr);
    EXPECT_EQ(coreContextOf(reinterpret_cast<HGLRC>(std::uintptr_t{1})), nullptr);
    EXPECT_EQ(coreContextOf(reinterpret_cast<HGLRC>(reinterpret_cast<std::uintptr_t>(c) + 1)),
              nullptr);
    coreReset();
    EXPECT_EQ(coreContextOf(b), nullptr);
}

const PlatformBackend kOne{};  // only their addresses matter
const PlatformBackend kOther{};

struct OneWindow : NativeWindow {
    OneWindow() : NativeWindow(kOne) {}
};

TEST(NativeLookup, FindsOnlyThePartItsOwnBackendMade) {
    WindowRecord record;
    EXPECT_EQ(coreNativeOf<OneWindow>(record, kOne), nullptr);
    record.native = std::make_unique<OneWindow>();
    EXPECT_EQ(coreNativeOf<OneWindow>(record, kOne), record.native.get());
    EXPECT_EQ(coreNativeOf<OneWindow>(record, kOther), nullptr);
}

}  // namespace
