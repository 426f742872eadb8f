// The page runtime in a bare script engine with a hand-driven clock: frames,
// timers and messages are delivered by the test, never by a browser.
#include "app/stage/ArtRuntime.hpp"

#include <QJSEngine>

#include <gtest/gtest.h>

#include <iterator>
#include <optional>

namespace tavolune {
namespace {

// A window with animation frames, timers, listeners, media and child frames
// the test drives by hand.
constexpr const char* fakeWindow = R"(
var window = this;
var nativeFrames = [], nextNative = 1, timers = [], nextTimer = 1, now = 0, listeners = {};
var calls = [], media = [], posted = [];
window.requestAnimationFrame = function (cb) { var id = nextNative++; nativeFrames.push([id, cb]); return id; };
window.cancelAnimationFrame = function (id) { nativeFrames = nativeFrames.filter(function (e) { return e[0] !== id; }); };
function addTimer(fn, ms, repeat) { var id = nextTimer++; timers.push({id: id, due: now + ms, ms: ms, fn: fn, repeat: repeat}); return id; }
window.setTimeout = function (fn, ms) { return addTimer(fn, ms, false); };
window.setInterval = function (fn, ms) { return addTimer(fn, ms, true); };
window.clearTimeout = function (id) { timers = timers.filter(function (t) { return t.id !== id; }); };
window.addEventListener = function (type, fn) { (listeners[type] = listeners[type] || []).push(fn); };
window.frames = [];
window.parent = window;
var document = { querySelectorAll: function (sel) {
  return media.filter(function (m) { return sel.indexOf(m.kind) >= 0; }); },
  createElement: function () { return new HTMLCanvasElement(); } };
function getComputedStyle(element) { return { backgroundColor: element.bg }; }
function frame(t) { var due = nativeFrames; nativeFrames = []; due.forEach(function (e) { e[1](t); }); }
function advance(ms) {
  var end = now + ms;
  for (;;) {
    var next = null;
    timers.forEach(function (t) { if (t.due <= end && (!next || t.due < next.due)) next = t; });
    if (!next) break;
    now = next.due;
    if (next.repeat) next.due += next.ms; else window.clearTimeout(next.id);
    next.fn();
  }
  now = end;
}
function dispatch(type, event) { (listeners[type] || []).forEach(function (fn) { fn(event); }); }
function loop(label) { var f = function (t) { calls.push(label + '@' + t); window.requestAnimationFrame(f); };
  return window.requestAnimationFrame(f); }
function framesOver(count, step) { calls = []; for (var i = 1; i <= count; i++) frame(base + i * step); base += count * step;
  return calls.length; }
var base = 1000;
var logged = [], console = { info: function (m) { logged.push(m); } };
// A canvas grants the context types in `grants`, and only the kind it holds once it has one.
var grants = {};
function HTMLCanvasElement() { this.style = {}; }
HTMLCanvasElement.prototype.getContext = function (kind) {
  if (this.held) return this.held === kind ? {} : null;
  if (!grants[kind]) return null;
  this.held = kind;
  return { getExtension: function () { return null; } };
};
HTMLCanvasElement.prototype.transferControlToOffscreen = function () { return {}; };
window.HTMLCanvasElement = HTMLCanvasElement;
)";

class ArtRuntimeScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { fresh(); }
  // A new window with the runtime installed.
  void fresh() {
    engine.emplace();
    run(fakeWindow);
    run(ArtRuntime::runtimeSource());
  }
  QJSValue run(const QString& code) {
    QJSValue result = engine->evaluate(code);
    EXPECT_FALSE(result.isError()) << result.toString().toStdString() << " in: " << code.left(120).toStdString();
    return result;
  }
  int number(const QString& code) { return run(code).toInt(); }
  QString text(const QString& code) { return run(code).toString(); }

  std::optional<QJSEngine> engine;
};

