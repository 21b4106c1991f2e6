// WebGL 1 calls for the GL layer, written in JavaScript through EM_JS. The
// context is made with depth, without alpha (the material's alpha of 0.6
// would let the page show through) and without antialiasing.
//
// Depends on: Emscripten, a WebGL 1 canvas.
// Cannot: draw while the context is lost; those frames are dropped.
#include "platform/web/gl/webgl_driver.h"

#include <emscripten.h>

// clang-format off
// A lost context is waited for, not given up: preventing the default is
// what lets the browser restore it. Then everything of ours that lives in
// WebGL (program, buffer, attributes, viewport) is made again; until then
// drawing does nothing. The program's own state is kept, so the next frame
// after that is right.
EM_JS(int, morvaneWebglCreate, (const char* canvasId), {
    const canvas = document.getElementById(UTF8ToString(canvasId));
    const gl = canvas && canvas.getContext("webgl", Module.morvaneContextAttributes);
    if (!gl) return 0;
    // Null when the program does not link.
    const setUp = () => {
        const compile = (type, text) => {
            const shader = gl.createShader(type);
            gl.shaderSource(shader, text);
            gl.compileShader(shader);
            return shader;
        };
        const program = gl.createProgram();
        gl.attachShader(program, compile(gl.VERTEX_SHADER,
            "attribute vec3 eye; attribute vec4 front; attribute vec4 back;" +
            "uniform mat4 projection; varying vec4 frontColour; varying vec4 backColour;" +
            "varying float distance;" +
            "void main() { frontColour = front; backColour = back; distance = abs(eye.z);" +
            " gl_Position = projection * vec4(eye, 1.0); }"));
        gl.attachShader(program, compile(gl.FRAGMENT_SHADER,
            "precision highp float; varying vec4 frontColour; varying vec4 backColour;" +
            "varying float distance; uniform bool fog; uniform float density;" +
            "uniform vec3 fogColour;" +
            "void main() { vec4 c = gl_FrontFacing ? frontColour : backColour;" +
            " if (fog) { float d = density * distance;" +
            "  c.rgb = mix(fogColour, c.rgb, clamp(exp(-d * d), 0.0, 1.0)); }" +
            " gl_FragColor = c; }"));
        gl.bindAttribLocation(program, 0, "eye");
        gl.bindAttribLocation(program, 1, "front");
        gl.bindAttribLocation(program, 2, "back");
        gl.linkProgram(program);
        if (!gl.getProgramParameter(program, gl.LINK_STATUS)) return null;
        gl.useProgram(program);
        gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
        gl.enableVertexAttribArray(0);
        gl.enableVertexAttribArray(1);
        gl.enableVertexAttribArray(2);
        gl.vertexAttribPointer(0, 3, gl.FLOAT, false, 20, 0);
        gl.vertexAttribPointer(1, 4, gl.UNSIGNED_BYTE, true, 20, 12);
        gl.vertexAttribPointer(2, 4, gl.UNSIGNED_BYTE, true, 20, 16);
        gl.viewport(0, 0, canvas.width, canvas.height);
        const where = (name) => gl.getUniformLocation(program, name);
        return {projection: where("projection"), fog: where("fog"), density: where("density"),
                fogColour: where("fogColour")};
    };
    const context = {gl, objects: setUp()};
    if (!context.objects) return 0;
    context.ready = () => context.objects !== null && !gl.isContextLost();
    canvas.addEventListener("webglcontextlost", (e) => {
        e.preventDefault();
        context.objects = null;
    });
    canvas.addEventListener("webglcontextrestored", () => { context.objects = setUp(); });
    Module.morvaneGl = context;
    return 1;
});

EM_JS(void, morvaneWebglDelete, (), { Module.morvaneGl = null; });

EM_JS(int, morvaneWebglProbe, (), {
    const probe = document.createElement("canvas");
    return probe.getContext("webgl", Module.morvaneContextAttributes) ? 1 : 0;
});

EM_JS(void, morvaneWebglClear, (float r, float g, float b, float a, int colour, int depth), {
    const c = Module.morvaneGl;
    if (!c || !c.ready()) return;
    c.gl.clearColor(r, g, b, a);
    c.gl.depthMask(true);
    c.gl.clear((colour ? c.gl.COLOR_BUFFER_BIT : 0) | (depth ? c.gl.DEPTH_BUFFER_BIT : 0));
});

EM_JS(void, morvaneWebglDraw, (const void* data, int count, int lines, const float* projection,
                              int depthTest, int fog, float density, const float* fogColour), {
    const c = Module.morvaneGl;
    if (!c || !c.ready() || count == 0) return;
    const gl = c.gl;
    const where = c.objects;
    gl.bufferData(gl.ARRAY_BUFFER, HEAPU8.subarray(data, data + count * 20), gl.STREAM_DRAW);
    gl.uniformMatrix4fv(where.projection, false,
                        HEAPF32.subarray(projection >> 2, (projection >> 2) + 16));
    gl.uniform1i(where.fog, fog);
    gl.uniform1f(where.density, density);
    gl.uniform3fv(where.fogColour, HEAPF32.subarray(fogColour >> 2, (fogColour >> 2) + 3));
    if (depthTest) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
    gl.drawArrays(lines ? gl.LINES : gl.TRIANGLES, 0, count);
});

EM_JS(void, morvaneWebglFlush, (), {
    const c = Module.morvaneGl;
    if (c && c.ready()) c.gl.flush();
});
// clang-format on

static_assert(sizeof(LitVertex) == 20, "the vertex layout the shader reads");

int webglCreateContext(const char* canvasId) {
    return morvaneWebglCreate(canvasId);
}

void webglDeleteContext(int) {
    morvaneWebglDelete();
}

bool webglAvailable() {
    return morvaneWebglProbe() != 0;
}

void webglClear(const float colour[4], bool colourBuffer, bool depthBuffer) {
    morvaneWebglClear(colour[0], colour[1], colour[2], colour[3], colourBuffer, depthBuffer);
}

void webglDraw(std::span<const LitVertex> vertices, bool lines, const DrawState& state) {
    morvaneWebglDraw(vertices.data(), static_cast<int>(vertices.size()), lines, state.projection,
                     state.depthTest, state.fog, state.fogDensity, state.fogColour);
}

void webglFlush() {
    morvaneWebglFlush();
}
