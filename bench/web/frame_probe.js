// bench/web/frame_probe.js — run in a page before its scripts by make web-perf (perf.mjs): times
// every animation-frame callback with performance.now() before and after it, counts the WebGL
// draw calls made inside it (quads: indices of drawElements / 6), and notes when the game says
// its menu is loaded and when the first frame after that draws. The figures wait in
// window.__lexormPerf for perf.mjs to read.
// Depends on: nothing but the browser (requestAnimationFrame, WebGL, console).
(function() {
  'use strict';
  var P = (window.__lexormPerf = {
    frames: 0,       // animation-frame callbacks so far
    start: [],       // per frame: performance.now() at the start of its callback, ms
    script: [],      // per frame: the callback's duration, ms
    quads: [],       // per frame: quads drawn with drawElements
    otherDraws: [],  // per frame: drawArrays calls
    recipes: [],     // [first frame, 'quads per drawElements call, comma-separated'] at each change
    menuAt: null,    // when the game printed "Highscores Loaded"
    menuDrawnAt: null, // the end of the first frame that drew after that
    chains: 0,       // chain lines the game printed ("x,y")
  });
  var calls = null, others = 0, lastRecipe = null;

  var raf = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = function(callback) {
    return raf(function(time) {
      calls = [];
      others = 0;
      var t0 = performance.now();
      try {
        callback(time);
      } finally {
        var t1 = performance.now();
        var quads = 0;
        for (var i = 0; i < calls.length; ++i) quads += calls[i];
        P.start.push(t0);
        P.script.push(t1 - t0);
        P.quads.push(quads);
        P.otherDraws.push(others);
        var recipe = calls.join(',');
        if (recipe !== lastRecipe) {
          P.recipes.push([P.frames, recipe]);
          lastRecipe = recipe;
        }
        if (P.menuAt !== null && P.menuDrawnAt === null && calls.length > 0) P.menuDrawnAt = t1;
        ++P.frames;
        calls = null;
      }
    });
  };

  function wrapDraws(proto) {
    if (!proto) return;
    var drawElements = proto.drawElements, drawArrays = proto.drawArrays;
    proto.drawElements = function(mode, count, type, offset) {
      if (calls) calls.push(count / 6);
      return drawElements.call(this, mode, count, type, offset);
    };
    proto.drawArrays = function(mode, first, count) {
      if (calls) ++others;
      return drawArrays.call(this, mode, first, count);
    };
  }
  wrapDraws(window.WebGLRenderingContext && WebGLRenderingContext.prototype);
  wrapDraws(window.WebGL2RenderingContext && WebGL2RenderingContext.prototype);

  var log = console.log;
  console.log = function(text) {
    if (text === 'Highscores Loaded' && P.menuAt === null) P.menuAt = performance.now();
    else if (typeof text === 'string' && /^-?[0-9.]+,-?[0-9.]+$/.test(text)) ++P.chains;
    return log.apply(console, arguments);
  };
})();
