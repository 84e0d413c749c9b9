// game/my_app.h — c_MyApp, the game: every field grouped by concern, and its methods, which
// are defined over the game/ files named in each section.
// Depends on: app, graphics, audio, net (data buffers), runtime.
#pragma once

#include "app/app.h"
#include "audio/sound.h"
#include "graphics/image.h"
#include "net/data_buffer.h"
#include "net/http.h"
#include "runtime/array.h"
#include "runtime/string.h"

// Values with a fixed meaning across the game.
constexpr int NOT_GIVEN = -3717; // an omitted optional argument
constexpr int NO_TOUCH = -3717;  // coordinates of an inactive touch
constexpr int KIND_RECT = -3717; // draw record kinds besides image slots 0..99
constexpr int KIND_OVAL = -3716;
constexpr int KIND_LINE = -3715;
constexpr int SEED_FROM_CLOCK = -37171650;
constexpr int kRecordFloats = 15;       // floats per draw record
constexpr int kDrawQueueFloats = 37500; // 2500 records, of which 2499 are ever used
constexpr int kLastRecordStart = 37484; // a record is appended only while m_DrawCount <= this
constexpr int kMaxFormedLength = 19;    // letters the word being formed may hold (and so any saved word)

// The board: ten floats a cell, cell (x, y) at record x + kGridStride * y.
constexpr int kCellFloats = 10;
constexpr int kGridStride = 20;
constexpr int kCellTaken = 8; // float of a cell: 1 while its tile is in the chain
// Room for a board of up to kGridStride x kGridStride cells (the board is 7 x 7); cleared at the
// start of every game, so it is kept no larger than any board can use.
constexpr int kGridFloats = kGridStride * kGridStride * kCellFloats;

// Entries of the player record (m_Player).
enum PlayerEntry {
  PL_CURSOR_X = 1,
  PL_CURSOR_Y = 2,
  PL_LAST_X = 3, // cell of the last tile taken; x = -1 while the chain is empty
  PL_LAST_Y = 4,
  PL_DIR_LATCH = 20,
  PL_SELECT_LATCH = 22, // select/complete
  PL_CANCEL_LATCH = 23,
  PL_DRAG = 25,        // select was held while the cursor moved
  PL_FLASH = 28,       // the word-end flash of this update
  PL_WORD_END = 29,    // 1 after a word end, 2 after a word that scored
  PL_TAKEN_LATCH = 31, // select pressed on a tile already in the chain
  PL_TOUCH_CHAIN = 36,
  PL_TICKS = 92, // countdown ticks left
  PL_SECONDS = 95,
  PL_MS_LEFT = 97,
  PL_END_TIME = 98, // the host's millisecond clock value at which the game ends
  PL_UPDATES_LEFT = 99,
  PL_CHAIN_X = 100, // 100 + n, 200 + n: the cell of the chain's n-th letter
  PL_CHAIN_Y = 200,
};
constexpr int kChainEntries = 21; // chain entries 0..20
// The menu wheel's key repeat: updates until the next step, and the next delay. Only the menu
// uses them; a game clears the record when it starts.
constexpr int PL_MENU_REPEAT = 21, PL_MENU_DELAY = 22;

constexpr int kPenTrailLength = 90; // positions of the pause menu's pen trail

// Controls of the control query (p_PlayKey): directions, buttons A B X Y L R, pause and back.
constexpr int CTRL_UP = 0, CTRL_LEFT = 3, CTRL_RIGHT = 5, CTRL_DOWN = 8;
constexpr int CTRL_A = 10, CTRL_B = 11, CTRL_X = 12, CTRL_Y = 13, CTRL_R = 15, CTRL_PAUSE = 98,
              CTRL_BACK = 99;

class c_MyApp : public c_App, public c_IOnHttpRequestComplete {
public:
  c_MyApp* m_new(); // every field at its initial value; the big arrays allocated once
  void mark() override;

