// Drives the served site in headless Chromium as a user would, for
// scripts/run --web and for the figures in docs/performance.md.
//
//   node drive_page.mjs screenshot URL OUT.png   notice closed, model turning
//   node drive_page.mjs measure URL SECONDS      load times, fps, memory, sizes
//   node drive_page.mjs notice URL               the notice's answers during the warm-up
import { launchBrowser, openPage, waitFor } from './page_session.mjs';

const [mode, url, argument] = process.argv.slice(2);

// The viewport that gives the 819-pixel window X11 gets on a 1280x1024 screen.
const kViewport = { width: 1280, height: 1024 };

// Runs in the page before its scripts, for 'notice': the page's long tasks
// (50 ms or more), a 4 ms timer's late ticks (shorter blocks, from when the
// page's scripts start), each key's wait from its dispatch to its handler and,
// from Event Timing, to the next paint (when 16 ms or more), the notice's
// first paint, the page's getContext calls, each WebGL call of 4 ms or
// more, and when the warm-up's draws were flushed.
function watchNotice() {
  const seen = {
    longTasks: [], lateTicks: [], keys: [], paints: [], contexts: [], slowCalls: [],
    painted: null, opened: null, warmedAt: null,
  };
  window.noticeWatch = seen;
  const observe = (type, take, options = {}) => new PerformanceObserver((list) => {
    list.getEntries().forEach(take);
  }).observe({ type, buffered: true, ...options });
  observe('longtask', (e) => seen.longTasks.push([e.startTime, e.duration]));
  observe('paint', (e) => {
    if (e.name === 'first-contentful-paint') seen.painted = e.startTime;
  });
  observe('event', (e) => {
    if (e.name === 'keydown') seen.paints.push([e.startTime, e.duration]);
  }, { durationThreshold: 16 });
  let tick = null;
  setInterval(() => {
    const now = performance.now();
    if (tick !== null && now - tick > 8) seen.lateTicks.push([tick, now - tick]);
    tick = now;
  }, 4);
  window.addEventListener('keydown', (e) => {
    seen.keys.push([e.timeStamp, performance.now() - e.timeStamp]);
  }, true);
  new MutationObserver(() => {
    if (seen.opened === null && document.querySelector('dialog[open]')) {
      seen.opened = performance.now();
    }
  }).observe(document, { subtree: true, childList: true, attributes: true });
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (...args) {
    const start = performance.now();
    const context = getContext.apply(this, args);
    seen.contexts.push([start, performance.now() - start]);
    return context;
  };
  let drawn = false;
  const gl = WebGLRenderingContext.prototype;
  for (const name of Object.getOwnPropertyNames(gl)) {
    const call = Object.getOwnPropertyDescriptor(gl, name).value;
    if (typeof call !== 'function' || name === 'constructor') continue;
    gl[name] = function (...args) {
      const start = performance.now();
      const result = call.apply(this, args);
      const ms = performance.now() - start;
      if (ms >= 4) seen.slowCalls.push([name, start, ms]);
      if (name === 'drawArrays') drawn = true;
      if (name === 'flush' && drawn && seen.warmedAt === null) seen.warmedAt = start + ms;
      return result;
    };
  }
}

// Ms of the longest stretch of the tasks that lies after from.
function longestAfter(tasks, from) {
  return tasks.reduce((most, [start, ms]) => Math.max(most, start + ms - Math.max(start, from)), 0);
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[sorted.length >> 1] : NaN;
}

// Loads the page and presses Shift (which the notice ignores) every 10 ms
// until the warm-up has drawn and the notice was painted, then says how
// long the page kept the notice from answering. Times are from the page's
// navigation.
async function notice() {
  const browser = await launchBrowser();
  try {
    const context = await browser.newContext({ viewport: kViewport });
    await context.addInitScript(watchNotice);
    const page = await context.newPage();
    await page.goto(url, { waitUntil: 'commit' });
    const deadline = Date.now() + 30000;
    // The warm-up may end before the browser reports the notice's paint.
    const over = () => page.evaluate(() => {
      const seen = window.noticeWatch;
      return seen.warmedAt !== null && seen.painted !== null;
    });
    while (!await over()) {
      if (Date.now() > deadline) throw new Error('timed out waiting for the warm-up');
      await page.keyboard.press('Shift');
      await new Promise((resolve) => setTimeout(resolve, 10));
    }
    const seen = await page.evaluate(() => window.noticeWatch);
    const shown = seen.painted;
    const ms = (value) => `${value.toFixed(0)} ms`;
    const keys = seen.keys.filter(([at]) => at >= shown).map(([, wait]) => wait);
    const paints = seen.paints.filter(([at]) => at >= shown).map(([, wait]) => wait);
    const [contextAt, contextMs] = seen.contexts[0] || [NaN, NaN];
    const slowest = seen.slowCalls.sort((a, b) => b[2] - a[2]).slice(0, 3)
      .map(([name, , took]) => `${name} ${ms(took)}`).join(', ') || 'none';
    console.log(`notice in the page at ${ms(seen.opened)}, painted at ${ms(shown)}`);
    console.log('longest block of the page with the notice painted: ' +
                `${ms(longestAfter(seen.longTasks, shown))} long task, ` +
                `${ms(longestAfter(seen.lateTicks, shown))} between timer ticks; ` +
                `from the notice in the page: ${ms(longestAfter(seen.longTasks, seen.opened))}, ` +
                ms(longestAfter(seen.lateTicks, seen.opened)));
    console.log(`keys with the notice painted: ${keys.length}, dispatch to handler ` +
                `${ms(median(keys))} median, ${ms(Math.max(0, ...keys))} most; to the next paint ` +
                (paints.length ? ms(Math.max(...paints)) : 'under 16 ms') + ' most');
    console.log(`warm-up: getContext at ${ms(contextAt)} took ${ms(contextMs)}; ` +
                `slowest other WebGL calls: ${slowest}; drawn at ${ms(seen.warmedAt)} ` +
                `(the notice's paint + ${ms(seen.warmedAt - shown)})`);
  } finally {
    await browser.close();
  }
}

// readMs: how long the notice stays up before Return, as a user reads it.
async function startViewer(browser, readMs = 0) {
  const started = performance.now();
  const page = await openPage(browser, url, kViewport);
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
  const pressed = performance.now();
  await page.keyboard.press('Enter');
  await waitFor(() => page.evaluate(() => window.swaps.length > 0), 'the first frame');
  return { page, notice, firstFrame: performance.now() - pressed };
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
else if (mode === 'notice') await notice();
else {
  console.error('usage: drive_page.mjs screenshot URL OUT.png | measure URL SECONDS | notice URL');
  process.exit(2);
}
