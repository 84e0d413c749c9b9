// game/score.cpp — the game's score line and clock (eased score, current and last word, the
// best- and longest-word records, the place, the countdown), the game-over overlay, the place
// texts, and the steps into and out of a game: starting one, pausing and resuming.
// Depends on: my_app.h, globals.h (virtual screen, music flag), app (millisecond clock),
// audio (music).
#include <cmath>
#include <cstdlib>

#include "app/app.h"
#include "audio/sound.h"
#include "globals.h"
#include "my_app.h"

namespace {

constexpr int kTilesImage = 1;
constexpr int kClockFrame = 29, kDotFrame = 30;
constexpr int kOverlayUpdates = 90; // the overlay's run in a game before the score is recorded
constexpr int kOverlayFadeFrom = 73;

const char16_t kBlank[] = u"[";
const char16_t kShownBlank[] = u"?";

double Sin(double degrees) { return std::sin(degrees * (M_PI / 180.0)); }
double Cos(double degrees) { return std::cos(degrees * (M_PI / 180.0)); }

} // namespace

// ============================================================================
// [SECTION] Score, words, place and clock
// ============================================================================

int c_MyApp::p_ScoreDisplay() {
  int s = m_ShownScore - (m_ShownScore - m_Score) / 6;
  if (std::abs(s - m_Score) < 6) s = m_Score;
  m_ShownScore = s;
  if (m_HideHud == 1) return 0; // neither drawn nor counted: the clock stands still

  const float w = zu_Tessel_jscrw;
  static const String blank(kBlank), shown(kShownBlank);
  p_SetCol(100, 255, 100, 0.8f);
  p_SetSize(2);
  p_Text(48, 28, p_rstr(m_ShownScore, 8, String("0")), 0, 1);
  p_SetCol(255, 255, 0, 1);
  p_Text(200, 32, p_rstr(p_ScoreWord(m_Word), 3, String(" ")) + String(":") + m_Word.Replace(blank, shown), 0,
         1);
  p_SetCol(255, 180, 0);
  p_SetSize(1);
  // The last word's score was found when it ended: no second look through the list.
  p_Text(224, 12, p_rstr(m_LastWordScore, 3, String(" ")) + String(":") + m_LastWord.Replace(blank, shown), 0,
         1);

  // Records of this game length: the best word by score, the longest by letters.
  const int p = m_LastWordScore, L = m_GameLength;
  if (p > 0 && L >= 1 && L <= 3) {
    const int best = 2 * (L - 1), longest = best + 1;
    if (p > m_BestWordScores[best]) {
      m_BestWordScores[best] = p;
      m_BestWords[best] = m_LastWord.Replace(blank, shown);
      p_PlaySFX(95, 1, 1, 0);
    }
    if (m_BestWords[longest].Length() < m_LastWord.Length()) {
      m_BestWordScores[longest] = p;
      m_BestWords[longest] = m_LastWord.Replace(blank, shown);
      p_PlaySFX(95, 1, 1, 0);
    }
  }

  // The place this score holds in the top ten, and the score to beat next.
  int place = 11, target = 0;
  if (L >= 1 && L <= 3) {
    const int base = 10 * (L - 1);
    target = m_HighScores[base + 9];
    for (int k = 10; k >= 1; --k) {
      const int stored = m_HighScores[base + k - 1];
      if (stored < m_Score || stored == 0) {
        place = k;
        target = m_HighScores[base + (k > 1 ? k - 2 : 0)];
      }
    }
  }
  p_SetCol(255, 255, 100, 0.8f);
  p_Text(48, 10, p_Nth(place) + String(" ") + p_rstr(target, 8, String("0")), 0, 1);

  // The clock: updates left and real time left, whichever is less.
  m_Player[PL_UPDATES_LEFT] -= 1;
  const double msLeft = static_cast<double>(m_Player[PL_END_TIME]) - zu_app_Millisecs();
  m_Player[PL_MS_LEFT] = static_cast<float>(msLeft);
  const double t = std::fmin(std::trunc(m_Player[PL_UPDATES_LEFT] * 16.666666), std::trunc(msLeft));
  int seconds = 0, ms = 0;
  if (t < 0) {
    m_GameEnded = 1;
  } else {
    seconds = static_cast<int>(t / 1000);
    ms = static_cast<int>(std::fmod(t, 1000.0));
  }
  p_DrawImg(kTilesImage, w - 32, 32, kClockFrame);
  const double a = std::trunc(ms / 2.7777777);
  p_SetSize(0.25f);
  p_DrawImg(kTilesImage, static_cast<float>(w - 32 + 14 * Sin(a)), static_cast<float>(32 - 14 * Cos(a)),
            kDotFrame);
  if (seconds > static_cast<int>(m_Player[PL_SECONDS])) seconds = static_cast<int>(m_Player[PL_SECONDS]);
  if (static_cast<float>(seconds) <= m_Player[PL_TICKS]) {
    m_Player[PL_TICKS] -= 1;
    if (m_Player[PL_TICKS] > -1)
      p_PlaySFX(98, 1, 1, 0);
    else if (m_Player[PL_TICKS] == -1)
      p_PlaySFX(99, 1, 1, 0);
  }
  p_SetSize(2);
  p_Text(w - 32, 32, String(seconds), 1, 1);
  p_SetSize(1);
  p_SetCol(255, 255, 255, 1);
  return 0;
}

