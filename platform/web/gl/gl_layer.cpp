// OpenGL 1.1 over WebGL, for exactly the calls in GL/gl.h: matrix stacks,
// lights and two-sided materials, exponential fog, polygon mode, immediate
// mode, clear and depth test. Lighting is computed here, on the CPU, as
// OpenGL 1.1 specifies it, once per distinct normal and batch; WebGL only
// transforms, picks the front or back colour, fogs and rasterises.
//
// Depends on: fixed_function.h (the arithmetic), webgl_driver.h (drawing).
// Cannot: anything GL/gl.h does not declare; only GL_TRIANGLES between
// glBegin and glEnd; glPolygonMode for both faces at once.
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/web/gl/fixed_function.h"
#include "platform/web/gl/webgl_driver.h"

namespace {

struct Corner {
    std::array<float, 3> position;
    std::array<float, 3> normal;
};

struct LayerState {
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Matrix4> modelview{identityMatrix()};
    std::vector<Matrix4> projection{identityMatrix()};
    Lighting lighting = defaultLighting();
    bool lightingOn = false;
    bool depthTest = false;
    bool fogOn = false;
    float fogDensity = 1;
    std::array<float, 4> fogColour{0, 0, 0, 0};
    std::array<float, 4> clearColour{0, 0, 0, 0};
    bool wireFrame = false;
    std::array<float, 3> normal{0, 0, 1};
    std::vector<Corner> corners;  // since glBegin
    std::vector<LitVertex> vertices;
};

LayerState gl;

std::vector<Matrix4>& currentStack() {
    return gl.matrixMode == GL_PROJECTION ? gl.projection : gl.modelview;
}

void multiplyCurrent(const Matrix4& by) {
    Matrix4& top = currentStack().back();
    top = multiply(top, by);
}

std::array<float, 4> copy4(const GLfloat* values) {
    return {values[0], values[1], values[2], values[3]};
}

std::uint8_t toByte(float channel) {
    return static_cast<std::uint8_t>(std::lround(channel * 255.0f));
}

void storeColour(std::uint8_t* out, const std::array<float, 4>& colour) {
    for (int c = 0; c < 4; ++c) {
        out[c] = toByte(colour[c]);
    }
}

struct LitPair {
    std::uint8_t front[4];
    std::uint8_t back[4];
};

// The object-space normal's bits are the key: the model repeats 2,229
// normals over 43,968 corners, and one batch has one model-view matrix.
struct NormalKey {
    std::uint32_t bits[3];
    bool operator==(const NormalKey&) const = default;
};
struct NormalHash {
    std::size_t operator()(const NormalKey& key) const {
        return (key.bits[0] * 73856093u) ^ (key.bits[1] * 19349663u) ^ (key.bits[2] * 83492791u);
    }
};

// The lit colours of one batch, looked up by the normal's bits; the
// lights' directions are worked out once for the batch.
class BatchLighting {
public:
    BatchLighting()
        : normals_(normalMatrix(gl.modelview.back())), lights_(enabledLights(gl.lighting)) {}

    const LitPair& of(const std::array<float, 3>& normal) {
        NormalKey key;
        std::memcpy(key.bits, normal.data(), sizeof key.bits);
        auto found = cache_.find(key);
        if (found == cache_.end()) {
            found = cache_.emplace(key, light(normal)).first;
        }
        return found->second;
    }

private:
    LitPair light(const std::array<float, 3>& n) const {
        LitPair pair{};
        if (!gl.lightingOn) {
            // No glColor is ever called: the current colour stays white.
            std::memset(&pair, 255, sizeof pair);
            return pair;
        }
        const auto& m = normals_;
        const std::array<float, 3> eye = {m[0] * n[0] + m[1] * n[1] + m[2] * n[2],
                                          m[3] * n[0] + m[4] * n[1] + m[5] * n[2],
                                          m[6] * n[0] + m[7] * n[1] + m[8] * n[2]};
        const Lighting& lighting = gl.lighting;
        storeColour(pair.front, litColour(lighting, lights_, lighting.front, eye));
        if (lighting.twoSided) {
            storeColour(pair.back,
                        litColour(lighting, lights_, lighting.back, {-eye[0], -eye[1], -eye[2]}));
        } else {
            std::memcpy(pair.back, pair.front, sizeof pair.back);
        }
        return pair;
    }

