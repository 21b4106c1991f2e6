// The web build in Debian's headless Chromium (WebGL on SwiftShader),
// driven only through what a user has: keys, the mouse, screenshots and
// the page's text.
import { test, describe } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { useSite, launchBrowser, openPage, waitFor } from './page_session.mjs';
import { decodePng } from './png.mjs';

const kSite = process.env.MORVANE_SITE ||
  path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../build/web/site');
const kBackground = [38, 38, 38];
const kFogBackground = [51, 38, 38];
const kNotice = ' mouse: touch the window image for movement----- ';

const site = useSite(kSite);

function near(actual, expected, tolerance = 2) {
  return actual.every((value, i) => Math.abs(value - expected[i]) <= tolerance);
}

async function shot(page) {
  return decodePng(await page.locator('canvas').screenshot());
}

// Pixels that are not the given background: the model's share of the picture.
function modelPixels(image, background) {
  let count = 0;
  for (let y = 0; y < image.height; y += 2) {
    for (let x = 0; x < image.width; x += 2) {
      if (!near(image.rgb(x, y), background, 6)) ++count;
    }
  }
  return count;
}

function samePicture(a, b) {
  for (let y = 0; y < a.height; y += 3) {
    for (let x = 0; x < a.width; x += 3) {
      if (!near(a.rgb(x, y), b.rgb(x, y), 0)) return false;
    }
  }
  return true;
}

async function noticeText(page) {
  await waitFor(() => page.locator('dialog[open]').count(), 'a message box');
  return {
    caption: await page.locator('dialog[open] h2').textContent(),
    text: await page.locator('dialog[open] p').textContent(),
    focused: await page.evaluate(() => document.activeElement.textContent),
  };
}

// Runs in the page before its scripts: every getContext call, with where
// its canvas was, whether a box was open and when, in window.contextCalls;
// and whether a box was open at each WebGL draw, in window.drawsBoxOpen.
function watchContexts() {
  window.contextCalls = [];
  window.drawsBoxOpen = [];
  const boxOpen = () => document.querySelector('dialog[open]') !== null;
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
    const context = getContext.call(this, type, ...rest);
    window.contextCalls.push({
      canvas: this, type, made: context !== null, inPage: this.isConnected, side: this.width,
      boxOpen: boxOpen(), at: performance.now(),
    });
    return context;
  };
  const drawArrays = WebGLRenderingContext.prototype.drawArrays;
  WebGLRenderingContext.prototype.drawArrays = function (...args) {
    window.drawsBoxOpen.push(boxOpen());
    return drawArrays.apply(this, args);
  };
}

// Runs in the page before its scripts: each worker the page starts, with
// its script and when and what it answered first, in window.workers.
function watchWorkers() {
  window.workers = [];
  const PageWorker = window.Worker;
  window.Worker = function (url, options) {
    const worker = new PageWorker(url, options);
    const record = { url: String(url), answer: null, at: null };
    window.workers.push(record);
    worker.addEventListener('message', (e) => {
      if (record.at === null) Object.assign(record, { answer: e.data, at: performance.now() });
    });
    return worker;
  };
}

// Runs in the page before its scripts: once the warm-up has its context,
// animation frames asked for while the notice is open wait until
// window.releaseFrames(), so the warm-up stops between its steps.
function holdFramesAfterTheContext() {
  const requestFrame = window.requestAnimationFrame.bind(window);
  const held = [];
  let released = false;
  window.releaseFrames = () => {
    released = true;
    held.splice(0).forEach((waiting) => requestFrame(waiting));
  };
  window.requestAnimationFrame = (callback) => {
    const warming = window.contextCalls.length > 0 && document.querySelector('dialog[open]');
    if (warming && !released) {
      held.push(callback);
      return 0;
    }
    return requestFrame(callback);
  };
}

// Runs in the page before its scripts: animation frames asked for before
// the window's canvas is in the page wait for its first swap, so the
// warm-up (which waits for the notice's first paint) cannot run before
// Return.
function holdFramesUntilTheWindow() {
  const requestFrame = window.requestAnimationFrame.bind(window);
  const held = [];
  window.requestAnimationFrame = (callback) => {
    if (!document.querySelector('canvas')) {
      held.push(callback);
      return 0;
    }
    held.splice(0).forEach((waiting) => requestFrame(waiting));
    return requestFrame(callback);
  };
}

