// Drives the served site in headless Chromium as a user would, for
// scripts/run --web and for the figures in docs/performance.md.
//
//   node drive_page.mjs screenshot URL OUT.png   notice closed, model turning
//   node drive_page.mjs measure URL SECONDS      load times, fps, memory, sizes
import { launchBrowser, openPage, waitFor } from './page_session.mjs';

const [mode, url, argument] = process.argv.slice(2);

// The viewport that gives the 819-pixel window X11 gets on a 1280x1024 screen.
const kViewport = { width: 1280, height: 1024 };

// Watches, from before the page's scripts run, how long the page's main
// thread stays busy while a message box is open: a timer due every 5 ms
// that comes late says so, and a key pressed then waits as long.
function watchNoticeBusy() {
  window.noticeBusy = 0;
  let last = null;
  setInterval(() => {
    const now = performance.now();
    const open = document.querySelector('dialog[open]') !== null;
    if (open && last !== null) window.noticeBusy = Math.max(window.noticeBusy, now - last);
    last = open ? now : null;
  }, 5);
}

// readMs: how long the notice stays up before Return, as a user reads it.
async function startViewer(browser, readMs = 0) {
  const started = performance.now();
  const page = await openPage(browser, url, { ...kViewport, init: watchNoticeBusy });
  await waitFor(() => page.locator('dialog[open]').count(), 'the notice');
  const notice = performance.now() - started;
  // Every swap the program makes, counted from outside the program.
  await page.evaluate(() => {
    const frames = window.Module.morvanePage;
    const next = frames.nextFrame;
    window.swaps = [];
    frames.nextFrame = () => { window.swaps.push(performance.now()); return next(); };
  });
  if (readMs > 0) await new Promise((resolve) => setTimeout(resolve, readMs));
  const noticeBusy = await page.evaluate(() => window.noticeBusy);
  const pressed = performance.now();
  await page.keyboard.press('Enter');
  await waitFor(() => page.evaluate(() => window.swaps.length > 0), 'the first frame');
  return { page, notice, noticeBusy, firstFrame: performance.now() - pressed };
}

// CPU seconds so far of each kind of the browser's processes.
async function cpuSeconds(session) {
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  const byType = {};
  for (const { type, cpuTime } of processInfo) byType[type] = (byType[type] || 0) + cpuTime;
  return byType;
}

async function screenshot(out) {
  const browser = await launchBrowser();
  try {
    const { page } = await startViewer(browser);
    await waitFor(() => page.evaluate(() => window.swaps.length > 30), 'thirty frames');
    await page.screenshot({ path: out });
    await page.keyboard.press('Escape');
    await waitFor(() => page.consoleLines.includes('morvane: exit status 0'), 'the end');
    console.log(`Screenshot saved to ${out}`);
    console.log('The viewer exited with status 0.');
  } finally {
    await browser.close();
  }
}

async function measure(seconds) {
  // A user who reads the notice for a second, in a browser of its own so
  // that neither start finds the other's work done.
  const readerBrowser = await launchBrowser();
  let reader;
  try {
    reader = await startViewer(readerBrowser, 1000);
  } finally {
    await readerBrowser.close();
  }
  const browser = await launchBrowser();
  try {
    const { page, notice, firstFrame } = await startViewer(browser);
    await waitFor(() => page.evaluate(() => window.swaps.length > 10), 'ten frames');
    const processes = await browser.newBrowserCDPSession();
    const cpuBefore = await cpuSeconds(processes);
    const frames = await page.evaluate((ms) => new Promise((resolve) => {
      const from = window.swaps.length;
      setTimeout(() => resolve(window.swaps.length - from), ms);
    }), seconds * 1000);
    const cpuAfter = await cpuSeconds(processes);
    const fps = frames / seconds;
    const memory = await page.evaluate(() => ({
      heap: performance.memory ? performance.memory.usedJSHeapSize : 0,
      wasm: window.Module.HEAP8 ? window.Module.HEAP8.length : 0,
    }));
    const session = await page.context().newCDPSession(page);
    const { usedSize } = await session.send('Runtime.getHeapUsage');
    console.log(`page load to notice: ${notice.toFixed(0)} ms`);
    console.log(`Return to first frame: ${firstFrame.toFixed(0)} ms at once, ` +
                `${reader.firstFrame.toFixed(0)} ms after 1 s of notice`);
    console.log(`longest busy stretch with the notice up (1 s): ${reader.noticeBusy.toFixed(0)} ms`);
    console.log(`web fps spinning: ${fps.toFixed(1)}`);
    // Where the time goes: the page's script and wasm run in the renderer,
    // WebGL on SwiftShader in the GPU process.
    const perFrame = ['renderer', 'GPU'].map((type) =>
      `${type} ${((cpuAfter[type] - (cpuBefore[type] || 0)) * 1000 / frames).toFixed(1)} ms`);
    console.log(`CPU per frame: ${perFrame.join(', ')}`);
    console.log(`JS heap used: ${(usedSize / 1048576).toFixed(1)} MiB` +
                (memory.wasm ? `, wasm heap: ${(memory.wasm / 1048576).toFixed(1)} MiB` : ''));
  } finally {
    await browser.close();
  }
}

if (mode === 'screenshot') await screenshot(argument);
else if (mode === 'measure') await measure(Number(argument || 5));
else {
  console.error('usage: drive_page.mjs screenshot URL OUT.png | measure URL SECONDS');
  process.exit(2);
}