    std::array<float, 9> normals_;
    EnabledLights lights_;
    std::unordered_map<NormalKey, LitPair, NormalHash> cache_;
};

LitVertex vertexAt(const std::array<float, 4>& eye, const LitPair& colour) {
    LitVertex v{};
    std::memcpy(v.eye, eye.data(), sizeof v.eye);
    std::memcpy(v.front, colour.front, sizeof v.front);
    std::memcpy(v.back, colour.back, sizeof v.back);
    return v;
}

// Counter-clockwise in window coordinates is the front, as by default.
bool facesFront(const std::array<std::array<float, 4>, 3>& eye) {
    const Matrix4& p = gl.projection.back();
    float x[3], y[3];
    for (int i = 0; i < 3; ++i) {
        const auto clip = transformPoint(p, eye[i]);
        x[i] = clip[0] / clip[3];
        y[i] = clip[1] / clip[3];
    }
    const float area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    return area > 0;
}

// Lines carry no facing in WebGL, so each triangle's edges get the colour
// its own facing chooses, in both slots.
void appendEdges(const std::array<std::array<float, 4>, 3>& eye, const LitPair* colours) {
    const bool front = facesFront(eye);
    for (int i = 0; i < 3; ++i) {
        for (int end : {i, (i + 1) % 3}) {
            LitPair chosen = colours[end];
            if (!front) {
                std::memcpy(chosen.front, chosen.back, sizeof chosen.front);
            } else {
                std::memcpy(chosen.back, chosen.front, sizeof chosen.back);
            }
            gl.vertices.push_back(vertexAt(eye[end], chosen));
        }
    }
}

// Two corners at one place: the triangle has no area, so filled it gives
// no fragments. Half the model's records are such (p, r, p) triangles.
bool withoutArea(const Corner* corners) {
    auto same = [](const Corner& a, const Corner& b) {
        return std::memcmp(a.position.data(), b.position.data(), sizeof a.position) == 0;
    };
    return same(corners[0], corners[1]) || same(corners[1], corners[2]) ||
           same(corners[0], corners[2]);
}

void drawCorners() {
    BatchLighting lighting;
    const Matrix4& modelview = gl.modelview.back();
    gl.vertices.clear();
    const std::size_t triangles = gl.corners.size() / 3;
    for (std::size_t t = 0; t < triangles; ++t) {
        const Corner* corners = &gl.corners[t * 3];
        if (!gl.wireFrame && withoutArea(corners)) {
            continue;
        }
        std::array<std::array<float, 4>, 3> eye;
        LitPair lit[3];
        for (int i = 0; i < 3; ++i) {
            const auto& p = corners[i].position;
            eye[i] = transformPoint(modelview, {p[0], p[1], p[2], 1});
            lit[i] = lighting.of(corners[i].normal);
        }
        if (gl.wireFrame) {
            appendEdges(eye, lit);
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            gl.vertices.push_back(vertexAt(eye[i], lit[i]));
        }
    }
    const DrawState state = {gl.projection.back().data(), gl.depthTest, gl.fogOn, gl.fogDensity,
                             gl.fogColour.data()};
    webglDraw(gl.vertices, gl.wireFrame, state);
}

void setCapability(GLenum capability, bool on) {
    if (capability >= GL_LIGHT0 && capability < GL_LIGHT0 + 8) {
        gl.lighting.lights[capability - GL_LIGHT0].enabled = on;
    } else if (capability == GL_LIGHTING) {
        gl.lightingOn = on;
    } else if (capability == GL_DEPTH_TEST) {
        gl.depthTest = on;
    } else if (capability == GL_FOG) {
        gl.fogOn = on;
    }
}

// The ambient, diffuse or specular colour that name picks, or null.
std::array<float, 4>* colourNamed(GLenum name, std::array<float, 4>& ambient,
                                  std::array<float, 4>& diffuse, std::array<float, 4>& specular) {
    switch (name) {
        case GL_AMBIENT:
            return &ambient;
        case GL_DIFFUSE:
            return &diffuse;
        case GL_SPECULAR:
            return &specular;
        default:
            return nullptr;
    }
}

void setMaterial(Material& m, GLenum name, const GLfloat* values) {
    if (name == GL_SHININESS) {
        m.shininess = values[0];
    } else if (auto* colour = colourNamed(name, m.ambient, m.diffuse, m.specular)) {
        *colour = copy4(values);
    }
}

}  // namespace