TEST_F(ArtRuntimeScriptTest, FrameGateCapsTheRate) {
  ASSERT_FALSE(ArtRuntime::runtimeSource().isEmpty());
  run("loop('a')");
  // 60 Hz display frames: about every other one at the default 30.
  EXPECT_EQ(number("framesOver(60, 1000 / 60)"), 30);
  run("window.__tavolune.setFPS(60)");
  EXPECT_EQ(number("framesOver(60, 1000 / 60)"), 60);
  for (const char* slow : {"0", "-5", "undefined"}) {
    run(QStringLiteral("window.__tavolune.setFPS(%1)").arg(slow));
    EXPECT_EQ(number("framesOver(120, 1000 / 60)"), 2) << slow;
  }
  // Callbacks of one frame run together even when the first one took the slot.
  run("window.__tavolune.setFPS(30); calls = []; loop('b')");
  run("framesOver(60, 1000 / 60)");
  EXPECT_EQ(number("calls.filter(function (c) { return c[0] === 'a'; }).length"),
            number("calls.filter(function (c) { return c[0] === 'b'; }).length"));
}

TEST_F(ArtRuntimeScriptTest, CancellingWorksAfterASkippedFrame) {
  run("var ran = 0; var id = window.requestAnimationFrame(function () { ran++; })");
  run("frame(1010)");  // let through: more than 31 ms since 0
  EXPECT_EQ(number("ran"), 1);
  run("var id2 = window.requestAnimationFrame(function () { ran++; })");
  run("frame(1020)");  // too soon: skipped and re-requested
  EXPECT_EQ(number("nativeFrames.length"), 1);
  run("window.cancelAnimationFrame(id2)");
  EXPECT_EQ(number("nativeFrames.length"), 0);
  run("frame(1100); frame(1200)");
  EXPECT_EQ(number("ran"), 1);
  // Our ids stay ours: distinct and increasing, whatever the native ones are.
  EXPECT_LT(number("id"), number("id2"));
  // A callback held by a pause and cancelled meanwhile never runs.
  run("window.__tavolune.pause(); var id3 = window.requestAnimationFrame(function () { ran++; }); frame(1300)");
  run("window.cancelAnimationFrame(id3); window.__tavolune.resume(); frame(1400); frame(1500)");
  EXPECT_EQ(number("ran"), 1);
}

TEST_F(ArtRuntimeScriptTest, PauseHoldsTimeoutsDropsIntervalsAndQueuesFrames) {
  run("var log = [];"
      "window.setTimeout(function (a, b) { log.push('t1' + a + b); }, 100, 'x', 'y');"
      "window.setTimeout(\"log.push('t2')\", 200);"
      "var cleared = window.setTimeout(function () { log.push('cleared'); }, 150);"
      "window.setInterval(function () { log.push('i'); }, 100);"
      "window.requestAnimationFrame(function (t) { log.push('f' + t); });"
      "media = [{kind: 'video', paused: false, pause: function () { this.paused = true; },"
      "          play: function () { this.paused = false; }},"
      "         {kind: 'audio', paused: false, pause: function () { this.paused = true; },"
      "          play: function () { this.paused = false; }}];");
  run("window.__tavolune.pause(); advance(450); frame(2000)");
  EXPECT_EQ(text("log.join()"), "");
  EXPECT_TRUE(run("media[0].paused && media[1].paused").toBool());
  run("window.clearTimeout(cleared)");
  run("window.__tavolune.resume()");
  EXPECT_EQ(text("log.join()"), "t1xy,t2");  // held time-outs in order, intervals lost
  EXPECT_TRUE(run("!media[0].paused && media[1].paused").toBool());  // sound stays off
  run("frame(2100); advance(100)");
  EXPECT_EQ(text("log.join()"), "t1xy,t2,f2100,i");
}

