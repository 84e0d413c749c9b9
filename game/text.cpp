// game/text.cpp — the game's text renderer (per-letter spacing, measuring, alignment, line
// breaks, button glyphs) and right-justified numbers.
// Depends on: my_app.h, app (Millisecs), runtime strings.
#include <cmath>

#include "my_app.h"

namespace {

constexpr char16_t kButtonMark = 172; // "¬": the next letter names a button glyph
constexpr int kNoBlink = -1;

// Advance adjustment of a character, added to the font's advance width.
int Spacing(int c) {
  switch (c) {
  case 'w':
  case 'm':
    return 2;
  case 'W':
  case 'M':
    return 1;
  case 'i':
  case 'f':
  case 'l':
    return -3;
  case 'j':
  case 's':
  case 'k':
  case 'r':
  case 'z':
  case 't':
  case 'n':
    return -1;
  default:
    return 0;
  }
}

struct ButtonGlyph {
  int cell;  // font cell drawn
  int blink; // alternate cell in control mode 1, or kNoBlink
  int adjust;
};

// The button glyph named by the letter after "¬", before the control mode is applied.
ButtonGlyph Button(int letter) {
  switch (letter) {
  case 'J':
    return {96, 109, 4};
  case 'K':
    return {97, 109, 4};
  case 'L':
    return {98, 109, 4};
  case 'I':
    return {99, 109, 4};
  case 'U':
    return {100, 110, 6};
  case 'O':
    return {101, 110, 6};
  case 'Q':
    return {102, kNoBlink, 4};
  case 'E':
    return {103, kNoBlink, 4};
  case 'F':
    return {104, kNoBlink, 4};
  case 'W':
    return {105, 104, 4};
  case 'S':
    return {106, 104, 4};
  case 'A':
    return {107, 104, 4};
  case 'D':
    return {108, 104, 4};
  default: {
    // Any other letter is a cell of its own code, spaced like the character of that cell.
    int adjust = Spacing(letter + 32);
    return {letter, kNoBlink, adjust != 0 ? adjust : 4};
  }
  }
}

double Sin(double degrees) { return std::sin(degrees * (M_PI / 180.0)); }
double Cos(double degrees) { return std::cos(degrees * (M_PI / 180.0)); }

} // namespace

int c_MyApp::p_Text(float x, float y, const String& given, float alignX, float alignY, int fontOffset) {
  if (m_FontImage < 0 || m_FontImage >= 100) return 0;
  const double advance = m_ImageInfo[3 * m_FontImage];
  const double lineHeight = m_ImageInfo[3 * m_FontImage + 1] * static_cast<double>(m_SizeY);
  const double theta = m_Rot;
  const String text = String(" ") + given;
  const int length = text.Length();

  // Width of all characters but the last, in whole units; line breaks are measured as text.
  int width = 0;
  for (int i = 0; i < length - 1;) {
    int adjust = Spacing(text[i]);
    if (text[i] == kButtonMark) {
      adjust = 2;
      ++i; // the letter after the mark is part of the same step
    }
    ++i;
    width = static_cast<int>(width + (advance + adjust) * m_SizeX);
  }

  const double x0 = x + Sin(-theta - 90) * width * alignX / 2 + Sin(-theta) * lineHeight * (alignY - 1) / 2;
  const double y0 = y - Cos(-theta - 90) * width * alignX / 2 - Cos(-theta) * lineHeight * (alignY - 1) / 2;
  double penX = x0, penY = y0;
  int breaks = 0;
  const int slot = m_FontImage + fontOffset;

  for (int i = 0; i < length; ++i) {
    int c = text[i];
    int cell = c - 32;
    int adjust = Spacing(c);
    bool last = i + 1 >= length;
    if (c == kButtonMark && !last) {
      ButtonGlyph b = Button(text[++i]);
      cell = b.cell;
      adjust = b.adjust;
      if (m_ControlMode == 0) {
        cell += 16;
      } else if (m_ControlMode == 1 && b.blink != kNoBlink && zu_app_Millisecs() % 500 < 200) {
        cell = b.blink;
      }
    } else if (c == '\\' && !last && text[i + 1] == 'n') {
      ++i;
      ++breaks;
      penX = x0 + Sin(180 - theta) * breaks * lineHeight + Sin(90 - theta) * advance * m_SizeX;
      penY = y0 - Cos(180 - theta) * breaks * lineHeight;
      continue;
    } else if (c == 0) {
      continue; // neither drawn nor spaced
    }
    if (cell >= 1 && cell <= 127) p_DrawImg(slot, static_cast<float>(penX), static_cast<float>(penY), cell);
    double step = (advance + adjust) * m_SizeX;
    penX += Sin(90 - theta) * step;
    penY -= Cos(90 - theta) * step;
  }
  return 0;
}

String c_MyApp::p_rstr(int value, int width, const String& pad) {
  // The usual case, a one-character pad to a short width, in one piece: the lists and the score
  // are drawn every frame.
  constexpr int kShortWidth = 32;
  if (pad.Length() == 1 && width > 0 && width <= kShortWidth) {
    const String digits(value);
    const int n = digits.Length();
    if (n >= width) return digits.Slice(n - width);
    char16_t out[kShortWidth];
    for (int i = 0; i < width - n; ++i) out[i] = static_cast<char16_t>(pad[0]);
    for (int i = 0; i < n; ++i) out[width - n + i] = static_cast<char16_t>(digits[i]);
    return String(out, width);
  }
  String padded;
  for (int i = 0; i <= width; ++i) padded += pad;
  padded += String(value);
  if (width <= 0) return padded;
  return padded.Slice(padded.Length() - width);
}
