// host/web_library.js — the JavaScript half of the browser's host (web_game.cpp calls these): the
// canvas's size and full screen, saves written back to IndexedDB, the touches taken from
// emscripten's GLFW, and the end of the game handed to the page.
// Depends on: emscripten's GLFW, FS and IDBFS libraries; the page's Module.onGameEnded.

mergeInto(LibraryManager.library, {
  // The canvas never asks for more than this many pixels a side: the game's largest images (for
  // 1231 pixels and up) are left out of the browser's data.
  $LexormWeb: {
    maxSide: 1230,
    fullscreenPending: -1, // the state asked for while the browser has not answered yet
    fitWanted: true, // the page was resized or went in or out of full screen since the last fit
    fitRatio: 0,     // the device pixel ratio at the last fit
    fitWatched: false,
    syncing: false,
    syncAgain: false,
    endStatus: null,

    // The pixel size for a box of css pixels: device pixels, no side above maxSide.
    pixels: function(cssW, cssH) {
      var dpr = window.devicePixelRatio || 1;
      var w = Math.max(1, Math.round(cssW * dpr)), h = Math.max(1, Math.round(cssH * dpr));
      var scale = Math.min(1, LexormWeb.maxSide / Math.max(w, h));
      return [Math.max(1, Math.floor(w * scale)), Math.max(1, Math.floor(h * scale))];
    },

    isFullscreen: function() { return document.fullscreenElement === Module['canvas']; },

    // Fitting reads the page's size and the canvas's style, some 40 microseconds a turn: it is done
    // again only after the page was resized, went in or out of full screen or changed its pixel
    // ratio (a zoom, another screen; not always told by an event, so read every turn).
    fitDue: function() {
      if (!LexormWeb.fitWatched) {
        LexormWeb.fitWatched = true;
        var wanted = function() { LexormWeb.fitWanted = true; };
        window.addEventListener('resize', wanted);
        document.addEventListener('fullscreenchange', wanted);
      }
      var ratio = window.devicePixelRatio || 1;
      if (!LexormWeb.fitWanted && ratio === LexormWeb.fitRatio) return false;
      LexormWeb.fitWanted = false;
      LexormWeb.fitRatio = ratio;
      return true;
    },

    endWhenWritten: function() {
      if (LexormWeb.syncing) return; // the write in flight ends the game when done
      if (typeof AL !== 'undefined' && AL.contexts) {
        for (var id in AL.contexts) {
          var c = AL.contexts[id];
          if (c && c.audioCtx && c.audioCtx.state === 'running') c.audioCtx.suspend();
        }
      }
      if (document.fullscreenElement) document.exitFullscreen().catch(function() {});
      if (Module['onGameEnded']) Module['onGameEnded'](LexormWeb.endStatus);
    },
  },

  // Windowed, the canvas is the largest 4:3 box in the page (3:4 on a portrait page); in full
  // screen it takes the screen's shape and the browser fills the screen with it. The GLFW window
  // follows the canvas's pixel size as emscripten's own resize would report it.
  lexorm_web_fit_canvas__deps: ['$LexormWeb', '$GLFW'],
  lexorm_web_fit_canvas: function() {
    if (!LexormWeb.fitDue()) return 0;
    var canvas = Module['canvas'];
    var W = window.innerWidth, H = window.innerHeight, cssW = W, cssH = H;
    if (!LexormWeb.isFullscreen()) {
      if (W >= H) {
        cssW = Math.min(W, H * 4 / 3); cssH = cssW * 3 / 4;
      } else {
        cssH = Math.min(H, W * 4 / 3); cssW = cssH * 3 / 4;
      }
      cssW = Math.floor(cssW); cssH = Math.floor(cssH);
      if (canvas.style.width !== cssW + 'px') canvas.style.width = cssW + 'px';
      if (canvas.style.height !== cssH + 'px') canvas.style.height = cssH + 'px';
    }
    var size = LexormWeb.pixels(cssW, cssH);
    if (canvas.width === size[0] && canvas.height === size[1]) return 0;
    canvas.width = size[0];
    canvas.height = size[1];
    if (GLFW.active) {
      GLFW.active.width = size[0];
      GLFW.active.height = size[1];
      GLFW.onWindowSizeChanged();
      GLFW.onFramebufferSizeChanged();
    }
    return 1;
  },

  // A request outside a player's recent key or click is refused by the browser: said, and the
  // state reads as it is again.
  lexorm_web_fullscreen__deps: ['$LexormWeb'],
  lexorm_web_fullscreen: function(wanted) {
    var canvas = Module['canvas'];
    if (wanted === 1 && !LexormWeb.isFullscreen() && canvas.requestFullscreen) {
      LexormWeb.fullscreenPending = 1;
      canvas.requestFullscreen().then(function() { LexormWeb.fullscreenPending = -1; }, function(e) {
        LexormWeb.fullscreenPending = -1;
        err('Full screen refused by the browser: ' + e.message);
      });
    } else if (wanted === 0 && document.fullscreenElement) {
      LexormWeb.fullscreenPending = 0;
      document.exitFullscreen().then(function() { LexormWeb.fullscreenPending = -1; },
                                     function() { LexormWeb.fullscreenPending = -1; });
    }
    if (LexormWeb.fullscreenPending >= 0) return LexormWeb.fullscreenPending;
    return LexormWeb.isFullscreen() ? 1 : 0;
  },

  lexorm_web_screen_size__deps: ['$LexormWeb'],
  lexorm_web_screen_size: function(w, h) {
    var size = LexormWeb.pixels(screen.width, screen.height);
    HEAP32[w >> 2] = size[0];
    HEAP32[h >> 2] = size[1];
  },

  // One write at a time; a save made meanwhile is written by one more when it ends.
  lexorm_web_sync_save__deps: ['$LexormWeb', '$FS'],
  lexorm_web_sync_save: function() {
    if (LexormWeb.syncing) {
      LexormWeb.syncAgain = true;
      return;
    }
    LexormWeb.syncing = true;
    FS.syncfs(false, function(e) {
      LexormWeb.syncing = false;
      if (e) err('SaveState: the save was not written to the browser\'s storage (' + e + ')');
      if (LexormWeb.syncAgain) {
        LexormWeb.syncAgain = false;
        _lexorm_web_sync_save();
      } else if (LexormWeb.endStatus !== null) {
        LexormWeb.endWhenWritten();
      }
    });
  },

  lexorm_web_ended__deps: ['$LexormWeb'],
  lexorm_web_ended: function(status) {
    LexormWeb.endStatus = status;
    LexormWeb.endWhenWritten();
  },

  // Emscripten's GLFW turns a touch into a press at the last mouse position; the host takes
  // touches itself (web_game.cpp).
  lexorm_web_take_touches__deps: ['$GLFW'],
  lexorm_web_take_touches: function() {
    var canvas = Module['canvas'];
    canvas.removeEventListener('touchmove', GLFW.onMousemove, true);
    canvas.removeEventListener('touchstart', GLFW.onMouseButtonDown, true);
    canvas.removeEventListener('touchcancel', GLFW.onMouseButtonUp, true);
    canvas.removeEventListener('touchend', GLFW.onMouseButtonUp, true);
  },
});
