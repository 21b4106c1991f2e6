// A pixel-format failure inside window creation ends the process with
// status 1 after an error box owned by the window, before it is shown.
#include <gtest/gtest.h>

#include "tests/shell/shell_fixture.h"

namespace {

using PixelFormatFailureTest = ShellTest;

TEST_F(PixelFormatFailureTest, NoMatchingFormatShowsTheErrorAndExitsWithOne) {
    scripted.chosenFormat = 0;
    scripted.echoMessageBoxes = true;
    EXPECT_EXIT(
        runWinMain(), ::testing::ExitedWithCode(1),
        "messageBox owner=0x1 type=16 caption=\\[Error\\] text=\\[ChoosePixelFormat failed\n\\]");
}

TEST_F(PixelFormatFailureTest, AFormatThatCannotBeSetShowsTheErrorAndExitsWithOne) {
    scripted.formatCanBeSet = false;
    scripted.echoMessageBoxes = true;
    EXPECT_EXIT(
        runWinMain(), ::testing::ExitedWithCode(1),
        "messageBox owner=0x1 type=16 caption=\\[Error\\] text=\\[SetPixelFormat failed\\]");
}

TEST_F(PixelFormatFailureTest, TheNoticeCameFirstAndTheWindowWasNeverShown) {
    scripted.chosenFormat = 0;
    scripted.echoMessageBoxes = true;
    // Anything after creation would print a second box line; none may follow.
    EXPECT_EXIT(
        {
            runWinMain();
            MessageBoxA(nullptr, "survived creation", "", MB_OK);
        },
        ::testing::ExitedWithCode(1),
        "^messageBox owner=\\(nil\\) type=0 caption=\\[[^]]*\\] text=\\[ mouse: [^]]*\\]\n"
        "messageBox owner=0x1 type=16 caption=\\[Error\\] text=\\[ChoosePixelFormat "
        "failed\n\\]\n$");
}

}  // namespace
