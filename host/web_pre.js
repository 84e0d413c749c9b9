// host/web_pre.js — the browser build's start-up, before the game's main: the save folder mounted
// from IndexedDB and read before the game starts, standard input at its end (a debug stop never
// waits on a prompt), and Module.resumeAudio for the page's start overlay.
// Depends on: emscripten's FS, IDBFS and OpenAL libraries.

Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
  // The standard streams first, as 0, 1 and 2: a damaged save can leave its file open as it fails
  // to load, and opened before them it would take standard input's number and send the game's
  // output nowhere.
  FS.init();
  FS.mkdir('/save');
  FS.mount(IDBFS, {}, '/save');
  FS.chdir('/save');
  addRunDependency('lexorm-save');
  FS.syncfs(true, function(e) {
    if (e) err('LoadState: the browser\'s storage cannot be read (' + e + '); starting without it');
    removeRunDependency('lexorm-save');
  });
});

Module['stdin'] = function() { return null; };

// Browsers keep sound off until the player clicks or presses a key; the page calls this then.
Module['resumeAudio'] = function() {
  if (typeof AL === 'undefined' || !AL.contexts) return;
  for (var id in AL.contexts) {
    var c = AL.contexts[id];
    if (c && c.audioCtx && c.audioCtx.state !== 'running') c.audioCtx.resume();
  }
};