  // ==========================================================================
  // [SECTION] Shell: screens, loading, virtual screen, draw queue replay  (shell.cpp)
  // ==========================================================================
  int m_GameMode = 0;       // 0 constructed, 1 menu, 11 starting, 10 in play, 2 finished
  int m_LoadStep = 0;       // 0 idle, 1..20 loading steps
  int m_HDLevel = 1;        // image detail level 1, 2 or 4
  float m_HDScale = 1;      // 1 / m_HDLevel
  Array<c_Image*> m_Images; // 100 slots
  Array<int> m_ImageInfo;   // 300: frame width, height, count per slot
  int m_FontImage = 0;
  int m_ReservedImage = 0;
  int m_JinglePlayed = 0;
  int m_Spin = 0;
  int m_GameLength = 0; // 1..3
  int m_LastDevWidth = 0, m_LastDevHeight = 0;
  float m_ScaleX = 0, m_ScaleY = 0; // device pixels per virtual unit
  int m_FitMode = 0;
  int m_Landscape = 0;
  float m_ClsRed = 0, m_ClsGreen = 0, m_ClsBlue = 0, m_ClsAlpha = 0;
  int m_DrawCount = 0;      // floats used in m_DrawQueue
  Array<float> m_DrawQueue; // kDrawQueueFloats
  // Pointer and input snapshot, in virtual units.
  int m_MouseX = 0, m_MouseY = 0;
  int m_Down = 0;
  Array<int> m_TouchDown, m_TouchX, m_TouchY; // 10 each
  int m_TouchLatch = 0;
  int m_KeyLatch = 0;
  int m_BackLatch = 0;   // a back press closed a box or panel: back does nothing more until let go
  Array<int> m_VButtons; // 20
  // Flow, timing and game flags.
  int m_Paused = 0;
  int m_PauseMenuShown = 0, m_PauseSlide = 0;
  int m_OptionsOpen = 0;
  int m_OptionsSlide = 0;
  int m_SidePanelOpen = 0;
  float m_SidePanelX = 0;
  int m_HideHud = 0;
  int m_GameEnded = 0;
  int m_GameOverTimer = 0;
  int m_QuitGame = 0;
  int m_Score = 0;
  int m_HSBase = 0;
  int m_UpdateLastMs = 0, m_UpdateFps = 0, m_UpdateFpsAvg = 0;
  int m_RenderLastMs = 0, m_RenderFps = 0, m_RenderFpsAvg = 0;
  int m_i = 0, m_j = 0, m_x = 0, m_y = 0; // shared loop counters

  int p_OnCreate() override;
  int p_OnUpdate() override;
  int p_OnRender() override;
  int p_OnSuspend() override;
  int p_OnResume() override;
  int p_OnClose() override; // saves, then ends
  int p_OnBack() override;  // saves, then ends
  int p_Reload();
  int p_Loader();
  int p_WaitStart(int mode);
  int p_InGame();
  int p_PickDetailLevel();
  int p_FlushGame();
  int p_ResetObj();
  int p_ResetGrid();
  int p_ResetPlayers();
  int p_RunScreen();             // the work of the current screen state in one update
  int p_FitScreen(int w, int h); // the virtual screen for a w x h device; 0 x 0 keeps it
  void p_PauseForSuspend();      // the pause rule shared by suspend and resume

  // ==========================================================================
  // [SECTION] Drawing helpers, text, backdrop, stars, particles  (draw.cpp, text.cpp, effects.cpp)
  // ==========================================================================
  float m_SizeX = 0, m_SizeY = 0, m_Rot = 0;
  float m_Red = 0, m_Green = 0, m_Blue = 0, m_Alpha = 0;
  int m_Blend = 0;
  float m_BgTargetRed = 0, m_BgTargetGreen = 0, m_BgTargetBlue = 0;
  float m_BgRed = 0, m_BgGreen = 0, m_BgBlue = 0;
  int m_StarMax = 100;
  Array<float> m_Stars; // 5100: ten floats a star
  int m_ParticleMax = 250;
  Array<float> m_Particles; // 5100: ten floats a particle
  int m_ControlMode = 0;    // which button glyphs the text shows (pad or keyboard)