// The calls so far, each with whether its canvas is the one now shown.
function contextCalls(page) {
  return page.evaluate(() => {
    const shown = document.querySelector('canvas');
    return window.contextCalls.map(({ canvas, ...call }) => ({ ...call, shown: canvas === shown }));
  });
}

// What a test compares of a call: where it was made, and whether it is shown.
function placeOf({ type, made, inPage, boxOpen, shown }) {
  return { type, made, inPage, boxOpen, shown };
}

async function waitForWarmUp(page) {
  return waitFor(async () => {
    const calls = await contextCalls(page);
    return calls.length > 0 ? calls : null;
  }, 'the warm-up to ask for a context');
}

// The page with the notice closed by Return and the first frame shown;
// afterWarmUp: Return only once the context was made behind the notice.
async function startViewer({ afterWarmUp = false, ...options } = {}) {
  const page = await openPage(site.browser, site.url, { ...options, init: watchContexts });
  await noticeText(page);
  if (afterWarmUp) await waitForWarmUp(page);
  await page.keyboard.press('Enter');
  await waitFor(() => page.locator('canvas:visible').count(), 'the canvas');
  await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
  return page;
}

async function waitForNewPicture(page, previous, what) {
  return waitFor(async () => {
    const image = await shot(page);
    return samePicture(image, previous) ? null : image;
  }, what);
}

// Two screenshots in a row the same: nothing is drawing any more.
async function waitForStill(page) {
  let previous = await shot(page);
  return waitFor(async () => {
    const image = await shot(page);
    const still = samePicture(image, previous);
    previous = image;
    return still ? image : null;
  }, 'the picture to stop changing');
}

async function canvasCentre(page) {
  const box = await page.locator('canvas').boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2, box };
}

// Drags along a line above the centre (so the last moves still turn the
// model) out of the canvas to the left, and releases while moving.
async function flingLeftOut(page) {
  const { x, y, box } = await canvasCentre(page);
  const top = y - box.height / 3;
  await page.mouse.move(x, top);
  await page.mouse.down();
  for (let step = 1; step <= 12; ++step) {
    await page.mouse.move(x - step * 30, top);
  }
  assert.ok(x - 12 * 30 < box.x, 'the drag ended left of the canvas');
  await page.mouse.up();
}

describe('start', () => {
  test('the notice comes first, modal, with its caption, text and a focused OK', async () => {
    const page = await openPage(site.browser, site.url);
    const notice = await noticeText(page);
    assert.equal(notice.caption, 'Morvane 1.0');
    assert.equal(notice.text, kNotice);
    assert.equal(notice.focused, 'OK');
    assert.equal(await page.locator('canvas').count(), 0);
    assert.equal(await page.title(), 'Morvane viewer');
    await page.keyboard.press('Enter');
    await waitFor(() => page.locator('canvas:visible').count(), 'the canvas after Return');
    // The caption, ' Morvane', as the document's title shows it.
    assert.equal(await page.title(), 'Morvane');
    await page.close();
  });

  test('Space and Esc close the notice as OK does; Tab leaves the focus on OK', async () => {
    for (const keys of [['Space'], ['Escape'], ['Tab', 'Shift+Tab', 'Tab', 'Enter']]) {
      const page = await openPage(site.browser, site.url);
      await noticeText(page);
      for (const key of keys) await page.keyboard.press(key);
      const key = keys.join(', ');
      await waitFor(() => page.locator('canvas:visible').count(), 'the canvas after ' + key);
      // The key that closed the box did not reach the viewer: Esc would end it.
      assert.equal(await page.locator('dialog[open]').count(), 0);
      await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
      await page.close();
    }
  });

  test('the window is square, 0.8 x the viewport height in device pixels', async () => {
    const sizes = [];
    for (const scale of [1, 2]) {
      const page = await startViewer({ width: 800, height: 600, scale });
      sizes.push(await page.evaluate(() => {
        const canvas = document.querySelector('canvas');
        const box = canvas.getBoundingClientRect();
        return [canvas.width, canvas.height, box.width, box.height];
      }));
      await page.close();
    }
    assert.deepEqual(sizes[0], [480, 480, 480, 480]);
    // Crisp on HiDPI: twice the backing store, the same CSS size.
    assert.deepEqual(sizes[1], [960, 960, 480, 480]);
  });
});

