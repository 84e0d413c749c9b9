// tests/game/draw_test.cpp — the drawing helpers, text, backdrop, stars and particles, read
// back through the recorded draw queue (no window).
// Depends on: game (c_MyApp, globals), app (random), host (ZuGame), gtest.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "app/app.h"
#include "app/random.h"
#include "game/globals.h"
#include "game/my_app.h"

namespace {

// A host whose clock the test sets.
class ClockHost : public ZuGame {
public:
  int now = 0;
  int Millisecs() override { return now; }
};

constexpr int kFont = 90;

// One application per process, shared by every case; each case starts from a clean frame.
class Draw : public ::testing::Test {
protected:
  static ClockHost* host;
  static c_MyApp* app;

  static void SetUpTestSuite() {
    if (app) return;
    host = new ClockHost;
    zu_app_InitGlobals();
    zu_Tessel_InitGlobals();
    app = (new c_MyApp)->m_new();
  }

  void SetUp() override {
    host->now = 0;
    app->m_ImageInfo[3 * kFont] = 7; // the game font: advance 7, line height 10
    app->m_ImageInfo[3 * kFont + 1] = 10;
    app->m_FontImage = kFont;
    app->m_ControlMode = 2;
    app->p_CLS2D(0, 0, 0, 1);
  }