  // Draw state and records (draw.cpp). Every record helper drops its record once the queue
  // is full (m_DrawCount above kLastRecordStart).
  int p_ResetDraw();
  int p_SetSize(float sx, float sy = NOT_GIVEN);
  int p_SetRot(float a);
  int p_SetCol(float r, float g, float b, float a = NOT_GIVEN);
  int p_Alpha(float a);
  int p_Ink(int n, float brightness = 1);
  int p_DrawImg(int slot, float x, float y, int frame = 0);
  int p_Rect(float x, float y, float w, float h);
  int p_Oval(float x, float y, float rx, float ry);
  int p_Line(float x1, float y1, float x2, float y2);
  int p_CLS2D(float r = NOT_GIVEN, float g = 0, float b = 0, float a = 1);
  int p_DoBG(float r, float g, float b, float a);
  int p_Rand(int low, int high);
  int p_SeedRnd(int seed = SEED_FROM_CLOCK);
  int p_LoadImg(int slot, const String& name, int w, int h, int frames, int flags);
  int p_LoadFont(int slot, const String& name, int advance, int height);
  int p_ReserveImg(int slot, int w, int h);
  // Text (text.cpp): alignX / alignY 0 start, 1 middle, 2 end; a backslash and "n" break
  // the line; "¬" and a letter draw a button glyph.
  int p_Text(float x, float y, const String& text, float alignX = 0, float alignY = 0, int fontOffset = 0);
  String p_rstr(int value, int width, const String& pad);
  // Stars and particles (effects.cpp).
  int p_ResetStars(int n);
  int p_DoStars(float dx, float dy);
  int p_ResetParticles(int n);
  int p_FreeParticle(); // float index of the highest free slot, or -1
  int p_ThrowParticle(float x, float y, int kind, int colour, float angle = NOT_GIVEN,
                      float speed = NOT_GIVEN);
  // The same with the kind fixed at 3: the board's rising sparks.
  int p_ThrowParticle2(float x, float y, int colour, float angle = NOT_GIVEN, float speed = NOT_GIVEN);
  int p_DoParticles(float scale);

  // ==========================================================================
  // [SECTION] Word bank and word rules  (words.cpp)
  // ==========================================================================
  int m_BankState = 0; // 0 none, 1 loading, 2 loaded
  c_DataBuffer* m_BankBuffer = nullptr;
  int m_BankNext = 0;
  int m_BankCount = 0;
  Array<int> m_WordStore; // 2,500,005
  Array<int> m_Bag;       // 250
  int m_BagPos = 0;
  int m_BagSize = 0;
  Array<int> m_BagCounts, m_LetterValues;
  String m_Word;
  String m_LastWord;
  int m_LastWordScore = 0;
  int m_WordScore = 0;
  int m_CellIndex = 0;
  // The board, shared with the game itself.
  int m_GridW = 7, m_GridH = 7;
  Array<float> m_Grid;    // kGridFloats: ten floats a cell, cell (x, y) at record x + 20 y
  Array<float> m_Player;  // 512
  Array<float> m_Objects; // 5100

  void p_InitLetterTables(); // m_BagCounts and m_LetterValues from the letter table

  int p_BankLoad();                        // starts or continues loading the word list
  String p_GetWord(int first, int second); // unpacks a packed word
  String p_CheckWord(String word);         // the list word matching, "" when none
  int p_ScoreWord(String word);            // points the word would earn
  int p_CompleteWord();                    // ends the current word and scores it
  int p_AddLetter(int x, int y);           // takes the tile of cell (x, y) into m_Word
  int p_NewBag();                          // refills and shuffles the bag
  int p_GetTile(int mode);                 // draws a tile; mode 0: 29 on an empty bag
  String p_Chr(int code);                  // the one-character string of a code
  int m_BankMissingSaid = 0;               // the missing word list was reported once
  int m_BankSkipped = 0;                   // pairs of the list being loaded that hold no letters
  int m_BankWords = 0;                     // words kept from the list being loaded

