// The warm-up's worker: makes one WebGL context on an OffscreenCanvas of
// the window's side and attributes, gives it up, says whether it was made,
// and ends. The browser's first WebGL context waits for its GPU side to
// start; here that wait blocks this thread, not the page's, and the page's
// own context afterwards finds it started.
// Depends on: page.js, which starts it with the side and the attributes.
// Cannot: hand its context to the page (a context stays on its thread).
'use strict';

self.addEventListener('message', (e) => {
  const {side, attributes} = e.data;
  let made = false;
  try {
    const gl = new OffscreenCanvas(side, side).getContext('webgl', attributes);
    made = gl !== null;
    const lose = gl && gl.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();  // now, not when the worker is collected
  } catch (error) {
    // No WebGL on an OffscreenCanvas in this browser: the page asks itself.
  }
  self.postMessage(made);
  self.close();
});
