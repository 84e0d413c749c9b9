// bench/web/frame_probe.js — run in a page before its scripts by make web-perf (perf.mjs): times
// every animation-frame callback with performance.now() before and after it, counts the WebGL
// draw calls made inside it (quads: indices of drawElements / 6) and the pixels their quads cover
// (from the vertices the legacy GL emulation uploads just before: 20-byte vertices, x and y
// first, four a quad), and notes when the game says its menu is loaded and when the first frame
// after that draws. The figures wait in window.__lexormPerf for perf.mjs to read.
// Depends on: nothing but the browser (requestAnimationFrame, WebGL, console).
(function() {
  'use strict';
  var P = (window.__lexormPerf = {
    frames: 0,       // animation-frame callbacks so far
    start: [],       // per frame: performance.now() at the start of its callback, ms
    script: [],      // per frame: the callback's duration, ms
    quads: [],       // per frame: quads drawn with drawElements
    area: [],        // per frame: the pixels those quads cover (overlaps counted again)
    callAreas: {},   // recipe -> {frames, sums: pixels covered by each call, summed over frames}
    otherDraws: [],  // per frame: drawArrays calls
    recipes: [],     // [first frame, 'quads per drawElements call, comma-separated'] at each change
    menuAt: null,    // when the game printed "Highscores Loaded"
    menuDrawnAt: null, // the end of the first frame that drew after that
    chains: 0,       // chain lines the game printed ("x,y")
  });
  var calls = null, areas = null, others = 0, lastRecipe = null, vertices = null;

  var raf = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = function(callback) {
    return raf(function(time) {
      calls = [];
      areas = [];
      others = 0;
      var t0 = performance.now();
      try {
        callback(time);
      } finally {
        var t1 = performance.now();
        var quads = 0, area = 0;
        for (var i = 0; i < calls.length; ++i) quads += calls[i], area += areas[i];
        P.start.push(t0);
        P.script.push(t1 - t0);
        P.quads.push(quads);
        P.area.push(area);
        P.otherDraws.push(others);
        var recipe = calls.join(',');
        if (recipe !== lastRecipe) {
          P.recipes.push([P.frames, recipe]);
          lastRecipe = recipe;
        }
        var sums = P.callAreas[recipe] || (P.callAreas[recipe] = { frames: 0, sums: areas.map(function() { return 0; }) });
        ++sums.frames;
        for (var c = 0; c < areas.length; ++c) sums.sums[c] += areas[c];
        if (P.menuAt !== null && P.menuDrawnAt === null && calls.length > 0) P.menuDrawnAt = t1;
        ++P.frames;
        calls = areas = null;
      }
    });
  };

  // The pixels covered by the first `quads` quads of the vertices last uploaded.
  function quadArea(quads) {
    if (!vertices || vertices.length < quads * 20) return 0;
    var area = 0;
    for (var q = 0; q < quads; ++q) {
      var a = q * 20, c = a + 10; // corners 0 and 2
      area += Math.abs(vertices[c] - vertices[a]) * Math.abs(vertices[c + 1] - vertices[a + 1]);
    }
    return area;
  }

  function wrapDraws(proto) {
    if (!proto) return;
    var drawElements = proto.drawElements, drawArrays = proto.drawArrays, bufferSubData = proto.bufferSubData;
    proto.bufferSubData = function(target, offset, data) {
      if (target === 0x8892 && offset === 0) vertices = data instanceof Float32Array ? data : null; // ARRAY_BUFFER
      return bufferSubData.apply(this, arguments);
    };
    proto.drawElements = function(mode, count, type, offset) {
      if (calls) {
        calls.push(count / 6);
        areas.push(quadArea(count / 6));
      }
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
