// game/board.cpp — the board game: setting up a game, and one update of it — the camera and
// stars, the board's layout, the pass over the cells (falling, refill, the word-end flash and
// its burst, drawing, touch picking), the chain print, the rings, and the keys that build,
// end and cancel a chain.
// Depends on: my_app.h, globals.h (virtual screen), app (millisecond clock, random),
// runtime (zuPrint).
#include <cmath>

#include "app/app.h"
#include "app/random.h"
#include "globals.h"
#include "my_app.h"
#include "runtime/errors.h"

namespace {

// Controls the board reads (player 0, the stick counting for the directions).
constexpr int KEY_UP = 0, KEY_LEFT = 3, KEY_RIGHT = 5, KEY_DOWN = 8;
constexpr int KEY_SELECT = 10, KEY_COMPLETE = 11, KEY_CANCEL = 12;

constexpr int kTilesImage = 1;    // letter tiles, 32 x 32 frames
constexpr int kTakenFrames = 32;  // added to a tile's frame while it is in the chain
constexpr int kRingFrame = 29;    // the cursor and last-tile rings
constexpr float kStartDrop = -20; // a new game's tiles start 20 cells up
constexpr float kNewTileDrop = -2;

float Rnd() { return zu_random_Rnd(); }

} // namespace

// ============================================================================
// [SECTION] Starting a game
// ============================================================================

int c_MyApp::p_LoadGame_Snake() {
  m_GameMode = 10;
  p_FlushGame(); // objects, board, stars, particles, player record, flags, camera
  m_ShownScore = 0;
  m_GridW = m_GridH = 7;
  m_Player[PL_CURSOR_X] = m_Player[PL_CURSOR_Y] = 3;
  p_NewBag();
  for (int x = 0; x < m_GridW; ++x)
    for (int y = 0; y < m_GridH; ++y) {
      const int r = (x + kGridStride * y) * kCellFloats;
      m_Grid[r] = static_cast<float>(p_GetTile(1));
      m_Grid[r + 2] = kStartDrop;
    }
  for (int i = 0; i < kChainEntries; ++i) m_Player[PL_CHAIN_X + i] = m_Player[PL_CHAIN_Y + i] = -1;
  m_Player[PL_LAST_X] = -1;
  // A key still held from the menu does nothing, not even as "complete" or "cancel".
  m_KeyLatch = 1;
  m_Player[PL_SELECT_LATCH] = m_Player[PL_CANCEL_LATCH] = 1;
  int seconds = 60;
  if (m_GameLength == 1) seconds = 30;
  if (m_GameLength == 3) seconds = 120;
  m_Player[PL_SECONDS] = static_cast<float>(seconds);
  m_Player[PL_UPDATES_LEFT] = static_cast<float>((seconds + 1) * 60);
  m_Player[PL_END_TIME] = static_cast<float>(seconds * 1000 + zu_app_Millisecs() + 1000);
  m_Player[PL_TICKS] = 4;
  return 0;
}

// ============================================================================
// [SECTION] One update
// ============================================================================

int c_MyApp::p_Game_Snake() {
  p_DoBG(-1, -123, -123, -123);
  const float dx = (m_CamX - m_CamRestX) / 8, dy = (m_CamY - m_CamRestY) / 8;
  m_CamX -= dx;
  m_CamY -= dy;
  p_DoStars(dx, dy - 1);
  p_AnalogueControl();

  // Layout from the virtual screen; the score line takes the top 16 units.
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  const float cs = std::fmin(w / static_cast<float>(m_GridW + 1), (h - 16) / static_cast<float>(m_GridH + 1));
  p_SetSize(cs / 32);
  m_GridX0 = w / 2 - static_cast<float>(m_GridW / 2) * cs;
  m_GridY0 = (h - 16) / 2 - (static_cast<float>(m_GridH / 2) * cs - cs / 2) + 16;

  float flash = 0;
  if (m_Player[PL_WORD_END] > 0) {
    flash = m_Player[PL_WORD_END];
    m_Player[PL_DRAG] = 0;
  }
  m_Player[PL_FLASH] = flash;

  for (int x = 0; x < m_GridW; ++x)
    for (int y = 0; y < m_GridH; ++y) p_BoardCell(x, y, cs, flash);

  if (flash > 0) {
    // The chain that just ended, one cell a line; then the chain is empty.
    for (int i = 0; i < kChainEntries; ++i) {
      zuPrint(String(m_Player[PL_CHAIN_X + i]) + String(",") + String(m_Player[PL_CHAIN_Y + i]));
      m_Player[PL_CHAIN_X + i] = m_Player[PL_CHAIN_Y + i] = -1;
    }
  }

  // Rings: the cursor, and the last tile taken.
  const int cx = static_cast<int>(m_Player[PL_CURSOR_X]), cy = static_cast<int>(m_Player[PL_CURSOR_Y]);
  p_Alpha(0.7f);
  p_SetSize(1.1f * cs / 32);
  p_DrawImg(kTilesImage, m_GridX0 + static_cast<float>(cx) * cs, m_GridY0 + static_cast<float>(cy) * cs,
            kRingFrame);
  if (m_Player[PL_LAST_X] > -1 && m_Player[PL_LAST_Y] > -1) {
    p_Alpha(0.5f);
    p_SetSize(1.2f * cs / 32);
    p_DrawImg(kTilesImage, m_GridX0 + m_Player[PL_LAST_X] * cs, m_GridY0 + m_Player[PL_LAST_Y] * cs,
              kRingFrame);
  }
  p_Alpha(1);
  p_SetSize(cs / 32);
  m_CellIndex = (cx + kGridStride * cy) * kCellFloats;
  m_Player[PL_WORD_END] = 0;

  if (m_HideHud == 1) {
    // With the score line hidden the clock stands still, and so does the board: no key or
    // pointer acts on it, and a key held now acts only after it has been let go.
    m_Player[PL_SELECT_LATCH] = m_Player[PL_CANCEL_LATCH] = m_Player[PL_DIR_LATCH] = 1;
    m_Player[PL_TAKEN_LATCH] = 1;
  } else {
    p_BoardKeys(cx, cy);
  }
  p_DoParticles(1);
  p_ScoreDisplay();
  return 0;
}