describe('getting ready behind the notice', () => {
  test('a worker makes and drops the first context; then the page makes its one, out of the page',
    async () => {
      const init = `(${watchContexts})(); (${watchWorkers})();`;
      const page = await openPage(site.browser, site.url, { init });
      await noticeText(page);
      const [warm, ...more] = await waitForWarmUp(page);
      assert.deepEqual(more, []);
      assert.deepEqual({ ...warm, shown: undefined, at: undefined },
        { type: 'webgl', made: true, inPage: false, side: 480, boxOpen: true, shown: undefined,
          at: undefined });
      const workers = await page.evaluate(() => window.workers);
      assert.deepEqual(workers.map(({ url, answer }) => ({ url, answer })),
        [{ url: 'webgl_warm.js', answer: true }]);
      assert.ok(workers[0].at < warm.at, 'the worker had its context before the page asked');
      await waitFor(() => page.workers().length === 0, 'the worker to end');
      await waitFor(() => page.evaluate(() => window.drawsBoxOpen.length > 0), 'the warm-up draws');
      assert.equal(await page.locator('canvas').count(), 0, 'nothing shows before OK');
      assert.equal(await page.locator('dialog[open]').count(), 1, 'the notice alone');
      await page.keyboard.press('Enter');
      await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
      const calls = await contextCalls(page);
      assert.equal(calls.length, 1, 'no second context, not even a probe');
      assert.ok(calls[0].shown, 'the window shows the prepared canvas');
      await page.close();
    });

  test('Return between the warm-up\'s steps closes the notice; the window finishes them', async () => {
    const init = `(${watchContexts})(); (${holdFramesAfterTheContext})();`;
    const page = await openPage(site.browser, site.url, { init });
    await noticeText(page);
    await waitForWarmUp(page);
    await page.keyboard.press('Shift');  // a key the notice ignores, answered mid-way
    assert.deepEqual(await page.evaluate(() => window.drawsBoxOpen), [], 'held before its draws');
    await page.keyboard.press('Enter');
    await waitFor(async () => !await page.locator('dialog[open]').count(), 'the notice to close');
    const first = await waitFor(async () => {
      const picture = await shot(page);
      return modelPixels(picture, kBackground) > 100 ? picture : null;
    }, 'the model');
    // The warm-up's frame held from before Return, let go now, finds nothing left to do.
    await page.evaluate(() => window.releaseFrames());
    await waitForNewPicture(page, first, 'the model to turn');
    assert.deepEqual((await contextCalls(page)).map(placeOf),
      [{ type: 'webgl', made: true, inPage: false, boxOpen: true, shown: true }]);
    assert.deepEqual(await page.evaluate(() => window.drawsBoxOpen.includes(true)), false,
      'nothing drawn behind the notice: the window drew the rest');
    assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    await page.close();
  });

  test('keys between the warm-up\'s steps: it goes on, draws behind the notice, and is taken',
    async () => {
      const init = `(${watchContexts})(); (${holdFramesAfterTheContext})();`;
      const page = await openPage(site.browser, site.url, { init });
      await noticeText(page);
      await waitForWarmUp(page);
      for (const key of ['Shift', 'a', 'F1']) await page.keyboard.press(key);
      await page.evaluate(() => window.releaseFrames());
      await waitFor(() => page.evaluate(() => window.drawsBoxOpen.length > 0), 'the warm-up draws');
      assert.equal((await noticeText(page)).caption, 'Morvane 1.0', 'the notice is still up');
      await page.keyboard.press('Enter');
      await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
      const draws = await page.evaluate(() => window.drawsBoxOpen);
      assert.ok(draws.indexOf(false) > 0, 'the window draws after the warm-up did');
      assert.deepEqual((await contextCalls(page)).map(placeOf),
        [{ type: 'webgl', made: true, inPage: false, boxOpen: true, shown: true }]);
      await page.close();
    });

  test('without workers the page makes the context behind the notice itself', async () => {
    const init = `window.Worker = undefined; (${watchContexts})();`;
    const page = await openPage(site.browser, site.url, { init });
    await noticeText(page);
    await waitForWarmUp(page);
    await waitFor(() => page.evaluate(() => window.drawsBoxOpen.length > 0), 'the warm-up draws');
    await page.keyboard.press('Enter');
    await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
    assert.deepEqual((await contextCalls(page)).map(placeOf),
      [{ type: 'webgl', made: true, inPage: false, boxOpen: true, shown: true }]);
    assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    await page.close();
  });

  test('Return before the warm-up ran: it runs then, and the picture is right', async () => {
    const init = `(${watchContexts})(); (${watchWorkers})(); (${holdFramesUntilTheWindow})();`;
    const page = await openPage(site.browser, site.url, { init });
    await noticeText(page);
    assert.deepEqual(await contextCalls(page), []);
    await page.keyboard.press('Enter');
    await waitFor(() => page.locator('canvas:visible').count(), 'the canvas');
    const image = await waitFor(async () => {
      const picture = await shot(page);
      return modelPixels(picture, kBackground) > 100 ? picture : null;
    }, 'the model');
    // The warm-up's own triangles are gone: the corners are background.
    for (const [x, y] of [[2, 2], [image.width - 3, 2], [2, image.height - 3]]) {
      assert.ok(near(image.rgb(x, y), kBackground), `(${x}, ${y}): ${image.rgb(x, y)}`);
    }
    assert.deepEqual((await contextCalls(page)).map(placeOf),
      [{ type: 'webgl', made: true, inPage: false, boxOpen: false, shown: true }]);
    assert.deepEqual(await page.evaluate(() => {
      const canvas = document.querySelector('canvas');
      return [canvas.width, canvas.height];
    }), [480, 480]);
    await page.keyboard.press('f');
    await waitFor(async () => near((await shot(page)).rgb(2, 2), kFogBackground), 'fog');
    // The warm-up's frame, held till the window's, found it done: no worker for it.
    assert.deepEqual(await page.evaluate(() => window.workers), []);
    await page.close();
  });
});

