// Lit colours in Chromium (WebGL on SwiftShader) through the web GL layer,
// at points inside large faces of the lighting tests' scenes, against the
// OpenGL 1.1 equation that Mesa matches in scene_gl: within 2 a channel.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { useSite, openPage, waitFor } from './page_session.mjs';
import { decodePng } from './png.mjs';

const kProbe = process.env.MORVANE_PROBE ||
  path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../build/web/probe');

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