// The pointer's release, select, cancel, complete and the cursor, in that order.
void c_MyApp::p_BoardKeys(int cx, int cy) {
  // Releasing the pointer ends a chain it began.
  if (m_Down == 0 && m_Player[PL_TOUCH_CHAIN] == 1) {
    m_Player[PL_TOUCH_CHAIN] = 0;
    p_EndWord();
  }

  const bool select = p_PlayKey(KEY_SELECT, 1, 0) != 0;
  const bool complete = p_PlayKey(KEY_COMPLETE, 1, 0) != 0;
  const bool cursorTaken = m_Grid[m_CellIndex + kCellTaken] != 0;
  if (select && m_KeyLatch == 0 && m_GameEnded == 0) {
    if (cursorTaken && m_Player[PL_SELECT_LATCH] == 0) {
      p_EndWord();
      m_Player[PL_TAKEN_LATCH] = 1;
    }
    m_Player[PL_SELECT_LATCH] = 1;
    if (!cursorTaken && m_Player[PL_TAKEN_LATCH] == 0 && p_NextToLast(cx, cy)) p_AddLetter(cx, cy);
  }

  if (!p_PlayKey(KEY_CANCEL, 1, 0)) {
    m_Player[PL_CANCEL_LATCH] = 0;
  } else if (m_Player[PL_CANCEL_LATCH] == 0) {
    m_Player[PL_CANCEL_LATCH] = 1;
    for (int i = 0; i < kChainEntries; ++i) m_Player[PL_CHAIN_X + i] = m_Player[PL_CHAIN_Y + i] = -1;
    for (int x = 0; x < m_GridW; ++x)
      for (int y = 0; y < m_GridH; ++y) m_Grid[(x + kGridStride * y) * kCellFloats + kCellTaken] = 0;
    m_Player[PL_LAST_X] = m_Player[PL_LAST_Y] = -1;
    m_Word = String();
    p_PlaySFX(11, 1, 1, 0);
  }

  if (complete && m_Player[PL_SELECT_LATCH] == 0) {
    p_EndWord();
    m_Player[PL_SELECT_LATCH] = 1;
  }

  if (!select) {
    m_Player[PL_TAKEN_LATCH] = 0;
    if (!complete) m_Player[PL_SELECT_LATCH] = 0;
    if (m_Player[PL_DRAG] == 1) p_EndWord();
  }

  // The cursor: one step a press, up before left before right before down.
  const bool up = p_PlayKey(KEY_UP, 1, 0) != 0, left = p_PlayKey(KEY_LEFT, 1, 0) != 0,
             right = p_PlayKey(KEY_RIGHT, 1, 0) != 0, down = p_PlayKey(KEY_DOWN, 1, 0) != 0;
  if (!up && !left && !right && !down) m_Player[PL_DIR_LATCH] = 0;
  const bool moves[4] = {up, left, right, down};
  const int stepX[4] = {0, -1, 1, 0}, stepY[4] = {-1, 0, 0, 1};
  for (int k = 0; k < 4; ++k)
    if (moves[k] && m_Player[PL_DIR_LATCH] == 0) {
      m_Player[PL_CURSOR_X] += static_cast<float>(stepX[k]);
      m_Player[PL_CURSOR_Y] += static_cast<float>(stepY[k]);
      m_Player[PL_DIR_LATCH] = 1;
    }
  if (select && (up || left || right || down)) m_Player[PL_DRAG] = 1;
  m_Player[PL_CURSOR_X] = std::fmax(0.0f, std::fmin(m_Player[PL_CURSOR_X], static_cast<float>(m_GridW - 1)));
  m_Player[PL_CURSOR_Y] = std::fmax(0.0f, std::fmin(m_Player[PL_CURSOR_Y], static_cast<float>(m_GridH - 1)));
}

