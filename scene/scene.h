// Scene set-up and frame rendering.
#pragma once

// Fixed state of the context: fog parameters, projection, lights.
void initScene();

// One complete frame: clear, spin step, lit model, swap.
void renderFrame();

// The scene's state and the first frames' pictures, without a swap, into
// whatever is current, leaving the model's turn as it was: a context made
// before its window has then met every state its frames need, and the
// first picture the user sees is unchanged.
void drawWarmUpFrame();
void applyMaterials();
void drawModel();

// Directions of lights 1 to 6 (x, y, z, w), given again on every frame.
extern const float lightPositions[6][4];
// Diffuse colours: front r, g, b, then back r, g, b.
extern const float materialDiffuse[6];