  int Records() const { return app->m_DrawCount / kRecordFloats; }
  const float* Record(int i) const { return &app->m_DrawQueue[i * kRecordFloats]; }
  // The x positions of the records.
  std::vector<float> Xs() const {
    std::vector<float> xs;
    for (int i = 0; i < Records(); ++i) xs.push_back(Record(i)[1]);
    return xs;
  }
  int FrameOfText(const String& text) {
    app->p_CLS2D();
    app->p_Text(0, 0, text);
    return Records() == 1 ? static_cast<int>(Record(0)[6]) : -1;
  }
};

ClockHost* Draw::host = nullptr;
c_MyApp* Draw::app = nullptr;

using Floats = std::vector<float>;

TEST_F(Draw, TextPlacesGlyphsByAdvanceSpacingAndAlignment) {
  app->p_Text(100, 50, String(""));
  EXPECT_EQ(Records(), 0); // the leading space is never drawn

  app->p_Text(100, 50, String("ab"));
  ASSERT_EQ(Records(), 2);
  EXPECT_EQ(Xs(), (Floats{107, 114}));
  EXPECT_EQ(Record(0)[0], kFont);
  EXPECT_EQ((Floats{Record(0)[6], Record(1)[6]}), (Floats{'a' - 32, 'b' - 32}));
  EXPECT_FLOAT_EQ(Record(0)[2], 55); // alignY 0: the line's top at y

  app->p_CLS2D();
  app->p_Text(100, 50, String("ab"), 1, 1);
  EXPECT_EQ(Xs(), (Floats{100, 107}));
  EXPECT_FLOAT_EQ(Record(0)[2], 50);
  app->p_CLS2D();
  app->p_Text(100, 50, String("ab"), 2, 2);
  EXPECT_EQ(Xs(), (Floats{93, 100})); // the last glyph ends the text at x
  EXPECT_FLOAT_EQ(Record(0)[2], 45);

  // s and k advance 6, m and w 9, i three less than the font's advance.
  app->p_CLS2D();
  app->p_Text(0, 0, String("skmwia"));
  EXPECT_EQ(Xs(), (Floats{7, 13, 19, 28, 37, 41}));

  // Scale multiplies advances and the line height; the width is cut to whole units.
  app->p_CLS2D();
  app->p_SetSize(1.5f);
  app->p_Text(0, 0, String("ab"), 1, 0);
  EXPECT_EQ(Xs(), (Floats{0.5f, 11})); // W = trunc(trunc(10.5) + 10.5) = 20, X0 = -10
  EXPECT_FLOAT_EQ(Record(0)[2], 7.5f);
  EXPECT_FLOAT_EQ(Record(0)[4], 1.5f);
}

TEST_F(Draw, TextBreaksLinesAndKeepsTheWholeWidth) {
  app->p_Text(100, 50, String("ab\\nc"), 1, 0);
  ASSERT_EQ(Records(), 3);
  // Width of " ab\n": 7 + 7 + 7 + 7 (backslash) + 6 (n) = 34, so X0 = 83.
  EXPECT_EQ(Xs(), (Floats{90, 97, 90}));
  EXPECT_FLOAT_EQ(Record(0)[2], 55);
  EXPECT_FLOAT_EQ(Record(2)[2], 65);
  EXPECT_EQ(Record(2)[6], 'c' - 32);

  // Turned a quarter: the pen walks down the screen, the line's top to the left.
  app->p_CLS2D();
  app->p_SetRot(90);
  app->p_Text(100, 50, String("ab"));
  ASSERT_EQ(Records(), 2);
  EXPECT_NEAR(Record(1)[1], 95, 1e-4);
  EXPECT_NEAR(Record(1)[2], 64, 1e-4);
  EXPECT_FLOAT_EQ(Record(1)[3], -90);
}

TEST_F(Draw, ButtonGlyphsFollowControlModeAndBlink) {
  const String k(u"\u00acK");
  app->m_ControlMode = 0;
  EXPECT_EQ(FrameOfText(k), 113);
  app->m_ControlMode = 2;
  EXPECT_EQ(FrameOfText(k), 97);
  app->m_ControlMode = 1;
  host->now = 1199; // 199 into the half-second: the blink cell
  EXPECT_EQ(FrameOfText(k), 109);
  host->now = 1200;
  EXPECT_EQ(FrameOfText(k), 97);
  host->now = 1499;
  EXPECT_EQ(FrameOfText(k), 97);
  EXPECT_EQ(FrameOfText(String(u"\u00acQ")), 102); // no blink cell

  // The glyph and its letter are one step of advance 7 + 4.
  app->p_CLS2D();
  app->p_Text(0, 0, String(u"\u00acKa"));
  EXPECT_EQ(Xs(), (Floats{7, 18}));

  // A mark or backslash as the last character reads nothing past the text.
  app->p_CLS2D();
  app->p_Text(0, 0, String(u"a\u00ac"));
  app->p_Text(0, 0, String("a\\"));
  EXPECT_EQ(Records(), 3);
}

TEST_F(Draw, InkAndRightJustify) {
  auto expectColour = [](float r, float g, float b) {
    EXPECT_FLOAT_EQ(app->m_Red, r);
    EXPECT_FLOAT_EQ(app->m_Green, g);
    EXPECT_FLOAT_EQ(app->m_Blue, b);
  };
  app->p_Alpha(0.25f);
  app->p_Ink(2, 0.5f);
  expectColour(127.5f, 63.75f, 12.75f);
  app->p_Ink(9, 2);
  expectColour(255, 255, 255);
  app->p_Ink(0, 1);
  expectColour(76.5f, 76.5f, 76.5f);
  app->p_Ink(6, -1);
  expectColour(0, 0, 0);
  EXPECT_EQ(app->m_Alpha, 0.25f);

  EXPECT_EQ(app->p_rstr(42, 5, String("0")), String("00042"));
  EXPECT_EQ(app->p_rstr(1234567, 3, String("0")), String("567"));
  EXPECT_EQ(app->p_rstr(123, 11, String(" ")), String("        123"));
  EXPECT_EQ(app->p_rstr(9876, 8, String("0")), String("00009876"));
  EXPECT_EQ(app->p_rstr(42, 0, String("0")), String("042"));
}

TEST_F(Draw, SettersAndFrameStarts) {
  app->p_SetSize(2, NOT_GIVEN);
  EXPECT_EQ((Floats{app->m_SizeX, app->m_SizeY}), (Floats{2, 2}));
  app->p_SetCol(10, 20, 30, 0.5f);
  app->p_SetCol(10, 20, 30, NOT_GIVEN);
  EXPECT_EQ(app->m_Alpha, 0.5f);
  app->p_Rect(1, 2, 3, 4);

  // The backdrop fades an eighth of the way each call; -123 keeps a target, alpha -123 is 1.
  app->m_BgRed = app->m_BgGreen = app->m_BgBlue = 80;
  app->p_DoBG(0, 0, 0, -123);
  EXPECT_EQ(app->m_ClsRed, 70);
  EXPECT_EQ(app->m_ClsAlpha, 1);
  EXPECT_EQ(app->m_DrawCount, 0);
  EXPECT_EQ((Floats{app->m_SizeX, app->m_Alpha, app->m_Red}), (Floats{1, 1, 255}));
  app->p_DoBG(-123, 0, -123, 0.5f);
  EXPECT_EQ((Floats{app->m_ClsRed, app->m_ClsGreen, app->m_ClsAlpha}), (Floats{61.25f, 61.25f, 0.5f}));
  app->p_DoBG(200, -123, -123, 7);
  EXPECT_EQ((Floats{app->m_BgTargetRed, app->m_BgTargetGreen, app->m_ClsAlpha}), (Floats{200, 0, 1}));

  const float red = app->m_ClsRed;
  app->p_CLS2D(NOT_GIVEN);
  EXPECT_EQ(app->m_ClsRed, red); // the clear colour stays
  app->p_CLS2D(1, 2, 3, 0.5f);
  EXPECT_EQ((Floats{app->m_ClsRed, app->m_ClsGreen, app->m_ClsBlue, app->m_ClsAlpha}),
            (Floats{1, 2, 3, 0.5f}));
}

TEST_F(Draw, RecordsCarryTheStateAndStopAtTheCap) {
  std::fill(&app->m_DrawQueue[0], &app->m_DrawQueue[0] + kDrawQueueFloats, 9.0f);
  app->p_SetCol(10, 20, 30, 0.5f);
  app->p_SetRot(45);
  app->p_Rect(1, 2, 3, 4);
  app->p_Oval(5, 6, 7, 8);
  app->p_Line(1, 1, 2, 2);
  EXPECT_EQ(Floats(Record(0), Record(1)),
            (Floats{KIND_RECT, 1, 2, -45, 3, 4, 0, 0.5f, 9, 9, 10, 20, 30, 1, 9}));
  EXPECT_EQ((Floats{Record(1)[0], Record(2)[0]}), (Floats{KIND_OVAL, KIND_LINE}));

  for (int i = 0; i < 3000; ++i) app->p_DrawImg(i % 100, 1, 2, 3);
  EXPECT_EQ(Records(), 2499);
  EXPECT_EQ(app->m_DrawCount, kLastRecordStart + 1);
  app->p_Text(0, 0, String("more"));
  EXPECT_EQ(app->m_DrawCount, kLastRecordStart + 1);
  for (int i = app->m_DrawCount; i < kDrawQueueFloats; ++i) EXPECT_EQ(app->m_DrawQueue[i], 9.0f) << i;
}

TEST_F(Draw, RandomWholeNumbersAndSeeding) {
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(app->p_Rand(1, 3));
  EXPECT_EQ(seen, (std::set<int>{1, 2, 3}));

  zu_random_Seed = 77;
  for (int i = 0; i < 21; ++i) zu_random_Rnd();
  const int stepped = zu_random_Seed;
  app->p_SeedRnd(5);
  app->p_SeedRnd(77);
  EXPECT_EQ(zu_random_Seed, stepped);
  host->now = 77;
  app->p_SeedRnd(SEED_FROM_CLOCK);
  EXPECT_EQ(zu_random_Seed, stepped);
}

TEST_F(Draw, StarsKeepTheirCountScatterAndWrap) {
  app->m_StarMax = 100;
  app->p_ResetStars(0);
  app->p_ResetStars(500);
  EXPECT_EQ(app->m_StarMax, 100); // counts outside 1..499 keep the old one
  app->m_Stars[31 * 10 + 1] = -999;
  app->p_ResetStars(30);
  EXPECT_EQ(app->m_StarMax, 30);
  EXPECT_EQ(app->m_Stars[31 * 10 + 1], -999); // beyond the count: untouched
  for (int i = 0; i <= 30; ++i) {
    const float* s = &app->m_Stars[i * 10];
    EXPECT_EQ(s[0], static_cast<int>(s[0]));
    EXPECT_TRUE(s[0] >= 0 && s[0] <= 255 && s[1] >= -8 && s[1] < 648 && s[2] >= -8 && s[2] < 488);
    EXPECT_TRUE(s[3] >= 0.2f && s[3] < 0.8f && s[6] >= -0.5f && s[6] < 0.5f) << i;
  }

  float* s = &app->m_Stars[0];
  s[1] = 10;
  s[2] = 10;
  s[3] = 0.5f;
  const float angle = s[5] + s[6];
  app->p_DoStars(-100, 0); // to -40, past the margin of 16: back on the right, on a new track
  EXPECT_EQ(Records(), 31);
  EXPECT_EQ(Record(0)[0], 96);
  EXPECT_FLOAT_EQ(Record(0)[3], -angle);
  EXPECT_FLOAT_EQ(s[1], 632);
  EXPECT_NE(s[3], 0.5f);
  EXPECT_FLOAT_EQ(Record(0)[7], s[3]);
  EXPECT_EQ((Floats{app->m_Alpha, app->m_Rot}), (Floats{1, 0})); // the state left clean
}

TEST_F(Draw, ParticlesTakeTheHighestFreeSlot) {
  app->p_ResetParticles(250);
  app->p_ThrowParticle(5, 6, 2, 4, 0, 2);
  EXPECT_EQ(app->p_FreeParticle(), 2490);
  const float* p = &app->m_Particles[2500];
  EXPECT_EQ((Floats{p[0], p[1], p[2], p[3], p[4], p[8]}), (Floats{2, 5, 6, 0, -2, 4}));
  EXPECT_TRUE(p[7] >= 0.7f && p[7] < 1.3f);

  for (int i = 0; i <= 250; ++i) app->m_Particles[i * 10] = 1;
  app->m_Particles[30] = app->m_Particles[70] = 0;
  app->p_ThrowParticle(0, 20, 3, 1);
  EXPECT_EQ(app->m_Particles[70], 3);
  EXPECT_EQ(app->m_Particles[76], 0); // rising particles do not spin
  EXPECT_EQ(app->p_FreeParticle(), 30);
  app->p_ThrowParticle(0, 0, 1, 1);
  EXPECT_EQ(app->p_FreeParticle(), -1);
  std::vector<float> before(&app->m_Particles[0], &app->m_Particles[0] + 5100);
  app->p_ThrowParticle(0, 0, 1, 1);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), &app->m_Particles[0]));
}