describe('drawing', () => {
  test('it turns from the first frame, on the dark background', async () => {
    const page = await startViewer();
    const first = await shot(page);
    assert.ok(near(first.rgb(2, 2), kBackground), `background ${first.rgb(2, 2)}`);
    assert.ok(near(first.rgb(first.width - 3, first.height - 3), kBackground));
    await waitForNewPicture(page, first, 'the model to turn');
    await page.close();
  });

  test('f fogs and clears to the fog colour; F does nothing; f again undoes it', async () => {
    const page = await startViewer();
    await page.keyboard.press('Shift+F');
    await page.keyboard.press('f');
    await waitFor(async () => near((await shot(page)).rgb(2, 2), kFogBackground), 'fog');
    await page.keyboard.press('f');
    await waitFor(async () => near((await shot(page)).rgb(2, 2), kBackground), 'no fog');
    await page.close();
  });

  test('p draws the wire frame: far fewer model pixels, and back again', async () => {
    const page = await startViewer();
    const { x, y } = await canvasCentre(page);
    await page.mouse.click(x, y);  // stopped, so the pictures compare
    const filled = modelPixels(await waitForStill(page), kBackground);
    await page.keyboard.press('p');
    const wire = await waitFor(async () => {
      const count = modelPixels(await shot(page), kBackground);
      return count < filled * 0.8 ? count : null;
    }, 'the wire frame');
    assert.ok(wire > filled * 0.1, `the wire frame still shows the model (${wire} of ${filled})`);
    await page.keyboard.press('p');
    await waitFor(async () => modelPixels(await shot(page), kBackground) === filled, 'filled');
    await page.close();
  });
});

describe('mouse', () => {
  test('a click stops it and no frames come after; a fling spins it again', async () => {
    const page = await startViewer();
    const { x, y } = await canvasCentre(page);
    await page.mouse.click(x, y);
    const stopped = await waitForStill(page);
    // A second of pictures: all the same.
    const until = Date.now() + 1000;
    while (Date.now() < until) {
      assert.ok(samePicture(await shot(page), stopped), 'a frame after the click-stop');
    }
    // A drag that leaves the canvas keeps reporting; released while moving
    // it leaves the model spinning.
    await flingLeftOut(page);
    const moved = await waitForNewPicture(page, stopped, 'the drag to turn the model');
    await waitForNewPicture(page, moved, 'the fling to keep it spinning');
    await page.close();
  });
});

