// Fixture for tests against real OpenGL: one window per test process, a
// fresh context and a fresh viewer record for every test.
#pragma once

#include <gtest/gtest.h>

#include "app/viewer_state.h"
#include "tests/scene/gl_window.h"

class GlTest : public ::testing::Test {
protected:
    static void TearDownTestSuite() { closeGlWindow(); }

    void SetUp() override {
        ASSERT_TRUE(openGlWindow()) << glWindowError();
        ASSERT_TRUE(makeFreshContext()) << glWindowError();
        viewer = ViewerState{};
        viewer.windowWidth = kWindowSide;
        viewer.windowHeight = kWindowSide;
        // Non-null handles: the context is real, the device context unused.
        viewer.deviceContext = reinterpret_cast<HDC>(std::uintptr_t{0x2000});
        viewer.renderContext = reinterpret_cast<HGLRC>(std::uintptr_t{0x3000});
    }

    void TearDown() override { dropContext(); }
};

inline constexpr Colour kBackground = {38, 38, 38};
inline constexpr Colour kFogBackground = {51, 38, 38};