// ============================================================================
// [SECTION] Places
// ============================================================================

String c_MyApp::p_Nth(int n) {
  if (n < 1 || n > 30) return String();
  const int units = n % 10;
  const char* suffix = "th";
  if (n < 11 || n > 13) {
    if (units == 1) suffix = "st";
    if (units == 2) suffix = "nd";
    if (units == 3) suffix = "rd";
  }
  return String(n) + String(suffix);
}

String c_MyApp::p_PlaceText(int place) {
  if (place < 1 || place > 10) return String();
  return place == 1 ? String("1st!") : p_Nth(place);
}

String c_MyApp::p_MyNth() {
  m_i = 0;
  if (m_GameLength < 1 || m_GameLength > 3) return String();
  const int base = 10 * (m_GameLength - 1);
  for (int k = 1; k <= 10; ++k)
    if (m_Score >= m_HighScores[base + k - 1]) {
      m_i = k;
      return p_PlaceText(k);
    }
  return String();
}

// The rule of the recording step (p_LoadMenu): the score goes in above the first stored score
// that it beats. A tie with the 10th, or nothing scored over a table of zeros, goes nowhere.
int c_MyApp::p_RecordPlace() {
  if (m_GameLength < 1 || m_GameLength > 3) return 0;
  const int base = 10 * (m_GameLength - 1);
  for (int k = 0; k < 10; ++k)
    if (m_HighScores[base + k] < m_Score) return k + 1;
  return 0;
}

// ============================================================================
// [SECTION] Game over
// ============================================================================

int c_MyApp::p_GameOver() {
  const int t = m_GameOverTimer;
  // The banner's place is the one the score will be recorded at, decided while the game is
  // still on screen: once recorded, the table holds the score itself and the answer would
  // change while the overlay fades.
  if (m_GameMode == 10) m_OverPlace = p_RecordPlace();
  const float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  if (t > 0) {
    m_KeyLatch = m_TouchLatch = 1;
    p_SetCol(0, 0, 0, std::fmin(static_cast<float>(t) / 40, 0.7f));
    p_Rect(-1, -1, w + 2, h + 2);
    const float b = std::fmin(12.0f * static_cast<float>(t), 0.45f * h);
    p_SetSize(1);
    p_SetCol(255, 255, 0, 0.5f);
    p_Rect(-1, 0.45f * h - 8, 2 * b, 16);
    p_SetCol(255, 128, 0, 0.5f);
    p_Rect(w - 2 * b, 0.55f * h - 8, 2 * b + 1, 16);
    p_SetSize(4);
    p_SetCol(255, 180, 180, 1);
    const bool quit = m_QuitGame == -1;
    p_Text(0.35f * w, b, String(quit ? "Quit" : "GAME"), 1, 1);
    p_Text(0.65f * w, h - b, String(quit ? "Game" : "OVER"), 1, 1);
    if (m_OverPlace > 0) {
      p_SetCol(0, 125, 255, 0.5f);
      p_Rect(0.35f * w, h - b / 1.5f - 16, 0.3f * w, 32);
      p_SetSize(2);
      p_SetCol(100, 255, 100); // at the box's alpha
      p_Text(0.5f * w, h - b / 1.5f, String("New Highscore\\n           ") + p_PlaceText(m_OverPlace), 0.5f,
             2);
    }
    p_ResetDraw();
  }
  if (m_GameMode == 10) {
    m_GameOverTimer = t + 1;
    if (m_GameOverTimer == kOverlayUpdates) {
      m_GameMode = 2;
      if (zu_Tessel_HasMusicStream == 1) {
        if (zu_audio_device) zu_audio_device->StopMusic();
        m_MusicOn = 0;
      }
      m_GameOverTimer = kOverlayFadeFrom;
    }
  } else if (m_GameMode < 10) {
    m_GameOverTimer = t > 2 ? t - 2 : 0;
  }
  return 0;
}

// ============================================================================
// [SECTION] Into and out of a game
// ============================================================================

int c_MyApp::p_StartGame() {
  if (m_Down > 0) {
    m_ControlMode = 2;
  } else {
    m_ControlMode = 1;
    for (int c = 10; c <= 15; ++c)
      if (p_PlayKey(c, 1, -1)) m_ControlMode = 0;
  }
  m_KeyLatch = m_TouchLatch = 1;
  m_MenuAngle = -32.0f * static_cast<float>(m_MenuSel);
  m_GameMode = 11;
  return 0;
}

int c_MyApp::p_ResumeGame() {
  m_Paused = 0;
  m_PauseMenuShown = -1;
  m_KeyLatch = 1;
  m_Player[PL_SELECT_LATCH] = m_Player[PL_CANCEL_LATCH] = 1;
  return 0;
}
