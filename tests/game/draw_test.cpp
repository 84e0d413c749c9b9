// tests/game/draw_test.cpp — the drawing helpers, text, backdrop, stars and particles, read
// back through the recorded draw queue (no window).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "tests/game/game_support.h"

namespace {

using Floats = std::vector<float>;
constexpr int kFont = 90;

// Each case starts from a clean frame, the clock at 0 and the game font: advance 7, line height 10.
class Draw : public ::testing::Test {
protected:
  c_MyApp* app = Game();
  void SetUp() override {
    host->clock = 0;
    app->m_ImageInfo[3 * kFont] = 7;
    app->m_ImageInfo[3 * kFont + 1] = 10;
    app->m_FontImage = kFont;
    app->m_ControlMode = 2;
    app->p_CLS2D(0, 0, 0, 1);
  }
  void Text(const String& text, float alignX = 0, float alignY = 0, float size = 1) {
    app->p_CLS2D();
    app->p_SetSize(size);
    app->p_Text(100, 50, text, alignX, alignY);
  }
  Floats Colour() const { return {app->m_Red, app->m_Green, app->m_Blue}; }
  Floats Clear() const { return {app->m_ClsRed, app->m_ClsGreen, app->m_ClsBlue, app->m_ClsAlpha}; }
};

// [SECTION] Text

TEST_F(Draw, TextPlacesGlyphsByAdvanceSpacingAlignmentAndLineBreaks) {
  Text(String(""));
  EXPECT_EQ(Records(), 0); // the leading space is never drawn
  // s and k advance 6, m and w 9, i 4. The width of " ab\n" (34) still counts for a text with
  // a line break. At scale 1.5 the width is cut to whole units: trunc(trunc(10.5) + 10.5) = 20.
  struct Case {
    const char* text;
    float alignX, alignY, size;
    Floats xs, ys;
  } cases[] = {{"ab", 0, 0, 1, {107, 114}, {55, 55}},
               {"ab", 1, 1, 1, {100, 107}, {50, 50}},
               {"ab", 2, 2, 1, {93, 100}, {45, 45}},
               {"skmwia", 0, 0, 1, {107, 113, 119, 128, 137, 141}, Floats(6, 55)},
               {"ab\\nc", 1, 0, 1, {90, 97, 90}, {55, 55, 65}},
               {"ab", 1, 0, 1.5f, {100.5f, 111}, {57.5f, 57.5f}}};
  for (const Case& c : cases) {
    Text(String(c.text), c.alignX, c.alignY, c.size);
    EXPECT_EQ(Field(1), c.xs) << c.text << " " << c.alignX;
    EXPECT_EQ(Field(2), c.ys) << c.text << " " << c.alignX;
  }
  EXPECT_EQ(Fields(0, {0, 4, 6}), (Floats{kFont, 1.5f, 'a' - 32}));
  // Turned a quarter: the pen walks down the screen, the line's top to the left.
  app->p_CLS2D();
  app->p_SetRot(90);
  app->p_Text(100, 50, String("ab"));
  ASSERT_EQ(Records(), 2);
  EXPECT_NEAR(Record(1)[1], 95, 1e-4);
  EXPECT_NEAR(Record(1)[2], 64, 1e-4);
}

TEST_F(Draw, ButtonGlyphsFollowControlModeAndBlink) {
  // Mode, clock, letter, frame: mode 0 shifts to the pad glyphs; mode 1 blinks for the first
  // 200 ms of each half second; Q has no blink cell.
  const int cases[][4] = {
      {0, 0, 'K', 113}, {2, 0, 'K', 97}, {1, 1199, 'K', 109}, {1, 1200, 'K', 97}, {1, 1199, 'Q', 102}};
  for (const auto& c : cases) {
    app->m_ControlMode = c[0];
    host->clock = c[1];
    Text(String(u"\u00ac") + app->p_Chr(c[2]));
    EXPECT_EQ(Field(6), Floats{static_cast<float>(c[3])}) << c[0] << " " << c[1];
  }
  Text(String(u"\u00acKa")); // the glyph and its letter are one step of advance 7 + 4
  EXPECT_EQ(Field(1), (Floats{107, 118}));
  Text(String(u"a\u00ac")); // a mark or backslash as the last character reads nothing past the text
  app->p_Text(0, 0, String("a\\"));
  EXPECT_EQ(Records(), 3);
}

TEST_F(Draw, InkRightJustifyAndRandomWholeNumbers) {
  app->p_Alpha(0.25f);
  app->p_Ink(2, 0.5f);
  EXPECT_EQ(Colour(), (Floats{127.5f, 63.75f, 12.75f}));
  app->p_Ink(9, 2);
  EXPECT_EQ(Colour(), (Floats{255, 255, 255})); // clamped
  app->p_Ink(0, 1);
  EXPECT_EQ(Colour(), (Floats{76.5f, 76.5f, 76.5f})); // grey outside 1..9
  app->p_Ink(6, -1);
  EXPECT_EQ(Colour(), (Floats{0, 0, 0}));
  EXPECT_EQ(app->m_Alpha, 0.25f);
  EXPECT_EQ(app->p_rstr(42, 5, String("0")), String("00042"));
  EXPECT_EQ(app->p_rstr(1234567, 3, String("0")), String("567"));
  EXPECT_EQ(app->p_rstr(123, 11, String(" ")), String("        123"));
  EXPECT_EQ(app->p_rstr(42, 0, String("0")), String("042"));
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(app->p_Rand(1, 3));
  EXPECT_EQ(seen, (std::set<int>{1, 2, 3})); // both ends are reached
}

// [SECTION] Draw state, frame starts and the queue

TEST_F(Draw, SettersAndFrameStarts) {
  app->p_SetSize(2, NOT_GIVEN);
  app->p_SetCol(10, 20, 30, 0.5f);
  app->p_SetCol(10, 20, 30, NOT_GIVEN);
  EXPECT_EQ((Floats{app->m_SizeY, app->m_Alpha}), (Floats{2, 0.5f}));
  app->p_Rect(1, 2, 3, 4);
  // The backdrop fades an eighth of the way each call and starts a clean frame; -123 keeps a
  // target, alpha -123 is 1.
  app->m_BgRed = app->m_BgGreen = app->m_BgBlue = 80;
  app->p_DoBG(0, 0, 0, -123);
  EXPECT_EQ(Clear(), (Floats{70, 70, 70, 1}));
  EXPECT_EQ((Floats{static_cast<float>(app->m_DrawCount), app->m_SizeX, app->m_Alpha, app->m_Red}),
            (Floats{0, 1, 1, 255}));
  app->p_DoBG(-123, 0, -123, 0.5f);
  EXPECT_EQ(Clear(), (Floats{61.25f, 61.25f, 61.25f, 0.5f}));
  app->p_DoBG(200, -123, -123, 7);
  EXPECT_EQ((Floats{app->m_BgTargetRed, app->m_BgTargetGreen, app->m_ClsAlpha}), (Floats{200, 0, 1}));
  const Floats faded = Clear();
  app->p_CLS2D(NOT_GIVEN); // the clear colour stays
  EXPECT_EQ(Clear(), faded);
  app->p_CLS2D(1, 2, 3, 0.5f);
  EXPECT_EQ(Clear(), (Floats{1, 2, 3, 0.5f}));
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
  EXPECT_EQ(Field(0), (Floats{KIND_RECT, KIND_OVAL, KIND_LINE}));
  for (int i = 0; i < 3000; ++i) app->p_DrawImg(i % 100, 1, 2, 3);
  app->p_Text(0, 0, String("more"));
  EXPECT_EQ(Records(), 2499);
  EXPECT_EQ(Floats(&app->m_DrawQueue[0] + app->m_DrawCount, &app->m_DrawQueue[0] + kDrawQueueFloats),
            Floats(kRecordFloats, 9.0f));
}

// [SECTION] Stars and particles

TEST_F(Draw, StarsKeepTheirCountScatterAndWrap) {
  app->m_StarMax = 100;
  const int counts[][2] = {{0, 100}, {500, 100}, {499, 499}, {1, 1}}; // asked for, kept
  for (const auto& c : counts) {
    app->p_ResetStars(c[0]);
    EXPECT_EQ(app->m_StarMax, c[1]) << c[0];
  }
  app->m_Stars[31 * 10 + 1] = -999;
  app->p_ResetStars(30);
  EXPECT_EQ(app->m_Stars[31 * 10 + 1], -999); // beyond the count: untouched
  for (const float* s = &app->m_Stars[0]; s <= &app->m_Stars[300]; s += 10) {
    EXPECT_TRUE(s[0] == static_cast<int>(s[0]) && s[0] >= 0 && s[0] <= 255 && s[3] >= 0.2f && s[3] < 0.8f);
    EXPECT_TRUE(s[1] >= -8 && s[1] < 648 && s[2] >= -8 && s[2] < 488 && s[6] >= -0.5f && s[6] < 0.5f);
  }
  float* s = &app->m_Stars[0];
  s[1] = s[2] = 10;
  s[3] = 0.5f;
  const float angle = s[5] + s[6];
  app->p_DoStars(-100, 0); // to -40, past the margin of 16: back on the right, on a new track
  EXPECT_EQ(Records(), 31);
  EXPECT_EQ(Fields(0, {0, 3, 7}), (Floats{96, -angle, s[3]}));
  EXPECT_FLOAT_EQ(s[1], 632);
  EXPECT_NE(s[3], 0.5f);
  EXPECT_EQ((Floats{app->m_Alpha, app->m_Rot}), (Floats{1, 0})); // the state left clean
}

TEST_F(Draw, ParticlesTakeTheHighestFreeSlotAndResetOnlyTheSlotsInUse) {
  float* pool = &app->m_Particles[0];
  app->p_ResetParticles(250);
  app->p_ThrowParticle(5, 6, 2, 4, 0, 2); // angle 0 throws straight up
  EXPECT_EQ(app->p_FreeParticle(), 2490);
  const float* p = &pool[2500];
  EXPECT_EQ((Floats{p[0], p[1], p[2], p[3], p[4], p[8]}), (Floats{2, 5, 6, 0, -2, 4}));
  EXPECT_TRUE(p[7] >= 0.7f && p[7] < 1.3f); // its life
  for (int i = 0; i <= 250; ++i) pool[i * 10] = 1;
  pool[30] = pool[70] = 0;
  app->p_ThrowParticle(0, 20, 3, 1);
  EXPECT_EQ((Floats{pool[70], pool[76]}), (Floats{3, 0})); // rising: no spin
  EXPECT_EQ(app->p_FreeParticle(), 30);
  app->p_ThrowParticle(0, 0, 1, 1);
  EXPECT_EQ(app->p_FreeParticle(), -1);
  const Floats full(pool, pool + 5100);
  app->p_ThrowParticle(0, 0, 1, 1);
  EXPECT_EQ(Floats(pool, pool + 5100), full);

  std::fill(pool, pool + 5100, 9.0f);
  app->p_ResetParticles(10);
  app->p_ResetParticles(600); // out of range: the limit and its range stay
  app->p_ResetParticles(-5);
  EXPECT_EQ((Floats{pool[100], pool[101], pool[110]}), (Floats{0, 9, 9})); // only the kind is cleared
  app->p_ResetParticles(499);
  EXPECT_EQ((Floats{pool[4990], pool[5000]}), (Floats{0, 9}));
  app->m_ParticleMax = 100000; // even a limit set past the pool clears only the pool
  app->p_ResetParticles(0);
  EXPECT_EQ(pool[5090], 0);
}

TEST_F(Draw, ParticlesMoveDrawAndExpire) {
  app->p_ResetParticles(250);
  app->m_CamX = 100;
  app->m_CamY = 0;
  float* spark = &app->m_Particles[0];
  std::copy_n(Floats{2, 200, 50, 2, 1, 0, 0, 0.005f, 4, 7}.begin(), 10, spark);
  std::copy_n(Floats{16, 140, 40, 0, 0, 0, 0, 0.5f, 1, 0}.begin(), 10, spark + 10); // a cell
  std::copy_n(Floats{99, 150, 60, 0, 0, 30, 0, 2, 9, 25}.begin(), 10, spark + 20);  // a number
  app->p_DoParticles(2);
  ASSERT_EQ(Records(), 4); // the spark moved and seen from the camera, the cell on its 16-unit
  // grid, the number as upright digits at full alpha
  EXPECT_EQ(Floats(Record(0), Record(0) + 7), (Floats{96, 102, 51, 0, 2, 2, 7}));
  EXPECT_EQ(Floats(Record(1), Record(1) + 6), (Floats{KIND_RECT, 32, 32, 0, 16, 16}));
  EXPECT_EQ(Fields(2, {3, 6, 7}), (Floats{0, '2' - 32, 1}));
  EXPECT_EQ(spark[0], 0); // its life ran out
  app->p_DoParticles(1);
  EXPECT_EQ(Records(), 4 + 3);
}

} // namespace