int c_MyApp::p_EndWord() {
  m_Player[PL_WORD_END] = 1;
  m_Player[PL_LAST_X] = -1;
  p_CompleteWord();
  return 0;
}

bool c_MyApp::p_NextToLast(int x, int y) {
  if (m_Player[PL_LAST_X] == -1) return true;
  return std::fabs(static_cast<float>(x) - m_Player[PL_LAST_X]) < 2 &&
         std::fabs(static_cast<float>(y) - m_Player[PL_LAST_Y]) < 2;
}

// ============================================================================
// [SECTION] The pass over the board
// ============================================================================

void c_MyApp::p_FallInto(int x, int y) {
  float* cell = &m_Grid[(x + kGridStride * y) * kCellFloats];
  if (y > 0) {
    float* above = cell - kGridStride * kCellFloats;
    for (int f = 0; f < kCellFloats; ++f) {
      cell[f] = above[f];
      above[f] = 0;
    }
    // A tile of the chain takes its place in the chain along.
    if (cell[kCellTaken] != 0) {
      for (int i = 0; i < kChainEntries; ++i)
        if (m_Player[PL_CHAIN_X + i] == static_cast<float>(x) &&
            m_Player[PL_CHAIN_Y + i] == static_cast<float>(y - 1))
          m_Player[PL_CHAIN_Y + i] = static_cast<float>(y);
      if (m_Player[PL_LAST_X] == static_cast<float>(x) && m_Player[PL_LAST_Y] == static_cast<float>(y - 1))
        m_Player[PL_LAST_Y] = static_cast<float>(y);
    }
  } else {
    for (int f = 0; f < kCellFloats; ++f) cell[f] = 0;
    cell[0] = static_cast<float>(p_GetTile(1));
    cell[2] = kNewTileDrop;
  }
}

void c_MyApp::p_BoardCell(int x, int y, float cs, float flash) {
  float* cell = &m_Grid[(x + kGridStride * y) * kCellFloats];
  if (cell[0] == 0) p_FallInto(x, y);
  if (cell[2] < 0) {
    cell[2] += 0.3f + 0.1f * Rnd();
    if (cell[2] > 0) cell[2] = 0;
  }
  const float px = m_GridX0 + (static_cast<float>(x) + cell[1]) * cs;
  const float py = m_GridY0 + (static_cast<float>(y) + cell[2]) * cs;

  if (flash > 0) cell[kCellTaken] = 0;
  if (flash == 2) {
    for (int i = 0; i < kChainEntries; ++i) {
      if (m_Player[PL_CHAIN_X + i] != static_cast<float>(x) ||
          m_Player[PL_CHAIN_Y + i] != static_cast<float>(y))
        continue;
      if (cell[0] == 0) continue; // burst once, whatever the chain holds twice
      for (int f = 0; f < kCellFloats; ++f) cell[f] = 0;
      for (int k = 0; k < 8; ++k) {
        for (float speed : {1.0f, 4.0f}) {
          const int colour = 4 + static_cast<int>(std::floor(2.99f * Rnd()));
          const float angle = 45.0f * static_cast<float>(k) - 8 + 16 * Rnd();
          p_ThrowParticle2(px, py, colour, angle, speed + 0.5f * Rnd());
        }
      }
    }
  }

  if (cell[0] != 0) {
    const int frame = static_cast<int>(cell[0]) - 1 + (cell[kCellTaken] != 0 ? kTakenFrames : 0);
    p_DrawImg(kTilesImage, px, py, frame);
  }

  // Touch picking; not in the update that ends a word, whose chain is still being cleared.
  if (m_Down == 0 || cell[0] == 0 || cell[kCellTaken] != 0 || m_GameEnded != 0 || flash > 0 || m_HideHud == 1)
    return;
  const float reach = 0.3f * cs * std::sqrt(2.0f);
  for (int i = 0; i < 10; ++i) {
    if (m_TouchDown[i] == 0) continue;
    const float tx = static_cast<float>(m_TouchX[i]) - px, ty = static_cast<float>(m_TouchY[i]) - py;
    if (tx * tx + ty * ty >= reach * reach || !p_NextToLast(x, y)) continue;
    m_Player[PL_CURSOR_X] = m_Player[PL_LAST_X] = static_cast<float>(x);
    m_Player[PL_CURSOR_Y] = m_Player[PL_LAST_Y] = static_cast<float>(y);
    m_Player[PL_TOUCH_CHAIN] = 1;
    p_AddLetter(x, y);
    return;
  }
}
