#include "scene/render_frame.h"

#include <algorithm>
#include <iterator>

#include "app/viewer_state.h"
#include "scene/rotation.h"
#include "scene/scene.h"

namespace {

const GLfloat kFogClearColour[4] = {0.2f, 0.15f, 0.15f, 1.0f};
const GLfloat kClearColour[4] = {0.15f, 0.15f, 0.15f, 1.0f};

const GLfloat kMaterialAmbient[4] = {0.05f, 0.05f, 0.05f, 1.0f};
const GLfloat kMaterialSpecular[4] = {0.23f, 0.23f, 0.25f, 1.0f};
const GLfloat kMaterialAlpha = 0.6f;
const GLfloat kMaterialShininess = 40.0f;

void setBackgroundAndFog() {
    const GLfloat* colour = viewer.fogEnabled != 0 ? kFogClearColour : kClearColour;
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    if (viewer.fogEnabled != 0) {
        glEnable(GL_FOG);
    } else {
        glDisable(GL_FOG);
    }
}

// Given again on every frame while the model-view matrix is the identity, so
// the lights stay in eye space.
void enableLighting() {
    glEnable(GL_LIGHTING);
    for (int i = 0; i < 6; ++i) {
        glLightfv(GL_LIGHT1 + i, GL_POSITION, lightPositions[i]);
    }
}

void setFaceMaterial(GLenum face, const float* diffuseRgb) {
    const GLfloat diffuse[4] = {diffuseRgb[0], diffuseRgb[1], diffuseRgb[2], kMaterialAlpha};
    glMaterialfv(face, GL_AMBIENT, kMaterialAmbient);
    glMaterialfv(face, GL_DIFFUSE, diffuse);
    glMaterialfv(face, GL_SPECULAR, kMaterialSpecular);
    glMaterialf(face, GL_SHININESS, kMaterialShininess);
}

void sendCorner(const SurfaceModel& model, const TriangleRecord& triangle, int corner) {
    const Vec3& normal = model.normals[triangle.normalIndex[corner]];
    const Vec3& vertex = model.vertices[triangle.vertexIndex[corner]];
    glNormal3f(normal.x, normal.y, normal.z);
    glVertex3f(vertex.x, vertex.y, vertex.z);
}

void restoreDefaults() {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
}

}  // namespace

void applySpinIncrement() {
    if (!spinTurns(viewer.spinAngle, viewer.spinAxis)) {
        return;
    }
    float previous[16];
    for (int i = 0; i < 16; ++i) {
        previous[i] = viewer.modelRotation[i];
    }
    glPushMatrix();
    glLoadIdentity();
    glRotatef(viewer.spinAngle, viewer.spinAxis.x, viewer.spinAxis.y, viewer.spinAxis.z);
    glMultMatrixf(viewer.modelRotation);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewer.modelRotation);
    glPopMatrix();
    // Float products drift away from a rotation over millions of frames and
    // would grow, shrink or shear the model; a broken product is dropped.
    if (!reorthonormalise(viewer.modelRotation)) {
        for (int i = 0; i < 16; ++i) {
            viewer.modelRotation[i] = previous[i];
        }
    }
}

void applyMaterials() {
    setFaceMaterial(GL_FRONT, materialDiffuse);
    setFaceMaterial(GL_BACK, materialDiffuse + 3);
}

void drawModel(const SurfaceModel& model) {
    glLineWidth(1.0f);
    glBegin(GL_TRIANGLES);
    for (std::int32_t i = 0; i < model.triangleCount; ++i) {
        const TriangleRecord& triangle = model.triangles[i];
        sendCorner(model, triangle, 0);
        sendCorner(model, triangle, 1);
        sendCorner(model, triangle, 2);
    }
    glEnd();
}

void drawModel() {
    drawModel(builtinModel);
}

void drawFrame(const SurfaceModel& model) {
    setBackgroundAndFog();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (viewer.spinEnabled == 1) {
        applySpinIncrement();
    }
    if (viewer.wireframe != 0) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }
    enableLighting();
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glMultMatrixf(viewer.modelRotation);
    applyMaterials();
    drawModel(model);
    glPopMatrix();
    restoreDefaults();
    glFlush();
}

// Without a rendering context (its creation failed) a frame asked for by a
// key must do nothing at all.
void renderFrame() {
    if (viewer.renderContext == nullptr) {
        return;
    }
    drawFrame(builtinModel);
    SwapBuffers(viewer.deviceContext);
}

// Two frames, spin steps included, as the window will draw them: the first
// leaves the context in the state every later frame starts from, for which
// the driver builds shaders of its own. The turns are undone.
void drawWarmUpFrame() {
    initScene();
    float rotation[16];
    std::copy(std::begin(viewer.modelRotation), std::end(viewer.modelRotation), rotation);
    drawFrame(builtinModel);
    drawFrame(builtinModel);
    std::copy(std::begin(rotation), std::end(rotation), viewer.modelRotation);
}
