// A served site and a headless Chromium page on it, for the web tests and
// scripts/run --web. The site is served on 127.0.0.1 only, with the strict
// Content-Security-Policy a host may use, so any inline script or style
// would fail here.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { before, after } from 'node:test';
import { chromium } from 'playwright-core';

export const kPolicy = "default-src 'self'; script-src 'self' 'wasm-unsafe-eval'";

const kTypes = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.png': 'image/png',
};

// Serves dir on 127.0.0.1:port (0: any free port); resolves to its address.
export function serveSite(dir, port = 0) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = path.join(dir, name === '/' ? 'index.html' : name);
    if (!file.startsWith(dir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, {
      'Content-Type': kTypes[path.extname(file)] || 'application/octet-stream',
      'Content-Security-Policy': kPolicy,
      'Cache-Control': 'no-store',
    });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(port, '127.0.0.1', () => {
      resolve({ server, url: `http://127.0.0.1:${server.address().port}/` });
    });
  });
}

// WebGL on SwiftShader, as a machine without a GPU has it; webgl: false
// takes WebGL away altogether.
export async function launchBrowser({ webgl = true } = {}) {
  const args = webgl
    ? ['--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist']
    : ['--disable-webgl', '--disable-3d-apis'];
  return chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args });
}

// A page of the given CSS viewport and device pixel ratio, whose console
// lines are kept in page.consoleLines; init, when given, runs in the page
// before its own scripts (to watch it from outside).
export async function openPage(browser, url, { width = 800, height = 600, scale = 1, init } = {}) {
  const context = await browser.newContext({
    viewport: { width, height }, deviceScaleFactor: scale,
  });
  if (init) await context.addInitScript(init);
  const page = await context.newPage();
  page.consoleLines = [];
  page.on('console', (message) => page.consoleLines.push(message.text()));
  page.on('pageerror', (error) => page.consoleLines.push('page error: ' + error.message));
  await page.goto(url);
  return page;
}

// Resolves once check() is truthy; fails after the deadline with what.
export async function waitFor(check, what, timeoutMs = 15000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > deadline) throw new Error('timed out waiting for ' + what);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// For a test file: the site served and a browser launched before its tests,
// both closed after them. The returned record fills in when they start.
export function useSite(dir) {
  const session = { url: null, browser: null };
  let served = null;
  before(async () => {
    served = await serveSite(dir);
    session.url = served.url;
    session.browser = await launchBrowser();
  });
  after(async () => {
    await session.browser?.close();
    served?.server.close();
  });
  return session;
}