TEST_F(Draw, ResetParticlesClearsOnlyTheSlotsInUse) {
  std::fill(&app->m_Particles[0], &app->m_Particles[0] + 5100, 9.0f);
  app->p_ResetParticles(10);
  EXPECT_EQ(app->m_ParticleMax, 10);
  EXPECT_EQ(app->m_Particles[100], 0);
  EXPECT_EQ(app->m_Particles[110], 9); // slot 11
  EXPECT_EQ(app->m_Particles[101], 9); // only the kind is cleared
  app->p_ResetParticles(600);          // out of range: the limit and its range stay
  app->p_ResetParticles(-5);
  EXPECT_EQ(app->m_ParticleMax, 10);
  EXPECT_EQ(app->m_Particles[110], 9);
  app->p_ResetParticles(499);
  EXPECT_EQ(app->m_Particles[4990], 0);
  EXPECT_EQ(app->m_Particles[5000], 9);
  app->m_ParticleMax = 100000; // even a limit set past the pool clears only the pool
  app->p_ResetParticles(0);
  EXPECT_EQ(app->m_Particles[5090], 0);
  app->p_ResetParticles(250);
}

TEST_F(Draw, ParticlesMoveDrawAndExpire) {
  app->p_ResetParticles(250);
  app->m_CamX = 100;
  app->m_CamY = 0;
  float* fall = &app->m_Particles[0];
  float* cell = &app->m_Particles[10];
  float* number = &app->m_Particles[20];
  std::copy_n(Floats{2, 200, 50, 2, 1, 0, 0, 0.005f, 4, 7}.begin(), 10, fall);
  std::copy_n(Floats{16, 140, 40, 0, 0, 0, 0, 0.5f, 1, 0}.begin(), 10, cell);
  std::copy_n(Floats{99, 150, 60, 0, 0, 30, 0, 2, 9, 25}.begin(), 10, number);
  app->p_DoParticles(2);
  ASSERT_EQ(Records(), 4); // a spark, a cell, two digits
  EXPECT_EQ((Floats{Record(0)[0], Record(0)[1], Record(0)[2], Record(0)[6], Record(0)[4]}),
            (Floats{96, 102, 51, 7, 2}));
  EXPECT_EQ((Floats{fall[3], fall[4]}), (Floats{1.9f, 1.2f}));
  EXPECT_EQ(Record(0)[11], 255 * 1.0f); // green of palette colour 4
  EXPECT_EQ((Floats{Record(1)[0], Record(1)[1], Record(1)[2], Record(1)[4]}),
            (Floats{KIND_RECT, 32, 32, 16}));
  EXPECT_EQ(Record(2)[3], 0); // numbers stand upright
  EXPECT_EQ(Record(2)[6], '2' - 32);
  EXPECT_EQ(Record(2)[7], 1); // alpha capped at 1
  EXPECT_EQ(fall[0], 0);      // life ran out
  EXPECT_FLOAT_EQ(cell[7], 0.487f);
  app->p_DoParticles(1);
  EXPECT_EQ(Records(), 4 + 3);
}

} // namespace
