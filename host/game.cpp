// host/game.cpp — ZuGame: guarded delegate calls, collection steps, uncaught exceptions.
// Depends on: game.h, runtime.
#include "game.h"

#include <cstdlib>

ZuGame* ZuGame::_game;

ZuGame::ZuGame() { _game = this; }

void ZuGame::Die(ThrowableObject*) {
  zuPrint(String("Quokka Runtime Error : Uncaught Quokka Exception"));
  zu_exit(-1);
}

void ZuGame::gc_collect() { ::gc_collect(_delegate); }

// ============================================================================
// [SECTION] Guarded delegate calls
// ============================================================================

// Calls nest (an update that re-opens the window releases the held keys through KeyEvent).
// Only the outermost call ends with a collection step: an inner step would run while the
// outer call's local variables hold objects the collector cannot see.
template <class Call> void ZuGame::Guarded(Call call) {
  ++_guardedDepth;
  try {
    if (_delegate) call(_delegate);
  } catch (ThrowableObject* ex) {
    --_guardedDepth;
    Die(ex);
  } catch (...) {
    --_guardedDepth; // not the application's exception: it passes on
    throw;
  }
  if (--_guardedDepth == 0) gc_collect();
}

void ZuGame::StartGame() {
  if (_started) return;
  _started = true;
  Guarded([](ZuGameDelegate* d) { d->StartGame(); });
}

void ZuGame::SuspendGame() {
  if (!_started || _suspended) return;
  _suspended = true;
  Guarded([](ZuGameDelegate* d) { d->SuspendGame(); });
}

void ZuGame::ResumeGame() {
  if (!_started || !_suspended) return;
  _suspended = false;
  Guarded([](ZuGameDelegate* d) { d->ResumeGame(); });
}

void ZuGame::UpdateGame() {
  if (!_started || _suspended) return;
  Guarded([](ZuGameDelegate* d) { d->UpdateGame(); });
}

void ZuGame::RenderGame() {
  if (!_started) return;
  Guarded([](ZuGameDelegate* d) { d->RenderGame(); });
}

void ZuGame::KeyEvent(int event, int data) {
  if (!_started) return;
  Guarded([=](ZuGameDelegate* d) { d->KeyEvent(event, data); });
}

void ZuGame::MouseEvent(int event, int data, float x, float y) {
  if (!_started) return;
  Guarded([=](ZuGameDelegate* d) { d->MouseEvent(event, data, x, y); });
}

void ZuGame::TouchEvent(int event, int data, float x, float y) {
  if (!_started) return;
  Guarded([=](ZuGameDelegate* d) { d->TouchEvent(event, data, x, y); });
}

void ZuGame::MotionEvent(int event, int data, float x, float y, float z) {
  if (!_started) return;
  Guarded([=](ZuGameDelegate* d) { d->MotionEvent(event, data, x, y, z); });
}

void ZuGame::DiscardGraphics() {
  if (!_started) return;
  Guarded([](ZuGameDelegate* d) { d->DiscardGraphics(); });
}
