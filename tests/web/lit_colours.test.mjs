// Lit colours in Chromium (WebGL on SwiftShader) through the web GL layer,
// at points inside large faces of the lighting tests' scenes, against the
// OpenGL 1.1 equation that Mesa matches in scene_gl: within 2 a channel.
// Then the built-in model against the native build's own picture of it on
// Mesa (web_native_frame), in the same states.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { promisify } from 'node:util';
import { fileURLToPath } from 'node:url';
import { useSite, openPage, waitFor } from './page_session.mjs';
import { decodePng } from './png.mjs';

const kBuild = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../build');
const kProbe = process.env.MORVANE_PROBE || path.join(kBuild, 'web/probe');
const kNativeFrame = process.env.MORVANE_NATIVE_FRAME ||
  path.join(kBuild, 'default/tests/web/web_native_frame');

const site = useSite(kProbe);

for (const [scene, name] of [[0, 'front and back faces'], [1, 'a face turned under the lights'],
                             [2, 'fog by eye distance']]) {
  test(`lit colours equal OpenGL 1.1's: ${name}`, async () => {
    const page = await openPage(site.browser, `${site.url}gl_probe.html#${scene}`,
                                { width: 700, height: 700 });
    const title = await waitFor(async () => {
      const t = await page.title();
      return t.startsWith('[') || t === 'no WebGL' ? t : null;
    }, 'the probe to draw');
    const samples = JSON.parse(title);
    const image = decodePng(await page.locator('canvas').screenshot());
    for (const [x, y, ...expected] of samples) {
      const actual = image.rgb(x, y);
      assert.ok(actual.every((v, i) => Math.abs(v - expected[i]) <= 2),
                `at (${x}, ${y}): ${actual} against ${expected}`);
    }
    await page.close();
  });
}

// Turned, fogged and wire-framed as the viewer can show the model.
const kStates = [
  { angle: 0, axis: [0, 0, 1], fog: 0, wire: 0 },
  { angle: 50, axis: [1, 2, 0.5], fog: 1, wire: 0 },
  { angle: 200, axis: [0.3, 0.2, 0.4], fog: 0, wire: 0 },
  { angle: 120, axis: [-0.3, 1, 0.2], fog: 1, wire: 1 },
];
const kBackgrounds = [[38, 38, 38], [51, 38, 38]];

function near(a, b, tolerance = 2) {
  return a.every((value, i) => Math.abs(value - b[i]) <= tolerance);
}

function isBackground(colour) {
  return kBackgrounds.some((background) => near(colour, background, 3));
}

// The model's pixels in the 5x5 square around (x, y): null when one of
// them is not within 2 of the centre's colour.
function alikeAround(image, x, y) {
  const centre = image.rgb(x, y);
  const alike = [];
  for (let dy = -2; dy <= 2; ++dy) {
    for (let dx = -2; dx <= 2; ++dx) {
      const colour = image.rgb(x + dx, y + dy);
      if (isBackground(colour)) continue;
      if (!near(colour, centre)) return null;
      alike.push(colour);
    }
  }
  return alike;
}

// Inside a face: the whole square is the model and of one colour. Edges
// move by a pixel between rasterisers, so only such points count.
function insideFace(image, x, y) {
  return alikeAround(image, x, y)?.length === 25;
}

// On one line of the wire frame, away from crossings and other lines.
function onLoneLine(image, x, y) {
  const alike = isBackground(image.rgb(x, y)) ? null : alikeAround(image, x, y);
  return alike !== null && alike.length <= 7;
}

// Points that both pictures hold inside a face (or on a lone line), and
// those of them whose colours differ by more than 2 in a channel.
function comparePictures(native, web, wire) {
  const inside = wire ? onLoneLine : insideFace;
  const result = { nativePoints: 0, compared: 0, differing: [] };
  for (let y = 2; y < native.height - 2; ++y) {
    for (let x = 2; x < native.width - 2; ++x) {
      if (!inside(native, x, y)) continue;
      ++result.nativePoints;
      if (!inside(web, x, y)) continue;
      ++result.compared;
      if (!near(native.rgb(x, y), web.rgb(x, y))) {
        result.differing.push(`(${x}, ${y}): ${web.rgb(x, y)} against ${native.rgb(x, y)}`);
      }
    }
  }
  return result;
}

async function drawNatively(directory) {
  const args = kStates.flatMap((s, i) => [path.join(directory, `native-${i}.png`), s.angle,
                                          ...s.axis, s.fog, s.wire].map(String));
  await promisify(execFile)(kNativeFrame, args, { timeout: 60000 });
  return kStates.map((_, i) => decodePng(fs.readFileSync(path.join(directory, `native-${i}.png`))));
}

async function drawInPage(state) {
  const hash = ['model', state.angle, ...state.axis, state.fog, state.wire].join('/');
  // 1001 wide: the 819-pixel canvas, centred, starts on a whole pixel.
  const page = await openPage(site.browser, `${site.url}gl_probe.html#${hash}`,
                              { width: 1001, height: 1000 });
  const title = await waitFor(async () => {
    const t = await page.title();
    return t === 'drawing' ? null : t;
  }, 'the probe to draw the model');
  assert.equal(title, 'drawn');
  const image = decodePng(await page.locator('canvas').screenshot());
  await page.close();
  return image;
}

// Filled, every point inside a face must agree. In the wire frame an edge
// that two triangles share is drawn twice at one depth and either colour
// may win, differently on each renderer, so most points, not all, agree;
// and a line a pixel aside is a point only one picture has.
test('the built-in model\'s lit colours equal the native build\'s on Mesa', async (t) => {
  const directory = fs.mkdtempSync(path.join(os.tmpdir(), 'morvane-native-'));
  try {
    const natives = await drawNatively(directory);
    for (const [i, state] of kStates.entries()) {
      const what = JSON.stringify(state);
      const web = await drawInPage(state);
      assert.equal(web.width, natives[i].width, what);
      const result = comparePictures(natives[i], web, state.wire);
      assert.ok(result.nativePoints > 3000, `${what}: ${result.nativePoints} points in the picture`);
      t.diagnostic(`${what}: ${result.compared} of ${result.nativePoints} points compared, ` +
                   `${result.differing.length} differ`);
      assert.ok(result.compared > (state.wire ? 0.5 : 0.9) * result.nativePoints,
                `${what}: ${result.compared} of ${result.nativePoints} points alike in the page`);
      const allowed = state.wire ? 0.05 * result.compared : 0;
      assert.ok(result.differing.length <= allowed,
                `${what}: ${result.differing.length} of ${result.compared} differ, first ` +
                result.differing.slice(0, 5).join('; '));
    }
  } finally {
    fs.rmSync(directory, { recursive: true, force: true });
  }
});
