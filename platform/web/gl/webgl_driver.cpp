// WebGL 1 calls for the GL layer, written in JavaScript through EM_JS. The
// context is made with depth, without alpha (the material's alpha of 0.6
// would let the page show through) and without antialiasing. It can be
// made and drawn with once before the window exists, and the window's
// canvas then takes it.
//
// Depends on: Emscripten, a WebGL 1 canvas, page.js (the context's
// attributes, prepareCanvas, warmGpu).
// Cannot: draw while the context is lost; those frames are dropped.
#include "platform/web/gl/webgl_driver.h"

#include <emscripten.h>

// clang-format off
// The driver's JavaScript, installed once on Module so that the warm-up,
// which runs while the program waits for the notice and must not call into
// it, sets up and draws with the same code as the program's own calls.
//
// A lost context is waited for, not given up: preventing the default is
// what lets the browser restore it. Then everything of ours that lives in
// WebGL (program, buffer, attributes, viewport) is made again; until then
// drawing does nothing. The program's own state is kept, so the next frame
// after that is right.
EM_JS(void, morvaneWebglInstall, (), {
    if (Module.morvaneWebgl) return;
    // The program is linked in one call and asked about in a later one, so
    // that the warm-up can let the notice answer while it links. Null while
    // the context is lost: the restored event makes it then.
    const startProgram = (gl) => {
        if (gl.isContextLost()) return null;
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
        return program;
    };
    // Whether asking for the link status would not wait: only browsers with
    // KHR_parallel_shader_compile can say so; elsewhere the asking waits.
    const linked = (gl, program) => {
        const parallel = gl.getExtension("KHR_parallel_shader_compile");
        return !parallel || !program ||
               gl.getProgramParameter(program, parallel.COMPLETION_STATUS_KHR);
    };
    // The uniforms' places, or null when the program does not link.
    const finishSetUp = (gl, canvas, program) => {
        if (!program || !gl.getProgramParameter(program, gl.LINK_STATUS)) return null;
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
    // The context record of a canvas, not yet set up, or null when the page
    // has no WebGL.
    const contextOn = (canvas) => {
        const gl = canvas.getContext("webgl", Module.morvaneContextAttributes);
        if (!gl) return null;
        const context = {gl, canvas, objects: null, program: null};
        context.ready = () => context.objects !== null && !gl.isContextLost();
        canvas.addEventListener("webglcontextlost", (e) => {
            e.preventDefault();
            context.objects = null;
        });
        canvas.addEventListener("webglcontextrestored", () => {
            context.objects = finishSetUp(gl, canvas, startProgram(gl));
        });
        return context;
    };
    const setUp = (c) => {
        if (c && !c.objects) {
            c.objects = finishSetUp(c.gl, c.canvas, c.program || startProgram(c.gl));
        }
        return c;
    };
    const clear = (c, r, g, b, a, colour, depth) => {
        if (!c || !c.ready()) return;
        c.gl.clearColor(r, g, b, a);
        c.gl.depthMask(true);
        c.gl.clear((colour ? c.gl.COLOR_BUFFER_BIT : 0) | (depth ? c.gl.DEPTH_BUFFER_BIT : 0));
    };
    // bytes: count vertices of 20 bytes; projection and fogColour: Float32Arrays.
    const draw = (c, bytes, count, lines, projection, depthTest, fog, density, fogColour) => {
        if (!c || !c.ready() || count == 0) return;
        const gl = c.gl;
        const where = c.objects;
        gl.bufferData(gl.ARRAY_BUFFER, bytes, gl.STREAM_DRAW);
        gl.uniformMatrix4fv(where.projection, false, projection);
        gl.uniform1i(where.fog, fog);
        gl.uniform1f(where.density, density);
        gl.uniform3fv(where.fogColour, fogColour);
        if (depthTest) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
        gl.drawArrays(lines ? gl.LINES : gl.TRIANGLES, 0, count);
    };
    // Two triangles, one of each facing, filled with and without fog and as
    // lines: each state the program draws in, so that SwiftShader builds its
    // routines now. Flushed, not finished: the GPU process builds them while
    // the page goes on answering the notice.
    const drawWarmUpFrame = (c) => {
        const vertices = new ArrayBuffer(6 * 20);
        const corners = [[-0.5, -0.5], [0.5, -0.5], [0, 0.5], [-0.5, 0.5], [0.5, 0.5], [0, -0.5]];
        corners.forEach(([x, y], i) => {
            new Float32Array(vertices, i * 20, 3).set([x, y, -0.5]);
            new Uint8Array(vertices, i * 20 + 12, 8).set([200, 100, 50, 153, 50, 100, 200, 153]);
        });
        const bytes = new Uint8Array(vertices);
        const identity = new Float32Array([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]);
        const grey = new Float32Array([0.2, 0.15, 0.15]);
        clear(c, 0.15, 0.15, 0.15, 1, 1, 1);
        for (const fog of [0, 1]) draw(c, bytes, 6, 0, identity, 1, fog, 0.5, grey);
        draw(c, bytes, 6, 1, identity, 1, 0, 0.5, grey);
        clear(c, 0.15, 0.15, 0.15, 1, 1, 1);
        c.gl.flush();
    };
    // Every call into WebGL that waits for the GPU process blocks the page,
    // and the browser's first context waits longest (hundreds of ms on
    // SwiftShader). So the warm-up first has page.js make and drop a
    // context in a worker, which takes that wait off the page's thread,
    // then does its own work in steps, each after a frame, so that the
    // notice answers between them.
    Module.morvaneWebgl = {
        available: false,  // kept after a window took the context
        warm: null,  // the warm-up's context until a window takes it
        steps: null,  // the warm-up's steps not yet run; null before it began
        begin(side) {
            if (this.steps) return;
            const warm = () => this.warm;
            this.steps = [
                () => {
                    this.warm = contextOn(Module.morvanePage.prepareCanvas(side));
                    this.available = this.warm !== null;
                    if (!this.warm) this.steps.length = 0;
                },
                () => {
                    warm().program = startProgram(warm().gl);
                    warm().gl.flush();  // the GPU process links while the notice waits
                },
                (waiting) => waiting && !linked(warm().gl, warm().program),
                () => { setUp(warm()); },
                () => drawWarmUpFrame(warm()),
            ];
        },
        // Runs what is left at once: the window wants the answer now.
        prepare(side) {
            this.begin(side);
            while (this.steps.length > 0) this.steps.shift()(false);
        },
        // After the notice has been painted, so that it shows no later.
        startWarmUp(side) {
            this.begin(side);
            const afterAFrame = (then) => requestAnimationFrame(() => setTimeout(then));
            const next = () => {
                if (this.steps.length === 0) return;
                // A step that says it is not done yet runs again a frame later.
                if (!this.steps[0](true)) this.steps.shift();
                afterAFrame(next);
            };
            afterAFrame(() => {
                // Return pressed before this frame has had the window finish it.
                if (this.steps.length === 0) return;
                Module.morvanePage.warmGpu(side).then(() => afterAFrame(next));
            });
        },
        adopt(canvas) {
            const warm = this.warm;
            this.warm = null;
            if (!warm || warm.canvas !== canvas) return setUp(contextOn(canvas));
            if (warm.ready()) warm.gl.viewport(0, 0, canvas.width, canvas.height);
            return warm;
        },
        clear,
        draw,
    };
});

EM_JS(void, morvaneWebglStartWarmUp, (int side), { Module.morvaneWebgl.startWarmUp(side); });

// The answer found first is kept: a page without WebGL is told so later,
// where the window asks.
EM_JS(int, morvaneWebglPrepare, (int side), {
    Module.morvaneWebgl.prepare(side);
    return Module.morvaneWebgl.available ? 1 : 0;
});

// A context lost behind the notice is still the window's: it is set up
// again when the browser restores it.
EM_JS(int, morvaneWebglCreate, (const char* canvasId), {
    const canvas = document.getElementById(UTF8ToString(canvasId));
    const context = canvas && Module.morvaneWebgl.adopt(canvas);
    if (!context || (!context.objects && !context.gl.isContextLost())) return 0;
    Module.morvaneGl = context;
    return 1;
});

EM_JS(void, morvaneWebglDelete, (), { Module.morvaneGl = null; });

EM_JS(void, morvaneWebglClear, (float r, float g, float b, float a, int colour, int depth), {
    Module.morvaneWebgl.clear(Module.morvaneGl, r, g, b, a, colour, depth);
});

EM_JS(void, morvaneWebglDraw, (const void* data, int count, int lines, const float* projection,
                              int depthTest, int fog, float density, const float* fogColour), {
    Module.morvaneWebgl.draw(Module.morvaneGl, HEAPU8.subarray(data, data + count * 20), count,
                             lines, HEAPF32.subarray(projection >> 2, (projection >> 2) + 16),
                             depthTest, fog, density,
                             HEAPF32.subarray(fogColour >> 2, (fogColour >> 2) + 3));
});

EM_JS(void, morvaneWebglFlush, (), {
    const c = Module.morvaneGl;
    if (c && c.ready()) c.gl.flush();
});
// clang-format on

static_assert(sizeof(LitVertex) == 20, "the vertex layout the shader reads");

void webglStartWarmUp(int side) {
    morvaneWebglInstall();
    morvaneWebglStartWarmUp(side);
}

bool webglAvailable(int side) {
    morvaneWebglInstall();
    return morvaneWebglPrepare(side) != 0;
}

int webglCreateContext(const char* canvasId) {
    morvaneWebglInstall();
    return morvaneWebglCreate(canvasId);
}

void webglDeleteContext(int) {
    morvaneWebglDelete();
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