  // ==========================================================================
  // [SECTION] Controls and sound cues  (controls.cpp, sound_cues.cpp)
  // ==========================================================================
  float m_AnalogX = 0, m_AnalogY = 0, m_KeyAnalogX = 0, m_KeyAnalogY = 0;
  Array<c_Sound*> m_Sounds; // 100
  Array<int> m_SfxMap;      // 33: effect slot -> audio channel
  int m_SfxChannel = 0;
  String m_TuneName;
  int m_MusicOn = 0;

  // Controls: 0 up, 3 left, 5 right, 8 down, 10..15 buttons A B X Y L R, 98 pause, 99 back.
  // Pad 0..3 reads keyboard, pad, stick (mode 1) and virtual buttons; pad -1 (and any pad
  // above 3, which has no buttons) keyboard and virtual buttons only; pads below -1 nothing.
  int p_PlayKey(int control, int mode, int pad);
  int p_PlayKeyAll(int control, int mode); // pads 0..3 summed (a held key gives 4)
  float p_StickX(int stick, int pad);
  float p_StickY(int stick, int pad); // after the stick's flip setting
  int p_iCade(int on);                // key-pair controller mode on (1) or off (0)
  int p_iCadeChar(int character);     // one queued character while the key-pair mode is on
  int p_AnalogueControl();
  // Sound cues: effects "sfx/NNN.wav" in slots 0..99, rotating over channels 0..23.
  String p_SfxFile(int n); // "sfx/007.wav", "sfx/028.wav", "sfx/100.wav"
  int p_LoadSFX(int n);
  int p_PlaySFX(int n, float rate, float volume, float pan);
  int p_PlayTune(String name, int flags); // "-1": the last tune again
  int p_StopTune();

  // ==========================================================================
  // [SECTION] Saved progress: settings, high scores, badges  (progress.cpp)
  // ==========================================================================
  Array<int> m_Settings;       // 25
  Array<bool> m_Badges;        // 256
  Array<int> m_HighScores;     // 150
  Array<int> m_BestWordScores; // 150
  Array<String> m_BestWords;   // 150
  Array<int> m_BadgeIds;       // 15
  Array<int> m_BadgeTimers;    // 15
  int m_BadgePanelW = 160;

  int p_Save();             // the save text to the host's state file
  int p_Load();             // the host's state text over the defaults, block by block
  int p_LoadMenu();         // enters m_Score in the tables of m_GameLength, then saves
  String p_BadgeID(int id); // "name|detail"
  String p_BadgeName(int id);
  String p_BadgeDetail(int id);
  int p_ShowBadges();          // the badge announcement strip
  String p_SaveText();         // the save text of the current state
  int p_LoadText(String text); // fills the saved fields from a save text

  // ==========================================================================
  // [SECTION] Menus, buttons, options box, pause menu, full screen
  //           (buttons.cpp, menu.cpp, options.cpp, pause_menu.cpp)
  // ==========================================================================
  int m_MenuSel = 1;
  float m_MenuAngle = 0;
  float m_MenuSpin = 0, m_MenuSpinVel = 0;
  int m_MenuFocus = 1;
  int m_MenuIntro = 0;
  float m_PanelW = 0;
  float m_GearAngle = 0;
  float m_CreditScroll = 0;
  int m_CreditLine = 0;
  int m_OptionsSel = 0;
  int m_OptionsKeyLatch = 0, m_OptionsTouchLatch = 0;
  int m_PauseSel = 0;
  int m_ButtonHit = 0;
  int m_Fullscreen = 0;
  int m_MenuTapPending = 0;                    // a tap chose an item; cleared once the pointer is up
  int m_DragPrevX = 0, m_DragPrevY = 0;        // the wheel drag's pointer at the previous update
  int m_DragHasPrev = 0;                       // 0 when the drag has no previous position yet
  float m_PenA1 = 0, m_PenA2 = 0, m_PenA3 = 0; // the pause menu's pen trail: three turning angles,
  float m_PenSpeed = 5.5f, m_PenRadius = 60;   // the speed of the second and its circle's radius
  Array<float> m_PenTrail;                     // the pen's last positions, x and y pairs
  int m_PenCount = 0;                          // positions held, up to the trail's length

