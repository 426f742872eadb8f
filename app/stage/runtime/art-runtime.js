// Injected at document creation into every frame of a live work, before the
// page's own scripts. Caps animation frames, freezes and thaws the page on
// command (window.__tavolune), counts script errors, raises
// window.__tavoluneRendered once the work says its first render is done, and
// tells the stage when the engine refuses the work WebGL.
(function () {
  'use strict';
  var slice = Array.prototype.slice;

  window.__tavoluneRendered = false;
  function markRendered() {
    window.__tavoluneRendered = true;
  }

  // Preview hooks of the generative platforms.
  try {
    var preview;
    var hasPreview = false;
    Object.defineProperty(window, 'fxpreview', {
      configurable: true,
      get: function () {
        if (!hasPreview) return undefined;
        return function () {
          markRendered();
          try {
            return preview.apply(this, arguments);
          } catch (e) {
            return undefined;
          }
        };
      },
      set: function (value) {
        preview = value;
        hasPreview = true;
      }
    });
    var fx;
    Object.defineProperty(window, '$fx', {
      configurable: true,
      get: function () {
        return fx;
      },
      set: function (value) {
        if (value && typeof value.preview === 'function' && !value.__tavolune) {
          var original = value.preview;
          value.preview = function () {
            markRendered();
            return original.apply(this, arguments);
          };
          value.__tavolune = true;
        }
        fx = value;
      }
    });
  } catch (e) {}

  // Dialogs never show on a desktop.
  window.alert = function () {};
  window.confirm = function () { return true; };
  window.prompt = function () { return null; };
  window.open = function () { return null; };

  // No peer-to-peer connections: they would reach hosts the network rules never see.
  ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel'].forEach(function (name) {
    if (!(name in window)) return;
    try {
      Object.defineProperty(window, name, {
        configurable: false,
        writable: false,
        value: function () { throw new Error(name + ' is not available'); }
      });
    } catch (e) {}
  });

  var savedRequestFrame = window.requestAnimationFrame.bind(window);
  var savedCancelFrame = window.cancelAnimationFrame.bind(window);
  var savedSetTimeout = window.setTimeout.bind(window);
  var savedClearTimeout = window.clearTimeout.bind(window);
  var savedSetInterval = window.setInterval.bind(window);

  var paused = false;
  var minDelta = 1000 / 30;
  var last = 0;
  var current = -1;
  var queue = [];    // [id, callback] held while paused
  var pending = [];  // [timeout id, thunk] that came due while paused
  // Our frame request id -> the native id now pending (null while queued).
  // A skipped frame re-requests natively under the same id of ours, so the
  // page's cancelAnimationFrame keeps working.
  var requests = new Map();
  var nextRequest = 1;

  function requestGated(id, cb) {
    var gate = function (t) {
      if (!requests.has(id)) return;
      if (paused) {
        requests.set(id, null);
        queue.push([id, cb]);
        return;
      }
      if (t !== current) {
        if (t - last < minDelta - 2) {
          requests.set(id, savedRequestFrame(gate));
          return;
        }
        last = t;
        current = t;
      }
      requests.delete(id);
      cb(t);
    };
    requests.set(id, savedRequestFrame(gate));
  }

  window.requestAnimationFrame = function (cb) {
    var id = nextRequest++;
    requestGated(id, cb);
    return id;
  };
  window.cancelAnimationFrame = function (id) {
    if (!requests.has(id)) return;
    var native = requests.get(id);
    requests.delete(id);
    if (native !== null) savedCancelFrame(native);
  };

  function run(fn, args) {
    if (typeof fn === 'function') fn.apply(null, args);
    else (0, eval)(String(fn));
  }

  window.setTimeout = function (fn, ms) {
    var args = slice.call(arguments, 2);
    var id = savedSetTimeout(function () {
      if (paused) pending.push([id, function () { run(fn, args); }]);
      else run(fn, args);
    }, ms);
    return id;
  };
  // A held time-out that is cleared before resume never runs.
  window.clearTimeout = function (id) {
    pending = pending.filter(function (entry) { return entry[0] !== id; });
    savedClearTimeout(id);
  };
  window.setInterval = function (fn, ms) {
    var args = slice.call(arguments, 2);
    return savedSetInterval(function () {
      if (!paused) run(fn, args);
    }, ms);
  };

  function eachMedia(selector, method) {
    var list = document.querySelectorAll(selector);
    for (var i = 0; i < list.length; i++) {
      try {
        var result = list[i][method]();
        if (result && typeof result.catch === 'function') result.catch(function () {});
      } catch (e) {}
    }
  }

  // Child frames run their own copy of this script; commands reach them by
  // message, which also crosses origins.
  function forward(command) {
    for (var i = 0; i < window.frames.length; i++) {
      try {
        window.frames[i].postMessage({ __tavolune: command }, '*');
      } catch (e) {}
    }
  }

  var api = {
    pause: function () {
      paused = true;
      eachMedia('video, audio', 'pause');
      forward(['pause']);
    },
    resume: function () {
      paused = false;
      var held = queue;
      queue = [];
      held.forEach(function (entry) {
        if (requests.has(entry[0])) requestGated(entry[0], entry[1]);
      });
      var due = pending;
      pending = [];
      due.forEach(function (entry) {
        try {
          entry[1]();
        } catch (e) {}
      });
      eachMedia('video', 'play');
      forward(['resume']);
    },
    setFPS: function (f) {
      var n = Number(f);
      minDelta = 1000 / (n >= 1 ? n : 1);
      forward(['setFPS', f]);
    },
    errors: 0
  };
  Object.defineProperty(window, '__tavolune', { value: api, writable: false, configurable: false });

  window.addEventListener('message', function (event) {
    var data = event.data;
    if (data === 'fxhash_preview' || data === 'preview' ||
        (data && typeof data === 'object' && data.id === 'fxhash_preview')) {
      markRendered();
    }
    if (data && typeof data === 'object' && Array.isArray(data.__tavolune) && window.parent !== window &&
        event.source === window.parent) {
      var name = data.__tavolune[0];
      if (name === 'pause' || name === 'resume' || name === 'backdrop') api[name]();
      else if (name === 'setFPS') api.setFPS(data.__tavolune[1]);
    }
  });
  window.addEventListener('error', function () {
    api.errors += 1;
  });

  // Where the engine refuses WebGL (no usable GPU) a work that needs it
  // shows its bare background while it seems to play. Each frame tells the
  // stage once that it was refused; the stage then judges by the page's
  // pixels, against the backdrops the frames report when asked. A canvas
  // that already holds another kind of context is refused for that reason
  // alone.
  var note = console.info.bind(console);
  var refused = false;
  var webgl = { 'webgl': true, 'webgl2': true, 'experimental-webgl': true };
  var holding = new WeakSet();
  // A refused canvas shows its own CSS background, which is then one more
  // colour of nothing drawn. Held weakly and few: pages throw probes away.
  var refusedCanvases = weakList();
  function noteRefusal(canvas) {
    if (canvas && canvas.style) refusedCanvases.add(canvas);
    if (refused) return;
    refused = true;
    note('__tavolune:webgl-refused');
  }
  function watchContexts(type) {
    var proto = type && type.prototype;
    if (!proto || typeof proto.getContext !== 'function') return null;
    var saved = proto.getContext;
    proto.getContext = function (kind) {
      var context = saved.apply(this, arguments);
      if (context) {
        holding.add(this);
        if (String(kind) === '2d' && this.style) holding2D.add(this);
      } else if (webgl[String(kind)] === true && !holding.has(this)) noteRefusal(this);
      return context;
    };
    return saved;
  }
  var canvasContext = watchContexts(window.HTMLCanvasElement);
  watchContexts(window.OffscreenCanvas);

  // A canvas handed to a worker draws out of this script's reach: it counts
  // as refused wherever the engine refuses this frame WebGL.
  var canvasProto = window.HTMLCanvasElement && window.HTMLCanvasElement.prototype;
  if (canvasContext && typeof canvasProto.transferControlToOffscreen === 'function') {
    var savedTransfer = canvasProto.transferControlToOffscreen;
    var webglHere;
    canvasProto.transferControlToOffscreen = function () {
      var offscreen = savedTransfer.apply(this, arguments);
      if (webglHere === undefined) {
        var probe = null;
        try {
          probe = canvasContext.call(document.createElement('canvas'), 'webgl');
          var lose = probe && probe.getExtension('WEBGL_lose_context');
          if (lose) lose.loseContext();
        } catch (e) {}
        webglHere = !!probe;
      }
      if (!webglHere) noteRefusal(this);
      return offscreen;
    };
  }

  // Canvases of the page's own drawing: those holding a 2D context, and
  // those drawn on while out of the document (kept in case they go in). The
  // first 2D drawing on each canvas in the document is told at once; the
  // hooks step aside after one on a canvas the window's size, so a drawing
  // page pays for them only until then, and one with only a small panel
  // pays a lookup a call.
  function weakList() {
    var list = [], seen = new WeakSet();
    return {
      add: function (o) {
        if (seen.has(o) || list.length >= 32) return;
        seen.add(o);
        list.push(typeof WeakRef === 'function' ? new WeakRef(o) : { deref: function () { return o; } });
      },
      some: function (test) {
        return list.some(function (ref) { var o = ref.deref(); return !!o && test(o); });
      },
      each: function (fn) { this.some(function (o) { fn(o); return false; }); }
    };
  }
  var holding2D = weakList(), drawnCanvases = weakList(), toldCanvases = new WeakSet();
  var drawProto = window.CanvasRenderingContext2D && window.CanvasRenderingContext2D.prototype;
  var savedDraws = {};
  if (drawProto) {
    ['fillRect', 'strokeRect', 'fill', 'stroke', 'drawImage', 'putImageData', 'fillText', 'strokeText'].forEach(
      function (name) {
        var saved = drawProto[name];
        if (typeof saved !== 'function') return;
        savedDraws[name] = saved;
        drawProto[name] = function () {
          var canvas = this.canvas;
          if (canvas) {
            drawnCanvases.add(canvas);
            if (canvas.isConnected && !toldCanvases.has(canvas)) {
              toldCanvases.add(canvas);
              var scale = window.devicePixelRatio || 1;
              if (canvas.width * canvas.height * 16 >= window.innerWidth * window.innerHeight * scale * scale) {
                Object.keys(savedDraws).forEach(function (n) { drawProto[n] = savedDraws[n]; });
              }
              note('__tavolune:drew');
            }
          }
          return saved.apply(this, arguments);
        };
      });
  }

  // Requests of the page's own still under way, of any scheme.
  var requesting = 0;
  function settle(promise) {
    requesting++;
    var done = function () { requesting--; };
    if (promise && typeof promise.then === 'function') promise.then(done, done);
    return promise;
  }
  var xhrProto = window.XMLHttpRequest && window.XMLHttpRequest.prototype;
  if (xhrProto && typeof xhrProto.send === 'function') {
    var savedSend = xhrProto.send;
    xhrProto.send = function () {
      requesting++;
      this.addEventListener('loadend', function () { requesting--; }, { once: true });
      return savedSend.apply(this, arguments);
    };
  }

  // What this frame shows of its own when asked: in art-report.js, spliced
  // in here where the runtime is built.
  var report = TAVOLUNE_REPORT({
    refused: refusedCanvases,
    holding2D: holding2D,
    drawn: drawnCanvases,
    requesting: function () { return requesting; }
  });
  api.backdrop = function () {
    note('__tavolune:backdrop ' + report());
    forward(['backdrop']);
  };

  // Qt's fetch() cannot reach our scheme; XMLHttpRequest can.
  var savedFetch = window.fetch;
  if (typeof savedFetch === 'function') {
    window.fetch = function (input, init) {
      var target;
      try {
        var text = (typeof input === 'string' || input instanceof URL) ? String(input) : input.url;
        target = new URL(text, document.baseURI);
      } catch (e) {
        return settle(savedFetch.apply(this, arguments));
      }
      if (target.protocol !== 'tavolune:') return settle(savedFetch.apply(this, arguments));
      return new Promise(function (resolve, reject) {
        var signal = (init && init.signal) || (input && input.signal);
        var aborted = function () { reject(new DOMException('The operation was aborted.', 'AbortError')); };
        if (signal && signal.aborted) return aborted();
        var xhr = new XMLHttpRequest();
        xhr.open((init && init.method) || (input && input.method) || 'GET', target.href);
        xhr.responseType = 'arraybuffer';
        xhr.onload = function () {
          var status = xhr.status >= 200 && xhr.status <= 599 ? xhr.status : 200;
          var type = xhr.getResponseHeader('Content-Type');
          resolve(new Response(xhr.response, { status: status, headers: type ? { 'Content-Type': type } : {} }));
        };
        xhr.onerror = function () { reject(new TypeError('Failed to fetch')); };
        xhr.onabort = aborted;
        if (signal) signal.addEventListener('abort', function () { xhr.abort(); });
        var headers = new Headers((init && init.headers) || (input && input.headers) || {});
        headers.forEach(function (value, name) { xhr.setRequestHeader(name, value); });
        xhr.send((init && init.body) || null);
      });
    };
  }
})();
