// game/shell.cpp — the shell: start-up, the loading sequence and its screen, the update in
// its fixed order with the screen states, pause handling, clearing game state, suspend and
// resume, and ending the program with progress saved.
// Depends on: my_app.h, globals.h, app (input, update rate, host), audio, runtime.
#include <cmath>
#include <sys/stat.h>

#include "app/app.h"
#include "audio/sound.h"
#include "globals.h"
#include "graphics/drawing.h"
#include "host/platform.h"
#include "my_app.h"
#include "net/async.h"
#include "runtime/errors.h"

// ============================================================================
// [SECTION] Start-up and loading
// ============================================================================

namespace {

// Says once, with the folder looked for, when the game's data folder is not there.
void ReportMissingDataFolder() {
  static bool reported = false;
  if (reported || !zu_app__game) return;
  String folder = zu_app__game->PathToFilePath(String("quokka://data/"));
  struct stat st;
  if (stat(platform::FileNameBytes(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  reported = true;
  zuPrint(String("Data folder not found: ") + folder);
}

} // namespace

int c_MyApp::p_OnCreate() {
  m_Fullscreen = 0;
  m_JinglePlayed = 0;
  m_MenuSel = 1;
  m_MenuAngle = -32;
  if (zu_Tessel_J_On_Allow == 1)
    p_GetURL(zu_Tessel_CheckInUrl, String("hello=1&gameID=") + String(zu_Tessel_GameNum));
  m_GameMode = 1;
  zu_app_SetUpdateRate(60);
  m_LastDevWidth = zu_app_DeviceWidth();
  m_LastDevHeight = zu_app_DeviceHeight();
  ReportMissingDataFolder();
  p_Reload();
  m_GameLength = 2;
  m_PauseMenuShown = -1;
  m_PauseSlide = -64;
  m_Paused = 0;
  m_MenuIntro = -32;
  m_PanelW = 50;
  for (int i = 0; i < 15; ++i) {
    m_BadgeIds[i] = 0;
    m_BadgeTimers[i] = 0;
  }
  for (int i = 0; i < 128; ++i) m_Badges[i] = false;
  for (int i = 0; i < 19; ++i) m_VButtons[i] = 0;
  for (int i = 0; i < 25; ++i) m_Settings[i] = 0;
  m_Settings[5] = 1;
  for (int i = 0; i <= 30; ++i) m_HighScores[i] = 0;
  p_Load();
  for (int i = 0; i <= 32; ++i) m_SfxMap[i] = i;
  return 0;
}

// Level 1 below 631 pixels, 2 from 631, 4 from 1231 in either direction. A window with no
// drawable area (minimised) keeps the level it has.
int c_MyApp::p_PickDetailLevel() {
  int w = zu_app_DeviceWidth(), h = zu_app_DeviceHeight();
  if (zu_Tessel_UseHDImages != 0 && (w <= 0 || h <= 0)) return 0;
  m_HDLevel = 1;
  if (zu_Tessel_UseHDImages != 0) {
    if (w >= 631 || h >= 631) m_HDLevel = 2;
    if (w >= 1231 || h >= 1231) m_HDLevel = 4;
  }
  m_HDScale = 1.0f / static_cast<float>(m_HDLevel);
  return 0;
}

int c_MyApp::p_Reload() {
  m_ClsRed = m_ClsGreen = m_ClsBlue = 0;
  m_ClsAlpha = 1;
  p_PickDetailLevel();
  p_LoadImg(93, String("common/OrboLogo"), 256, 256, 1, 1);
  p_LoadFont(90, String("fonts/shadow_editundo"), 7, 10); // for the loading screen's text
  m_LoadStep = 1;
  return 0;
}

int c_MyApp::p_Loader() {
  p_PickDetailLevel();
  switch (m_LoadStep) {
  case 1:
    p_LoadImg(97, String("common/icons"), 32, 32, 16, 1);
    p_LoadSFX(96);
    p_ReserveImg(81, 2048, 2048);
    m_ReservedImage = 81;
    break;
  case 2:
    p_LoadImg(95, String("common/Buttons"), 64, 64, 16, 1);
    p_LoadSFX(1);
    break;
  case 3:
    p_LoadImg(94, String("common/dpad"), 32, 32, 16, 1);
    p_LoadSFX(98);
    break;
  case 4:
    p_LoadImg(93, String("common/OrboLogo"), 256, 256, 1, 1);
    if (m_JinglePlayed == 0) {
      p_PlaySFX(96, 1, 1, 0);
      m_JinglePlayed = 1;
    }
    break;
  case 5:
    p_LoadFont(90, String("fonts/shadow_editundo"), 7, 10);
    p_LoadSFX(99);
    break;
  case 6:
    p_LoadImg(99, String("menu"), 256, 256, 4, 1);
    p_LoadImg(98, String("logo"), 256, 128, 1, 1);
    p_LoadSFX(95);
    break;
  case 7:
    p_LoadImg(80, String("BadgesA"), 64, 64, 64, 1);
    p_LoadImg(96, String("parts"), 8, 8, 256, 1);
    break;
  case 8:
    p_LoadImg(85, String("common/circle"), 256, 256, 4, 1);
    p_LoadImg(86, String("common/light"), 32, 32, 4, 1);
    break;
  case 9:
    p_LoadImg(1, String("Bubbles"), 32, 32, 64, 1);
    break;
  case 10:
  case 11:
    p_LoadSFX(m_LoadStep - 9);
    p_LoadSFX(m_LoadStep);
    break;
  case 12:
  case 13:
  case 14:
  case 15:
  case 16:
  case 17:
    p_LoadSFX(m_LoadStep - 9);
    p_LoadSFX(m_LoadStep + 8);
    break;
  case 18:
    p_LoadSFX(26);
    p_LoadSFX(27);
    break;
  case 19:
    p_LoadSFX(28);
    break;
  default:
    m_LoadStep = 0;
    p_BankLoad();
    break;
  }
  if (m_LoadStep > 0) m_LoadStep += 1;
  p_WaitStart(1);
  return 0;
}

int c_MyApp::p_WaitStart(int mode) {
  float w = zu_Tessel_jscrw, h = zu_Tessel_jscrh;
  float s = static_cast<float>(static_cast<int>(w < h ? w : h));
  const float kDeg = 3.14159265358979f / 180.0f;
  p_DoBG(0, 0, 0, -123);
  m_Spin += 3;
  // One ring of 11 dots fading in along the turn.
  auto ring = [&](float r, float g, float b, float start, float radius, float dot) {
    for (int i = 0; i <= 10; ++i) {
      float a = (start + 4.0f * static_cast<float>(i)) * kDeg;
      p_SetCol(r, g, b, static_cast<float>(i) / 10.0f);
      p_Oval(w / 2 + std::sin(a) * s * radius, h / 2 - std::cos(a) * s * radius, dot, dot);
    }
  };
  if (mode == 1) ring(0, 125, 255, static_cast<float>(m_Spin), 0.45f, 16);
  p_SetCol(255, 255, 255, 1);
  p_SetSize(2, 2);
  p_DrawImg(93, w / 2, 0.48f * h, 0);
  p_SetSize(1, 1);
  if (mode == 1) {
    ring(255, 125, 0, static_cast<float>(m_Spin) + 120, 0.4f, 12);
    ring(255, 125, 0, static_cast<float>(m_Spin) + 240, 0.35f, 8);
  }
  p_SetCol(255, 255, 255, 1);
  p_SetSize(1, 1);
  p_Text(w / 2, h - 32, String("Loading..."), 1, 1, 0);
  return 0;
}

// ============================================================================
// [SECTION] One update
// ============================================================================

int c_MyApp::p_OnUpdate() {
  // Word-list slices.
  if (m_BankState == 1) p_BankLoad();
  m_VButtons[19] = zu_input_KeyHit(416);

  // The window may leave full screen by itself (a browser's own Escape key): the option follows.
  if (ZuWindowHost* window = zu_app__game ? zu_app__game->WindowHost() : nullptr) {
    const int full = window->WindowFullscreen();
    if (full >= 0) m_Fullscreen = full;
  }

  // Hot keys.
  if (zu_input_KeyHit(112)) zu_Tessel_DebugMode = zu_Tessel_DebugMode == 0 ? 1 : 0;
  if (zu_input_KeyHit(113)) m_HideHud = m_HideHud == 0 ? 1 : 0;
  if (zu_input_KeyHit(122)) p_FullscreenFlip();
  if (zu_input_KeyHit(115) || zu_input_KeyHit(432)) {
    p_Save(); // nothing made during play is lost on the way out
    zuError(String());
  }
  // Finished asynchronous operations (the check-in) are delivered here.
  zu_asyncevent_UpdateAsyncEvents();

  // Music follows the pause state.
  if (zu_Tessel_HasMusicStream == 1 && zu_audio_device) {
    if (m_Paused != 0 && m_MusicOn == 1)
      zu_audio_device->PauseMusic();
    else if (m_MusicOn == 1)
      zu_audio_device->ResumeMusic();
  }

  // Update-rate meter; a clock that has not moved reuses the last measured rate.
  int now = zu_app_Millisecs();
  if (now > m_UpdateLastMs)
    m_UpdateFps = static_cast<int>(1000.0f / static_cast<float>(now - m_UpdateLastMs));
  m_UpdateFpsAvg = static_cast<int>(static_cast<float>(m_UpdateFps + 9 * m_UpdateFpsAvg) / 10.0f);
  // A paused game's clock stands still: its end moves on by the time spent paused (suspended
  // time included, as a suspended game comes back paused).
  if (m_GameMode == 10 && m_Paused != 0 && now > m_UpdateLastMs)
    m_Player[PL_END_TIME] += static_cast<float>(now - m_UpdateLastMs);
  m_UpdateLastMs = now;

  // Pointer snapshot in virtual units. Before the first frame there is no scale yet.
  float ox = zu_Tessel_overscan;
  int devW = zu_app_DeviceWidth(), devH = zu_app_DeviceHeight();
  float oy = devW > 0 ? ox * static_cast<float>(devH) / static_cast<float>(devW) : 0;
  float sx = m_ScaleX > 0 ? m_ScaleX : 1, sy = m_ScaleY > 0 ? m_ScaleY : 1;
  m_MouseX = static_cast<int>((zu_input_MouseX() - ox) / sx);
  m_MouseY = static_cast<int>((zu_input_MouseY() - oy) / sy);
  m_Down = zu_input_MouseDown(0) ? 1 : 0;
  for (int i = 0; i < 10; ++i) {
    m_TouchDown[i] = 0;
    m_TouchX[i] = m_TouchY[i] = NO_TOUCH;
    if (zu_input_TouchDown(i)) {
      m_TouchDown[i] = 1;
      m_TouchX[i] = static_cast<int>((zu_input_TouchX(i) - ox) / sx);
      m_TouchY[i] = static_cast<int>((zu_input_TouchY(i) - oy) / sy);
      m_Down = 1;
    }
  }
  if (m_Down == 0) m_TouchLatch = 0;

  // Key latch: a held key counts once.
  static const int kGameKeys[] = {0, 3, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17, 99};
  bool held = false;
  for (int player = 0; player < 4 && !held; ++player)
    for (int key : kGameKeys)
      if (p_PlayKey(key, 1, player)) {
        held = true;
        break;
      }
  if (!held) m_KeyLatch = 0;
  const bool back = p_PlayKeyAll(CTRL_BACK, 1) > 0;
  if (!back) m_BackLatch = 0;
  if (held && m_KeyLatch == 0 && m_TouchLatch == 0 && m_GameMode == 1 && back &&
      (m_OptionsOpen == 1 || m_SidePanelOpen == 1)) {
    m_SidePanelOpen = 0;
    m_KeyLatch = m_TouchLatch = m_BackLatch = 1;
  }
  if (m_OptionsOpen == 1) m_KeyLatch = m_TouchLatch = 1;

  if (m_LoadStep == 0) {
    p_RunScreen();
    if (m_OptionsOpen == 1 || m_OptionsSlide > 0) {
      p_OptionBox();
      if (m_OptionsOpen == 1) {
        if (m_OptionsSlide < 30) m_OptionsSlide += 1;
      } else if (m_OptionsSlide > 0) {
        m_OptionsSlide -= 1;
      }
    }
    if (m_SidePanelOpen == 0) {
      if (m_SidePanelX > 0) {
        m_SidePanelX -= m_SidePanelX / 8;
        if (m_SidePanelX < 8) m_SidePanelX = 0;
      }
    } else {
      float t = zu_Tessel_jscrw - 140;
      if (m_SidePanelX < t) {
        m_SidePanelX += (t - m_SidePanelX) / 8;
        if (t - m_SidePanelX < 8) m_SidePanelX = t;
      }
    }
  }
  if (m_LoadStep > 0) p_Loader();

  // Key-pair controller characters.
  if (zu_Tessel_iCadeControls == 1) {
    for (;;) {
      int c = zu_input_GetChar();
      if (c == 0) break;
      p_iCadeChar(c);
    }
  }
  // One-update presses end here; held buttons (2) stay.
  for (int i = 0; i < 19; ++i)
    if (m_VButtons[i] == 1) m_VButtons[i] = 0;

  if (zu_Tessel_DebugMode == 1) {
    p_SetCol(255, 255, 255, 1);
    p_SetSize(1, 1);
    p_Text(16, zu_Tessel_jscrh - 16, String(m_RenderFpsAvg) + ":" + String(m_ScaleX) + "," + String(m_ScaleY),
           0, 0, 0);
  }
  p_ShowBadges();
  return 0;
}

// The screen of the current state. Each state begins its frame (a backdrop) so that records
// never pile up from one update to the next.
int c_MyApp::p_RunScreen() {
  switch (m_GameMode) {
  case 1:
    m_Paused = m_PauseMenuShown = 0; // the menu is never paused (its music plays on)
    p_Menu();
    if (m_GameMode == 1 || m_GameMode == 2) p_GameOver();
    break;
  case 11:
    p_DoBG(-1, -123, -123, -123);
    m_Word = String();
    m_LastWord = String();
    m_LastWordScore = m_WordScore = 0; // no score of the last game reaches this one's records
    p_LoadGame_Snake();
    break;
  case 10:
    if (m_Paused == 0) p_Game_Snake();
    p_InGame();
    if (m_GameMode == 10 && m_GameEnded > 0) p_GameOver();
    break;
  case 2:
    m_Paused = m_PauseMenuShown = 0;
    p_DoBG(-1, -123, -123, -123);
    p_LoadMenu();
    p_PlaySFX(96, 1, 1, 0);
    m_GameMode = 1;
    p_GameOver();
    break;
  default:
    break;
  }
  return 0;
}

// ============================================================================
// [SECTION] Pause handling during a game
// ============================================================================

int c_MyApp::p_InGame() {
  p_ResetDraw();
  m_MenuIntro = -32;
  // Once the game has ended (the overlay runs) it can no longer be paused.
  const bool open = m_GameEnded == 0;
  const bool requested = p_PlayKeyAll(CTRL_BACK, 1) > 0 && m_BackLatch == 0;
  if (open && requested && m_Paused == 0 && m_KeyLatch == 0) {
    m_KeyLatch = m_Paused = m_PauseMenuShown = 1;
    m_PauseSel = 0;
    p_PlaySFX(98, 1, 0.5f, 0);
  }
  if (m_HideHud != 1) {
    p_Alpha(0.2f);
    if (p_Button2(16, 16, 0) && open && m_Paused == 0) {
      m_Paused = m_PauseMenuShown = m_TouchLatch = 1;
      m_PauseSel = 0;
      p_PlaySFX(98, 1, 0.5f, 0);
    }
    p_Alpha(1);
  }
  if (m_Paused == 1) p_PauseMenu();
  return 0;
}

// ============================================================================
// [SECTION] Clearing game state
// ============================================================================

int c_MyApp::p_ResetObj() {
  for (int i = 0; i < 5100; ++i) m_Objects[i] = 0;
  return 0;
}

int c_MyApp::p_ResetGrid() {
  for (int i = 0, n = m_Grid.Length(); i < n; ++i) m_Grid[i] = 0;
  return 0;
}

int c_MyApp::p_ResetPlayers() {
  for (int i = 0; i < 500; ++i) m_Player[i] = 0;
  return 0;
}

int c_MyApp::p_FlushGame() {
  p_ResetObj();
  p_ResetGrid();
  p_ResetStars(100);
  p_ResetParticles(250);
  p_ResetPlayers();
  m_Paused = m_Score = m_GameEnded = m_GameOverTimer = m_QuitGame = m_OverPlace = 0;
  m_CamX = m_CamY = m_CamRestX = m_CamRestY = 0;
  return 0;
}

// ============================================================================
// [SECTION] Suspend, resume and ending
// ============================================================================

// A game always comes back paused with the pause menu at mid-screen; the menu unpaused, and a
// game whose time is up too (its overlay runs on to the menu).
void c_MyApp::p_PauseForSuspend() {
  if (m_GameMode < 10 || m_GameEnded != 0) {
    m_Paused = m_PauseMenuShown = m_PauseSlide = 0;
  } else {
    m_Paused = m_PauseMenuShown = 1;
    m_PauseSlide = static_cast<int>(zu_Tessel_jscrh / 2);
  }
}

int c_MyApp::p_OnSuspend() {
  if (zu_app__game) zu_app__game->SetKeyboardEnabled(false);
  zu_Tessel_iCadeControls = 0;
  for (int i = 0; i < 19; ++i) m_VButtons[i] = 0;
  p_PauseForSuspend();
  zu_app_SetUpdateRate(5);
  p_Save();
  return 0;
}

int c_MyApp::p_OnResume() {
  p_PauseForSuspend();
  zu_app_SetUpdateRate(60);
  if (zu_app__game) zu_app__game->SetKeyboardEnabled(false);
  zu_Tessel_iCadeControls = 0;
  for (int i = 0; i < 19; ++i) m_VButtons[i] = 0;
  return 0;
}

int c_MyApp::p_OnClose() {
  p_Save();
  zu_app_EndApp();
}

int c_MyApp::p_OnBack() {
  p_Save();
  zu_app_EndApp();
}
