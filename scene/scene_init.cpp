#include "app/viewer_state.h"
#include "scene/scene.h"

const float lightPositions[6][4] = {
    {-10.0f, 14.0f, 4.0f, 0.0f}, {5.0f, -6.0f, -2.0f, 0.0f}, {0.0f, -3.0f, 4.0f, 0.0f},
    {0.0f, -2.0f, -5.0f, 0.0f},  {0.0f, 0.0f, -8.0f, 0.0f},  {-20.0f, -10.0f, -2.0f, 0.0f},
};

const float materialDiffuse[6] = {0.7f, 0.3f, 0.4f, 0.2f, 0.5f, 0.3f};

namespace {

// Light 0 gets only a position: its colours stay OpenGL's defaults.
const GLfloat kLight0Position[4] = {0.7f, 0.7f, 1.25f, 0.0f};

struct LightColours {
    GLfloat ambient[4];
    GLfloat diffuse[4];
    GLfloat specular[4];
};

// Lights 1 to 6, in light order.
const LightColours kLightColours[6] = {
    {{0.35f, 0.35f, 0.65f, 1.0f}, {0.2f, 0.2f, 0.5f, 1.0f}, {0.2f, 0.2f, 0.65f, 1.0f}},
    {{0.65f, 0.75f, 0.45f, 1.0f}, {0.4f, 0.3f, 0.3f, 1.0f}, {0.65f, 0.85f, 0.85f, 1.0f}},
    {{0.65f, 0.65f, 0.35f, 1.0f}, {0.4f, 0.4f, 0.05f, 1.0f}, {0.65f, 0.65f, 0.85f, 1.0f}},
    {{0.55f, 0.55f, 0.55f, 1.0f}, {0.4f, 0.5f, 0.3f, 1.0f}, {0.2f, 0.7f, 0.35f, 1.0f}},
    {{0.05f, 0.6f, 0.05f, 1.0f}, {0.0f, 0.5f, 0.0f, 1.0f}, {0.05f, 0.6f, 0.08f, 1.0f}},
    {{0.4f, 0.4f, 0.4f, 1.0f}, {0.4f, 0.4f, 0.05f, 1.0f}, {0.65f, 0.55f, 0.55f, 1.0f}},
};

// One float step above 0.243f on purpose: not a rounding of 0.243.
const GLfloat kFogDensity = 0.24300002f;
const GLfloat kFogColour[4] = {0.4f, 0.4f, 0.5f, 1.0f};

void setFogParameters() {
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogf(GL_FOG_DENSITY, kFogDensity);
    glFogfv(GL_FOG_COLOR, kFogColour);
}

// The model-view matrix is the identity here, so positions stand in eye space
// and the lights stay fixed relative to the viewer.
void setLights() {
    glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
    glEnable(GL_LIGHT0);
    for (int i = 0; i < 6; ++i) {
        const GLenum light = GL_LIGHT1 + i;
        glLightfv(light, GL_POSITION, lightPositions[i]);
        glLightfv(light, GL_AMBIENT, kLightColours[i].ambient);
        glLightfv(light, GL_DIFFUSE, kLightColours[i].diffuse);
        glLightfv(light, GL_SPECULAR, kLightColours[i].specular);
        glEnable(light);
    }
}

void loadIdentity(float matrix[16]) {
    for (int i = 0; i < 16; ++i) {
        matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    }
}

void setProjection() {
    // Before the window's size is known (a context made ahead of it) the
    // projection is square, as the window will be.
    const float aspect =
        viewer.windowHeight > 0
            ? static_cast<float>(static_cast<double>(viewer.windowWidth) / viewer.windowHeight)
            : 1.0f;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.5 * aspect, 1.5 * aspect, -1.5, 1.5, -4.0, 4.0);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void initScene() {
    setFogParameters();
    setProjection();
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    setLights();
    loadIdentity(viewer.modelRotation);
}