describe('a lost WebGL context', () => {
  test('comes back with the same picture, fog and wire frame kept, and turns again', async () => {
    // On the canvas the warm-up prepared, which the window took.
    const page = await startViewer({ afterWarmUp: true });
    const { x, y } = await canvasCentre(page);
    await page.mouse.click(x, y);
    await page.keyboard.press('f');
    await page.keyboard.press('p');
    await waitFor(async () => near((await shot(page)).rgb(2, 2), kFogBackground), 'fog');
    const before = await waitForStill(page);
    // The browser's own extension, taken from outside the program.
    await page.evaluate(() => new Promise((resolve) => {
      const canvas = document.querySelector('canvas');
      canvas.addEventListener('webglcontextlost', resolve, { once: true });
      window.testLoseContext = canvas.getContext('webgl').getExtension('WEBGL_lose_context');
      window.testLoseContext.loseContext();
    }));
    await waitFor(async () => !samePicture(await shot(page), before), 'the picture to go');
    // Frames asked for while it is lost: p twice leaves the wire frame on.
    await page.keyboard.press('p');
    await page.keyboard.press('p');
    await page.evaluate(() => window.testLoseContext.restoreContext());
    await waitFor(async () => samePicture(await shot(page), before), 'the same picture again');
    await flingLeftOut(page);
    const moved = await waitForNewPicture(page, before, 'the drag to turn the model');
    const turned = await waitForNewPicture(page, moved, 'the fling to keep it spinning');
    assert.ok(near(turned.rgb(2, 2), kFogBackground), `background ${turned.rgb(2, 2)}`);
    assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    await page.close();
  });
});

describe('a WebGL context lost behind the notice', () => {
  test('between the warm-up\'s steps: the window takes it, and draws once it is back', async () => {
    const init = `(${watchContexts})(); (${holdFramesAfterTheContext})();`;
    const page = await openPage(site.browser, site.url, { init });
    await noticeText(page);
    await waitForWarmUp(page);
    await page.evaluate(() => new Promise((resolve) => {
      const canvas = window.contextCalls[0].canvas;
      canvas.addEventListener('webglcontextlost', resolve, { once: true });
      window.testLoseContext = canvas.getContext('webgl').getExtension('WEBGL_lose_context');
      window.testLoseContext.loseContext();
    }));
    await page.evaluate(() => window.releaseFrames());  // the rest of the steps, on a lost context
    await page.keyboard.press('Enter');
    await waitFor(() => page.locator('canvas:visible').count(), 'the canvas');
    await page.evaluate(() => window.testLoseContext.restoreContext());
    await waitFor(async () => modelPixels(await shot(page), kBackground) > 100, 'the model');
    assert.equal(page.consoleLines.some((l) => l.includes('exit status')), false, 'still running');
    assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    await page.close();
  });
});

describe('the end', () => {
  test('Esc removes the canvas, logs status 0 and leaves one line', async () => {
    const page = await startViewer();
    await page.keyboard.press('Escape');
    await waitFor(() => page.consoleLines.includes('morvane: exit status 0'), 'status 0');
    assert.equal(await page.locator('canvas').count(), 0);
    const line = await page.locator('#ended').textContent();
    assert.match(line, /ended.*[Rr]eload/);
    assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    await page.close();
  });

  test('without WebGL: the Error box, then status 1', async () => {
    const noWebgl = await launchBrowser({ webgl: false });
    try {
      const init = `(${watchContexts})(); (${watchWorkers})();`;
      const page = await openPage(noWebgl, site.url, { init });
      await noticeText(page);
      // Found behind the notice, told only after it. (Chromium's switches
      // leave OffscreenCanvas in a worker its WebGL: the page's answer rules.)
      const [tried] = await waitForWarmUp(page);
      assert.equal(tried.made, false);
      assert.equal(await page.evaluate(() => window.workers.length), 1);
      await waitFor(() => page.workers().length === 0, 'the worker to end');
      assert.equal(await page.locator('dialog[open]').count(), 1);
      assert.equal((await noticeText(page)).caption, 'Morvane 1.0');
      await page.keyboard.press('Enter');
      const box = await waitFor(async () => {
        const shown = await noticeText(page);
        return shown.caption === 'Error' ? shown : null;
      }, 'the error box');
      assert.equal(box.text, 'ChoosePixelFormat failed\n');
      assert.equal(box.focused, 'OK');
      await page.keyboard.press('Enter');
      await waitFor(() => page.consoleLines.includes('morvane: exit status 1'), 'status 1');
      assert.deepEqual(page.consoleLines.filter((l) => l.startsWith('page error')), []);
    } finally {
      await noWebgl.close();
    }
  });
});