TEST_F(ArtRuntimeScriptTest, RenderSignalsAndDialogs) {
  EXPECT_FALSE(run("window.__tavoluneRendered").toBool());
  EXPECT_TRUE(run("window.fxpreview === undefined").toBool());
  run("var shown = 0; window.fxpreview = function () { shown++; throw new Error('page bug'); }");
  run("window.fxpreview()");  // the page's exception is swallowed
  EXPECT_TRUE(run("window.__tavoluneRendered").toBool());
  EXPECT_EQ(number("shown"), 1);

  run("window.__tavoluneRendered = false; var previews = 0;"
      "var fx = { preview: function () { previews++; return 7; } };"
      "window.$fx = fx; var wrapped = fx.preview; window.$fx = fx;");
  EXPECT_TRUE(run("window.$fx.preview === wrapped && fx.__tavolune === true").toBool());
  EXPECT_EQ(number("window.$fx.preview()"), 7);
  EXPECT_EQ(number("previews"), 1);  // wrapped once, the original called once
  EXPECT_TRUE(run("window.__tavoluneRendered").toBool());

  for (const char* message : {"'preview'", "'fxhash_preview'", "{id: 'fxhash_preview'}"}) {
    run(QStringLiteral("window.__tavoluneRendered = false; dispatch('message', {data: %1, source: null})").arg(message));
    EXPECT_TRUE(run("window.__tavoluneRendered").toBool()) << message;
  }
  run("window.__tavoluneRendered = false; dispatch('message', {data: 'hello', source: null})");
  EXPECT_FALSE(run("window.__tavoluneRendered").toBool());

  EXPECT_TRUE(run("window.alert('x') === undefined && window.confirm('x') === true && window.prompt('x') === null"
                  " && window.open('https://example.com') === null")
                  .toBool());
  run("dispatch('error', {}); dispatch('error', {})");
  EXPECT_EQ(number("window.__tavolune.errors"), 2);
  // The page cannot swap the control object out.
  run("window.__tavolune = {pause: function () {}}");
  EXPECT_EQ(number("window.__tavolune.errors"), 2);
}

// Told once per frame, whenever it comes, and never judged here: the
// stage judges by the page's pixels.
TEST_F(ArtRuntimeScriptTest, ARefusedWebGLContextIsTold) {
  struct Row {
    const char* name;
    const char* grants;
    const char* asks;
    bool refused;
  };
  const Row rows[] = {
      {"webgl granted", "{webgl: true, '2d': true}", "c.getContext('webgl')", false},
      {"2d only", "{'2d': true}", "c.getContext('2d')", false},
      {"each webgl kind refused", "{'2d': true}",
       "c.getContext('webgl2'); c.getContext('webgl'); new HTMLCanvasElement().getContext('experimental-webgl')", true},
      {"canvas holding 2d", "{'2d': true, webgl: true}", "c.getContext('2d'); c.getContext('webgl')", false},
      {"2d, then a probe canvas", "{'2d': true}", "c.getContext('2d'); new HTMLCanvasElement().getContext('webgl')",
       true},
      {"canvas handed to a worker", "{'2d': true}", "c.transferControlToOffscreen()", true},
      {"canvas handed to a worker that may draw", "{webgl: true}", "c.transferControlToOffscreen()", false},
  };
  for (const Row& row : rows) {
    fresh();
    run(QStringLiteral("grants = %1; var c = new HTMLCanvasElement(); %2").arg(row.grants, row.asks));
    run("dispatch('load', {}); advance(5000)");
    EXPECT_EQ(text("logged.join(' ')"), row.refused ? ArtRuntime::webGLRefusedNote() : QString()) << row.name;
  }
}