  // Hit tests: each touch held in virtual units (p_Button tests coordinates only).
  int p_Button(int slot, float x, float y, int frame);  // records the image; 1 when touched
  int p_Button2(float x, float y, int frame);           // p_Button on the icons image (97)
  int p_Button0(int slot, float x, float y, int frame); // touch 0 only
  int p_Gear(float x, float y);                         // the options gear; 1 when touched
  int p_Touch(float x, float y, float w, float h);      // records the bar; generous margins
  int p_Touch2(float y, float w);                       // an options row: x 84, height 24
  int p_MouseIn(float x, float y, float w, float h);
  int p_MouseIn_Centered(float x, float y, float w, float h);
  int p_MouseIn_Radius(float x, float y, float w, float h);
  int p_FullscreenFlip(); // window <-> full screen through the host's window
  int p_Menu();
  int p_OptionBox();
  int p_PauseMenu();
  // Pieces of the menu (menu.cpp).
  void p_MenuScorePanel(float playX, float playY);
  void p_MenuWheel();
  void p_MenuKeys();
  void p_MenuCredits();
  int p_CreditLineAt(int k); // the credit line k lines from the current one, in the loop
  void p_MenuWords();
  void p_OptionRow(int row, float y); // one row of the options box: bar, text, activation
  int p_OptionsActivate(int row);
  int p_CloseOptions();
  void p_PenTrail(); // the pause menu's decoration and its controls

  // ==========================================================================
  // [SECTION] The board game: chains, falling tiles, score and clock  (board.cpp, score.cpp)
  // ==========================================================================
  float m_GridX0 = 0, m_GridY0 = 0; // virtual centre of cell (0, 0) this update
  float m_CamX = 0, m_CamY = 0, m_CamRestX = 0, m_CamRestY = 0;
  int m_ShownScore = 0;
  int m_OverPlace = 0; // the top-ten place the game-over banner shows, 0 for none

  int p_LoadGame_Snake(); // sets up a new game and switches to state 10
  int p_Game_Snake();     // one update of the game: board, input, particles, score display
  int p_ScoreDisplay();   // score, words, place and clock; the best-word records; end of time
  int p_GameOver();       // the game-over overlay and its counter
  String p_Nth(int n);    // "1st" .. "30th"; empty outside 1..30
  String p_MyNth();       // the place m_Score would take in the top ten; the place in m_i
  int p_StartGame();      // the menu's start of a game of m_GameLength
  int p_ResumeGame();     // back from the pause: keys still held do nothing on the board
  // One board cell: the falling step, the flash, drawing and touch picking.
  void p_BoardCell(int x, int y, float cs, float flash);
  void p_FallInto(int x, int y);   // the tile above (or a new one) moves into empty cell (x, y)
  bool p_NextToLast(int x, int y); // the chain is empty, or (x, y) touches its last tile
  int p_EndWord();                 // ends the word through a key or a release
  // The board's keys and the pointer's release, while the score line shows.
  void p_BoardKeys(int cursorX, int cursorY);
  int p_RecordPlace();           // where recording m_Score puts it in the top ten: 1..10, 0 none
  String p_PlaceText(int place); // "1st!", "2nd" .. "10th"; empty for 0

  // ==========================================================================
  // [SECTION] Online check-in  (check_in.cpp)
  // ==========================================================================
  String m_CheckInReply; // "N/A" until a reply, and while a request is out
  c_HttpRequest* m_CheckInRequest = nullptr;
  int m_CheckInDone = 0;

  int p_GetURL(const String& base, const String& query); // a GET of base "?" query
  void p_OnHttpRequestComplete(c_HttpRequest* request) override;
};
