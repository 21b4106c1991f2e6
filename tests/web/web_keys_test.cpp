// DOM key values against the virtual keys and characters the other
// backends give for the same keys.
#include <gtest/gtest.h>

#include "platform/web/web_keys.h"

namespace {

void expectKey(const char* dom, unsigned virtualKey, int character) {
    SCOPED_TRACE(dom);
    const WebKey key = webKeyFromDom(dom);
    EXPECT_EQ(key.virtualKey, virtualKey);
    EXPECT_EQ(key.character, character);
}

}  // namespace

TEST(WebKeys, LettersShareTheirKeyButTypeTheirCase) {
    expectKey("f", 'F', 'f');
    expectKey("F", 'F', 'F');
    expectKey("p", 'P', 'p');
    expectKey("a", 'A', 'a');
    expectKey("z", 'Z', 'z');
    expectKey("7", '7', '7');
}

TEST(WebKeys, NamedKeysTypeTheirControlCharacters) {
    expectKey("Escape", 0x1B, 27);
    expectKey("Enter", 0x0D, 13);
    expectKey("Backspace", 0x08, 8);
    expectKey("Tab", 0x09, 9);
    expectKey(" ", 0x20, ' ');
    expectKey("Shift", 0x10, -1);
    expectKey("ArrowDown", 0x28, -1);
}

TEST(WebKeys, FunctionKeysOneToTwelveOnly) {
    expectKey("F1", 0x70, -1);
    expectKey("F12", 0x7B, -1);
    expectKey("F13", 0, -1);
    expectKey("F0", 0, -1);
    expectKey("Fx", 0, -1);
}

TEST(WebKeys, OtherKeysAreNotSeen) {
    expectKey("Dead", 0, -1);
    expectKey("\xC3\xA9", 0, -1);  // é, two bytes
    expectKey("-", 0, -1);
    expectKey("", 0, -1);
}