extern "C" {

void glClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    gl.clearColour = {red, green, blue, alpha};
}

void glClear(GLbitfield mask) {
    webglClear(gl.clearColour.data(), (mask & GL_COLOR_BUFFER_BIT) != 0,
               (mask & GL_DEPTH_BUFFER_BIT) != 0);
}

void glFlush() {
    webglFlush();
}

void glEnable(GLenum capability) {
    setCapability(capability, true);
}

void glDisable(GLenum capability) {
    setCapability(capability, false);
}

// WebGL draws lines one pixel wide; the program asks for nothing else.
void glLineWidth(GLfloat) {}

void glPolygonMode(GLenum face, GLenum mode) {
    if (face == GL_FRONT_AND_BACK) {
        gl.wireFrame = mode == GL_LINE;
    }
}

void glMatrixMode(GLenum mode) {
    gl.matrixMode = mode;
}

void glLoadIdentity() {
    currentStack().back() = identityMatrix();
}

void glPushMatrix() {
    auto& stack = currentStack();
    stack.push_back(stack.back());
}

void glPopMatrix() {
    auto& stack = currentStack();
    if (stack.size() > 1) {
        stack.pop_back();
    }
}

void glMultMatrixf(const GLfloat* m) {
    Matrix4 by;
    std::memcpy(by.data(), m, sizeof by);
    multiplyCurrent(by);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    multiplyCurrent(rotationAbout(angle, x, y, z));
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear,
             GLdouble zFar) {
    multiplyCurrent(orthographic(left, right, bottom, top, zNear, zFar));
}

void glGetFloatv(GLenum name, GLfloat* values) {
    if (name == GL_MODELVIEW_MATRIX) {
        std::memcpy(values, gl.modelview.back().data(), sizeof(Matrix4));
    }
}

// Positions are stored in eye space, through the model-view matrix of now.
void glLightfv(GLenum light, GLenum name, const GLfloat* values) {
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + 8) {
        return;
    }
    LightSource& source = gl.lighting.lights[light - GL_LIGHT0];
    if (name == GL_POSITION) {
        source.eyePosition = transformPoint(gl.modelview.back(), copy4(values));
    } else if (auto* colour = colourNamed(name, source.ambient, source.diffuse, source.specular)) {
        *colour = copy4(values);
    }
}

void glLightModeli(GLenum name, GLint value) {
    if (name == GL_LIGHT_MODEL_TWO_SIDE) {
        gl.lighting.twoSided = value != 0;
    }
}

void glMaterialfv(GLenum face, GLenum name, const GLfloat* values) {
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) {
        setMaterial(gl.lighting.front, name, values);
    }
    if (face == GL_BACK || face == GL_FRONT_AND_BACK) {
        setMaterial(gl.lighting.back, name, values);
    }
}

void glMaterialf(GLenum face, GLenum name, GLfloat value) {
    glMaterialfv(face, name, &value);
}

// Only GL_EXP2 is ever asked for.
void glFogi(GLenum, GLint) {}

void glFogf(GLenum name, GLfloat value) {
    if (name == GL_FOG_DENSITY) {
        gl.fogDensity = value;
    }
}

void glFogfv(GLenum name, const GLfloat* values) {
    if (name == GL_FOG_COLOR) {
        gl.fogColour = copy4(values);
    }
}

void glBegin(GLenum) {
    gl.corners.clear();
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    gl.normal = {x, y, z};
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    gl.corners.push_back({{x, y, z}, gl.normal});
}

void glEnd() {
    drawCorners();
    gl.corners.clear();
}

}  // extern "C"
