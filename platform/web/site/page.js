// The page side of the web backend: DOM events wait in a queue here until
// the program takes them, the canvas is made and shown here (the one the
// warm-up prepared out of the page, when there is one), the warm-up's
// worker is started here, and the message boxes are modal HTML dialogs.
// Nothing here calls into the module; the program's waits resolve promises
// made here.
'use strict';

(function () {
  const events = [];
  let wake = null;  // resolves the program's wait for an event
  let canvas = null;
  let prepared = null;  // made for the warm-up, not yet the window's
  let pointerId = null;  // the pointer now pressed on the canvas

  function push(event) {
    event.time = Math.round(performance.now());
    events.push(event);
    if (wake) {
      const resolve = wake;
      wake = null;
      resolve();
    }
  }

  // Client coordinates in device pixels; negative left of or above.
  function pointerEvent(kind, e) {
    const box = canvas.getBoundingClientRect();
    const scale = window.devicePixelRatio;
    push({kind, x: Math.round((e.clientX - box.left) * scale),
          y: Math.round((e.clientY - box.top) * scale), buttons: e.buttons});
  }

  function dialogOpen() {
    return document.querySelector('dialog[open]') !== null;
  }

  function onKeyDown(e) {
    if (dialogOpen() || e.ctrlKey || e.metaKey || e.altKey || !canvas) return;
    // Typing keys are the viewer's; the browser keeps F5, Tab and the like.
    if (e.key.length === 1 || e.key === 'Escape' || e.key === 'Enter' || e.key === 'Backspace') {
      e.preventDefault();
    }
    push({kind: 4, key: e.key});
  }

  // The warm-up's canvas: out of the page until the window takes it.
  function prepareCanvas(side) {
    prepared = document.createElement('canvas');
    prepared.width = side;
    prepared.height = side;
    return prepared;
  }

  // A WebGL context made and dropped in a worker, for the browser's first
  // context's long wait (its GPU side starting) to block that worker, not
  // the notice. Resolves once it is done or cannot be done there; the
  // page's own context still answers whether there is WebGL.
  function warmGpu(side) {
    return new Promise((resolve) => {
      let worker;
      try {
        worker = new Worker('webgl_warm.js');
      } catch (error) {
        resolve();  // no workers here: the page waits itself
        return;
      }
      const done = () => {
        worker.terminate();
        resolve();
      };
      worker.addEventListener('message', done);
      worker.addEventListener('error', done);
      worker.postMessage({side, attributes: window.Module.morvaneContextAttributes});
    });
  }

  // A context on a canvas nobody will show is given up now, not at
  // garbage collection.
  function dropPrepared() {
    const context = prepared && prepared.getContext('webgl', window.Module.morvaneContextAttributes);
    const lose = context && context.getExtension('WEBGL_lose_context');
    if (lose) lose.loseContext();
    prepared = null;
  }

  // The window's canvas is the prepared one when there is one; resizing
  // keeps its context (only a wrong guess of the side costs a new buffer).
  function createCanvas(id, side, title) {
    canvas = prepared || document.createElement('canvas');
    prepared = null;
    canvas.id = id;
    if (canvas.width !== side) canvas.width = side;
    if (canvas.height !== side) canvas.height = side;
    const cssSide = side / window.devicePixelRatio;
    canvas.style.width = cssSide + 'px';
    canvas.style.height = cssSide + 'px';
    canvas.hidden = true;
    canvas.setAttribute('aria-label', title);
    canvas.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return;
      pointerId = e.pointerId;
      pointerEvent(1, e);
    });
    canvas.addEventListener('pointermove', (e) => pointerEvent(2, e));
    canvas.addEventListener('pointerup', (e) => {
      if (e.button !== 0) return;
      pointerId = null;
      pointerEvent(3, e);
    });
    canvas.addEventListener('contextmenu', (e) => e.preventDefault());
    // A restored WebGL context is blank: the program owes a picture. Asked
    // for once the event is over, after the GL layer has set itself up again.
    canvas.addEventListener('webglcontextrestored', () => setTimeout(() => push({kind: 5})));
    document.title = title;
    document.getElementById('viewer').append(canvas);
  }

  function removeCanvas() {
    if (canvas) canvas.remove();
    canvas = null;
    dropPrepared();
  }

  function capturePointer() {
    if (!canvas || pointerId === null) return false;
    try {
      canvas.setPointerCapture(pointerId);
      return true;
    } catch (error) {
      return false;  // the pointer went up before the program asked
    }
  }

  function releasePointer() {
    if (canvas && pointerId !== null && canvas.hasPointerCapture(pointerId)) {
      canvas.releasePointerCapture(pointerId);
    }
  }

  function nextEvent() {
    if (events.length > 0) return Promise.resolve();
    return new Promise((resolve) => { wake = resolve; });
  }

  function nextFrame() {
    return new Promise((resolve) => requestAnimationFrame(() => resolve()));
  }

  // Modal in the page; Return, Space and Esc close it as OK does.
  function messageBox(text, caption) {
    const dialog = document.createElement('dialog');
    dialog.className = 'message-box';
    const heading = document.createElement('h2');
    heading.id = 'message-box-caption';
    heading.textContent = caption;
    const body = document.createElement('p');
    body.id = 'message-box-text';
    body.textContent = text;
    const ok = document.createElement('button');
    ok.type = 'button';
    ok.textContent = 'OK';
    dialog.setAttribute('aria-labelledby', heading.id);
    dialog.setAttribute('aria-describedby', body.id);
    dialog.append(heading, body, ok);
    ok.addEventListener('click', () => dialog.close());
    dialog.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ' || e.key === 'Escape') {
        e.preventDefault();
        e.stopPropagation();
        dialog.close();
      } else if (e.key === 'Tab') {
        e.preventDefault();  // one button: the focus stays on it, or Return would find none
      }
    });
    document.body.append(dialog);
    return new Promise((resolve) => {
      dialog.addEventListener('close', () => {
        dialog.remove();
        resolve();
      });
      dialog.showModal();
      ok.focus();
    });
  }

  function onExit(status) {
    removeCanvas();
    console.log('morvane: exit status ' + status);
    const line = document.getElementById('ended');
    line.textContent = 'The viewer has ended (status ' + status + '). Reload the page to start it again.';
    line.hidden = false;
  }

  // exit() unwinds the program with an ExitStatus; resumed from a promise,
  // that surfaces as a rejection. It is how the program ends, not a fault.
  window.addEventListener('unhandledrejection', (e) => {
    if (e.reason && e.reason.name === 'ExitStatus') e.preventDefault();
  });

  document.addEventListener('keydown', onKeyDown);
  document.addEventListener('visibilitychange', () => {
    if (!document.hidden) push({kind: 5});
  });

  window.Module = {
    morvanePage: {events, warmGpu, prepareCanvas, createCanvas, removeCanvas, capturePointer,
                  releasePointer, nextEvent, nextFrame, messageBox,
                  showCanvas: (show) => { if (canvas) canvas.hidden = !show; }},
    morvaneContextAttributes: {alpha: false, depth: true, stencil: false, antialias: false,
                               premultipliedAlpha: false, preserveDrawingBuffer: false},
    onExit,
    print: (text) => console.log(text),
    printErr: (text) => console.error(text),
  };
})();
