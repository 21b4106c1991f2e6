// Buffer objects are OpenGL 1.5: gl.h declares them only when asked.
#define GL_GLEXT_PROTOTYPES 1
#include "tests/bench/render/buffer_frame.h"

#include <vector>

#include "app/viewer_state.h"
#include "scene/render_frame.h"
#include "scene/scene.h"

MeshBuffer uploadMesh(const SurfaceModel& model) {
    std::vector<float> interleaved;
    interleaved.reserve(static_cast<std::size_t>(model.triangleCount) * 18);
    for (std::int32_t i = 0; i < model.triangleCount; ++i) {
        const TriangleRecord& t = model.triangles[i];
        for (int j = 0; j < 3; ++j) {
            const Vec3& n = model.normals[t.normalIndex[j]];
            const Vec3& v = model.vertices[t.vertexIndex[j]];
            interleaved.insert(interleaved.end(), {n.x, n.y, n.z, v.x, v.y, v.z});
        }
    }
    MeshBuffer buffer;
    buffer.corners = 3 * model.triangleCount;
    glGenBuffers(1, &buffer.name);
    glBindBuffer(GL_ARRAY_BUFFER, buffer.name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(interleaved.size() * sizeof(float)),
                 interleaved.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return buffer;
}

void deleteMesh(MeshBuffer& buffer) {
    glDeleteBuffers(1, &buffer.name);
    buffer = {};
}

namespace {

void drawBuffer(const MeshBuffer& buffer) {
    const GLsizei stride = 6 * sizeof(float);
    glBindBuffer(GL_ARRAY_BUFFER, buffer.name);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNormalPointer(GL_FLOAT, stride, nullptr);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(3 * sizeof(float)));
    glDrawArrays(GL_TRIANGLES, 0, buffer.corners);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

void renderBufferFrame(const MeshBuffer& buffer, bool present) {
    glClearColor(0.15f, 0.15f, 0.15f, 1.0f);
    glDisable(GL_FOG);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (viewer.spinEnabled == 1) {
        applySpinIncrement();
    }
    glEnable(GL_LIGHTING);
    for (int i = 0; i < 6; ++i) {
        glLightfv(GL_LIGHT1 + i, GL_POSITION, lightPositions[i]);
    }
    glEnable(GL_DEPTH_TEST);
    glPushMatrix();
    glMultMatrixf(viewer.modelRotation);
    applyMaterials();
    glLineWidth(1.0f);
    drawBuffer(buffer);
    glPopMatrix();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glFlush();
    if (present) {
        SwapBuffers(viewer.deviceContext);
    }
}