TEST_F(ArtRuntimeScriptTest, EachFrameReportsItsBackdropWhenAsked) {
  struct Row {
    const char* name;
    const char* root;
    const char* body;
    const char* page = "";
    const char* reported;
  };
  // A canvas with a CSS background: `refused` is asked WebGL and refused it.
  const char* canvases = "grants = {'2d': true}; var refused = new HTMLCanvasElement(); refused.bg = 'rgb(32, 48, 64)';"
                         "var drawn = new HTMLCanvasElement(); drawn.bg = 'rgb(7, 7, 7)'; drawn.getContext('2d');";
  const Row rows[] = {
      {"root and body", "rgb(1, 2, 3)", "rgb(9, 9, 9)", "", "rgb(1, 2, 3);rgb(9, 9, 9)"},
      {"root over a clear body", "rgb(1, 2, 3)", "transparent", "", "rgb(1, 2, 3)"},
      {"root and body alike", "rgb(9, 9, 9)", "rgb(9, 9, 9)", "", "rgb(9, 9, 9)"},
      {"body under a clear root", "rgba(0, 0, 0, 0)", "rgb(9, 9, 9)", "", "rgb(9, 9, 9)"},
      {"nothing", "transparent", "rgba(0, 0, 0, 0)", "", "transparent"},
      {"a refused canvas, asked twice, and a drawn one", "transparent", "rgb(9, 9, 9)",
       "refused.getContext('webgl2'); refused.getContext('webgl'); drawn.getContext('webgl')",
       "rgb(9, 9, 9);rgb(32, 48, 64)"},
      {"a canvas handed off where webgl is refused, under a clear page", "transparent", "transparent",
       "refused.transferControlToOffscreen()", "rgb(32, 48, 64)"},
      {"frame elements, one clear", "transparent", "rgb(9, 9, 9)",
       "media = [{kind: 'iframe', bg: 'rgb(5, 5, 5)'}, {kind: 'iframe', bg: 'transparent'}]",
       "rgb(9, 9, 9);rgb(5, 5, 5)"},
  };
  for (const Row& row : rows) {
    fresh();
    run(QStringLiteral("document.documentElement = {bg: '%1'}; document.body = {bg: '%2'}; %3 %4;"
                       "window.frames = [{postMessage: function (m) { posted.push(JSON.stringify(m)); }}];"
                       "logged = []; window.__tavolune.backdrop()")
            .arg(row.root, row.body, canvases, row.page));
    EXPECT_EQ(text("logged.join().split('|')[0]"), ArtRuntime::backdropNote() + " " + row.reported) << row.name;
    // The page's own frame; its canvas opaque only where the root's or else the body's colour is.
    const bool opaque = QString(row.root).startsWith("rgb(") || QString(row.body).startsWith("rgb(");
    EXPECT_EQ(text("logged.join().split('|')[1]"), opaque ? "opaque top" : "top") << row.name;
    EXPECT_EQ(text("posted.join()"), R"({"__tavolune":["backdrop"]})") << row.name;
  }
  // A child frame answers its parent's request.
  run("var parentWindow = {}; window.parent = parentWindow; logged = [];"
      "dispatch('message', {data: {__tavolune: ['backdrop']}, source: parentWindow})");
  EXPECT_EQ(text("logged.join().split('|').slice(0, 2).join('|')"),
            ArtRuntime::backdropNote() + " " + rows[std::size(rows) - 1].reported + "|opaque");
}

TEST_F(ArtRuntimeScriptTest, CommandsReachChildFrames) {
  run("window.frames = [{postMessage: function (m, origin) { posted.push(JSON.stringify(m) + origin); }}]");
  run("window.__tavolune.pause(); window.__tavolune.setFPS(12); window.__tavolune.resume()");
  EXPECT_EQ(text("posted.join(' ')"),
            R"({"__tavolune":["pause"]}* {"__tavolune":["setFPS",12]}* {"__tavolune":["resume"]}*)");

  // As a child: only its parent's commands count.
  run("var parentWindow = {}; window.parent = parentWindow; window.frames = []; var ran = 0;"
      "loop('c'); base = 5000;");
  run("dispatch('message', {data: {__tavolune: ['pause']}, source: {}})");
  EXPECT_GT(number("framesOver(10, 1000 / 60)"), 0);
  run("dispatch('message', {data: {__tavolune: ['pause']}, source: parentWindow})");
  EXPECT_EQ(number("framesOver(10, 1000 / 60)"), 0);
  run("dispatch('message', {data: {__tavolune: ['resume']}, source: parentWindow});"
      "dispatch('message', {data: {__tavolune: ['setFPS', 60]}, source: parentWindow})");
  EXPECT_EQ(number("framesOver(10, 1000 / 60)"), 10);
}

}  // namespace
}  // namespace tavolune
