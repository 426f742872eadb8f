// What one frame shows of its own, for the stage's verdict on a page the
// engine refused WebGL. Spliced into the page runtime, which hands it the
// canvases it saw refused, holding a 2D context and drawn on, and its count
// of requests under way.
//
// The report: the colours of the frame's ground, where nothing is drawn;
// '|' and flags as words; '|' and the window's size; '|' and marks: boxes,
// in the top window's CSS pixels, of what shows but is no drawing of the
// work (text, borders, outlines, shadows, controls and small overlays),
// which the stage leaves out of its look.
//
// The work's own drawing is media of a real size: a 2D canvas drawn on, an
// image, SVG, a video. Boxes of their own colour or picture count only where
// no refused canvas of a real size is in sight ('boxes' against 'shown'):
// around such a canvas they are its ground, and a box holding text is a
// notice wherever it is.
function (state) {
  var styleOf = window.getComputedStyle.bind(window);
  var px = function (v) { var n = parseFloat(v); return isFinite(n) ? n : 0; };
  var clear = function (c) { return !c || c === 'transparent' || c === 'rgba(0, 0, 0, 0)'; };
  var opaqueColour = function (c) { return !clear(c) && c.indexOf('rgba') !== 0; };
  var unseenTags = { SCRIPT: 1, STYLE: 1, NOSCRIPT: 1, TEMPLATE: 1, TITLE: 1, HEAD: 1 };
  var controls = { INPUT: 1, BUTTON: 1, SELECT: 1, TEXTAREA: 1, PROGRESS: 1, METER: 1 };
  var media = { CANVAS: 1, IMG: 1, SVG: 1, VIDEO: 1, IFRAME: 1, OBJECT: 1, EMBED: 1 };
  var shapes = 'path,rect,circle,ellipse,line,polyline,polygon,text,image,use';

  // How far a list of shadows reaches past its box, outward and inward; a
  // blur length is so many times as far. Colours go first: their commas are
  // not the list's.
  function reach(shadows, blur) {
    var out = 0, inset = 0;
    if (!shadows || shadows === 'none') return { out: 0, inset: 0 };
    String(shadows).replace(/(rgb|hsl)a?\([^)]*\)/g, '').split(',').forEach(function (one) {
      var n = (one.match(/-?[\d.]+px/g) || []).map(px);
      var far = Math.max(Math.abs(n[0] || 0), Math.abs(n[1] || 0)) + Math.max(n[2] || 0, 0) * blur +
          Math.max(n[3] || 0, 0);
      if (/inset/.test(one)) inset = Math.max(inset, far);
      else out = Math.max(out, far);
    });
    return { out: out, inset: inset };
  }

  // Where this frame lies in the top window; none when a frame above it is
  // out of reach.
  function offset() {
    var x = 0, y = 0, w = window;
    try {
      while (w.parent !== w) {
        var f = w.frameElement;
        if (!f) return null;
        var r = f.getBoundingClientRect(), s = w.parent.getComputedStyle(f);
        x += r.left + f.clientLeft + px(s.paddingLeft);
        y += r.top + f.clientTop + px(s.paddingTop);
        w = w.parent;
      }
    } catch (e) {
      return null;
    }
    return { x: x, y: y };
  }

  return function report() {
    var colours = [], words = [], marks = [];
    var patterned = false, draws = false, holds = false, boxes = false, shown = false, waiting = false;
    var width = window.innerWidth || 0, height = window.innerHeight || 0, shorter = Math.min(width, height);
    var at = offset();
    var box = function (e) {
      return e && typeof e.getBoundingClientRect === 'function' ? e.getBoundingClientRect() : null;
    };
    var shows = function (r) {
      return !!r && r.width > 0 && r.height > 0 && r.right > 0 && r.bottom > 0 && r.left < width && r.top < height;
    };
    var covers = function (r) {
      return !!r && r.left <= 1 && r.top <= 1 && r.right >= width - 1 && r.bottom >= height - 1;
    };
    // A real share of the window: the shorter side of its part in sight a
    // quarter of the window's at least. Anything less is an overlay.
    var real = function (r) {
      var w = Math.min(r.right, width) - Math.max(r.left, 0), h = Math.min(r.bottom, height) - Math.max(r.top, 0);
      return Math.min(w, h) * 4 >= shorter;
    };
    var inSight = function (e) {
      var r = e.isConnected && box(e);
      return shows(r) && real(r);
    };
    // Widened by a pixel for edges blended into what lies round them.
    var mark = function (l, t, r, b) {
      if (!at || r <= l || b <= t || marks.length >= 600) return;
      var x = Math.floor(l + at.x) - 1, y = Math.floor(t + at.y) - 1;
      marks.push([x, y, Math.ceil(r + at.x) + 1 - x, Math.ceil(b + at.y) + 1 - y].join(','));
    };
    var grow = function (r, by) {
      return { left: r.left - by, top: r.top - by, right: r.right + by, bottom: r.bottom + by };
    };
    // Borders, outlines and shadows: the ring between the box grown by what
    // reaches out and its inside shrunk by what reaches in.
    var decorations = function (r, style) {
      // A shadow's blur length is twice the spread of its fading, a filter's
      // once: each faded out of sight at 2.5 spreads.
      var shadow = reach(style.boxShadow, 1.25), out = Math.max(shadow.out, reach(style.filter, 2.5).out);
      if (style.outlineStyle !== 'none') out = Math.max(out, px(style.outlineOffset) + px(style.outlineWidth));
      var o = grow(r, Math.max(out, 0)), i = {
        left: r.left + px(style.borderLeftWidth) + shadow.inset, top: r.top + px(style.borderTopWidth) + shadow.inset,
        right: r.right - px(style.borderRightWidth) - shadow.inset,
        bottom: r.bottom - px(style.borderBottomWidth) - shadow.inset
      };
      if (i.right <= i.left || i.bottom <= i.top) return mark(o.left, o.top, o.right, o.bottom);
      // What reaches out shows in the corners a radius rounds off.
      var round = out <= 0 ? 0 : Math.max.apply(null, ['TopLeft', 'TopRight', 'BottomLeft', 'BottomRight'].map(function (c) {
        var v = String(style['border' + c + 'Radius']);
        return v.indexOf('%') > 0 ? px(v) * Math.max(r.width, r.height) / 100 : px(v);
      }));
      round = Math.min(round, r.width / 2, r.height / 2);
      if (round > 0) {
        mark(r.left, r.top, r.left + round, r.top + round);
        mark(r.right - round, r.top, r.right, r.top + round);
        mark(r.left, r.bottom - round, r.left + round, r.bottom);
        mark(r.right - round, r.bottom - round, r.right, r.bottom);
      }
      mark(o.left, o.top, o.right, i.top);
      mark(o.left, i.bottom, o.right, o.bottom);
      mark(o.left, i.top, i.left, i.bottom);
      mark(i.right, i.top, o.right, i.bottom);
    };
    var ground = function (element, style) {
      style = style || (element && styleOf(element));
      if (!style) return;
      var c = style.backgroundColor;
      if (!clear(c) && colours.indexOf(c) < 0) colours.push(c);
      if (style.backgroundImage && style.backgroundImage !== 'none') patterned = true;
    };
    try {
      var root = document.documentElement, body = document.body;
      ground(root);
      ground(body);
      state.refused.each(function (canvas) {
        ground(canvas);
        shown = shown || inSight(canvas);
      });
      Array.prototype.forEach.call(document.querySelectorAll('iframe'), function (f) { ground(f); });
      var rootColour = root && styleOf(root).backgroundColor;
      if (opaqueColour(rootColour) || (clear(rootColour) && body && opaqueColour(styleOf(body).backgroundColor))) {
        words.push('opaque');
      }
      holds = state.holding2D.some(inSight);
      draws = state.drawn.some(inSight);
      // The boxes round text or a refused canvas: scenery, not drawing.
      var scenery = new Set();
      var hold = function (n) {
        for (; n && n !== body && !scenery.has(n); n = n.parentNode) scenery.add(n);
      };
      state.refused.each(function (canvas) {
        if (canvas.isConnected) hold(canvas.parentNode);
      });
      var texts = body && !draws ? document.createTreeWalker(body, NodeFilter.SHOW_TEXT) : null;
      var range = texts && document.createRange();
      for (var k = 0, t = texts && texts.nextNode(); t && k < 2000; t = texts.nextNode(), k++) {
        if (!/\S/.test(t.data)) continue;
        range.selectNodeContents(t);
        var lines = range.getClientRects();
        if (!lines.length || t.parentNode.nodeType !== 1) continue;
        var look = styleOf(t.parentNode), by = reach(look.textShadow, 1.25).out + px(look.fontSize) / 4;
        for (var j = 0; j < lines.length; j++) {
          var line = lines[j];
          if (shows(line)) mark(line.left - by, line.top - by, line.right + by, line.bottom + by);
        }
        hold(t.parentNode);
      }
      var all = body ? body.getElementsByTagName('*') : [];
      for (var i = 0; i < all.length && i < 4000 && !draws; i++) {
        var e = all[i], tag = String(e.tagName).toUpperCase();
        if (unseenTags[tag] || e.ownerSVGElement) continue;
        var r = box(e);
        if (!shows(r)) continue;
        var style = styleOf(e);
        if (style.visibility === 'hidden' || style.opacity === '0') continue;
        decorations(r, style);
        var coloured = !clear(style.backgroundColor), pictured = style.backgroundImage !== 'none';
        if (style.display === 'list-item' && style.listStyleType !== 'none') {
          mark(r.left - px(style.fontSize) * 2, r.top, r.left, r.bottom);  // its marker
        }
        if (controls[tag] || (!real(r) && (coloured || pictured || media[tag]))) mark(r.left, r.top, r.right, r.bottom);
        else if (tag === 'IMG') draws = e.complete && e.naturalWidth > 0;
        else if (tag === 'VIDEO') {
          draws = e.readyState >= 2;
          waiting = waiting || (!draws && !e.error && e.networkState !== 3);  // 3: no source
        }
        else if (tag === 'SVG') draws = !!e.querySelector(shapes);
        else if (media[tag]) continue;  // by their own lists, and frames by their own reports
        else if (covers(r)) ground(e, style);
        else {
          if (coloured && colours.indexOf(style.backgroundColor) < 0) colours.push(style.backgroundColor);
          if (pictured) mark(r.left, r.top, r.right, r.bottom);
          boxes = boxes || ((coloured || pictured) && !scenery.has(e));
        }
      }
      var images = document.images || [];
      var loading = waiting || document.readyState !== 'complete' || state.requesting() > 0 ||
          Array.prototype.some.call(images, function (img) { return !img.complete; });
      if (loading) words.push('loading');
    } catch (e) {}
    [[window.parent === window, 'top'], [patterned, 'patterned'], [draws, 'draws'], [holds, 'holds2d'],
     [boxes, 'boxes'], [shown, 'shown']].forEach(function (flag) { if (flag[0]) words.push(flag[1]); });
    return (colours.length ? colours.join(';') : 'transparent') + '|' + words.join(' ') + '|' + width + ',' +
        height + '|' + marks.join(';');
  };
}
