// game/effects.cpp — the drifting star field and the particle pool: scattering, moving and
// recording them into the draw queue.
// Depends on: my_app.h, globals.h (virtual screen, overscan), app (random).
#include <cmath>

#include "app/random.h"
#include "globals.h"
#include "my_app.h"

namespace {

constexpr int kPartsImage = 96; // sparks and stars, 8 x 8 frames
constexpr int kFloatsEach = 10; // per star and per particle

double Sin(double degrees) { return std::sin(degrees * (M_PI / 180.0)); }
double Cos(double degrees) { return std::cos(degrees * (M_PI / 180.0)); }

float Rnd() { return zu_random_Rnd(); }
float RandomFrame() { return std::floor(Rnd() * 255.99f); }

// The last index to visit of a pool of ten-float entries whose own limit is `max`: never
// beyond the array, whatever the limit holds.
int LastEntry(const Array<float>& pool, int max) {
  int last = pool.Length() / kFloatsEach - 1;
  return max < last ? max : last;
}

} // namespace

// [SECTION] Star field

int c_MyApp::p_ResetStars(int n) {
  p_SeedRnd(SEED_FROM_CLOCK);
  if (n >= 1 && n <= 499) m_StarMax = n;
  const int last = LastEntry(m_Stars, m_StarMax);
  for (int i = 0; i <= last; ++i) {
    float* s = &m_Stars[i * kFloatsEach];
    s[0] = RandomFrame();
    s[1] = Rnd() * (zu_Tessel_jscrw + 16) - 8;
    s[2] = Rnd() * (zu_Tessel_jscrh + 16) - 8;
    s[3] = Rnd() * 0.6f + 0.2f;
    s[5] = Rnd() * 360;
    s[6] = Rnd() - 0.5f;
  }
  return 0;
}

int c_MyApp::p_DoStars(float dx, float dy) {
  p_SeedRnd(SEED_FROM_CLOCK);
  p_ResetDraw();
  const float margin = zu_Tessel_overscan + 16;
  const float span = 2 * zu_Tessel_overscan + 32;
  const int last = LastEntry(m_Stars, m_StarMax);
  for (int i = 0; i <= last; ++i) {
    float* s = &m_Stars[i * kFloatsEach];
    s[1] += dx * s[3];
    s[2] += dy * s[3];
    // A star leaving one edge comes back at the other, on a fresh track.
    auto newTrack = [s](int across, float extent) {
      s[across] = Rnd() * (extent + 16) - 8;
      s[3] = Rnd() * 0.6f + 0.2f;
      s[0] = RandomFrame();
    };
    if (s[1] < -margin) {
      s[1] += zu_Tessel_jscrw + span;
      newTrack(2, zu_Tessel_jscrh);
    }
    if (s[1] > zu_Tessel_jscrw + margin) {
      s[1] -= zu_Tessel_jscrw + span;
      newTrack(2, zu_Tessel_jscrh);
    }
    if (s[2] < -margin) {
      s[2] += zu_Tessel_jscrh + span;
      newTrack(1, zu_Tessel_jscrw);
    }
    if (s[2] > zu_Tessel_jscrh + margin) {
      s[2] -= zu_Tessel_jscrh + span;
      newTrack(1, zu_Tessel_jscrw);
    }
    s[5] += s[6];
    m_Alpha = s[3];
    m_Rot = -s[5];
    p_DrawImg(kPartsImage, s[1], s[2], static_cast<int>(s[0]));
  }
  p_ResetDraw();
  return 0;
}

// [SECTION] Particle pool

int c_MyApp::p_ResetParticles(int n) {
  if (n >= 1 && n <= 499) m_ParticleMax = n;
  const int last = LastEntry(m_Particles, m_ParticleMax);
  for (int i = 0; i <= last; ++i) m_Particles[i * kFloatsEach] = 0;
  return 0;
}

int c_MyApp::p_FreeParticle() {
  for (int i = LastEntry(m_Particles, m_ParticleMax); i >= 0; --i)
    if (m_Particles[i * kFloatsEach] == 0) return i * kFloatsEach;
  return -1;
}

int c_MyApp::p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed) {
  if (angle == NOT_GIVEN) angle = Rnd() * 360;
  if (speed == NOT_GIVEN) speed = Rnd() * 5 + 3;
  int at = p_FreeParticle();
  if (at < 0) return 0;
  float* p = &m_Particles[at];
  p[0] = static_cast<float>(kind);
  p[1] = x;
  p[2] = y;
  p[3] = static_cast<float>(Sin(angle) * speed); // angle 0 throws straight up
  p[4] = static_cast<float>(-Cos(angle) * speed);
  p[5] = Rnd() * 360;
  p[6] = Rnd() * 16 - 8;
  if (kind == 3) {
    p[5] = y + Rnd() * 32 - 16;
    p[6] = 0;
  }
  p[7] = Rnd() * 0.6f + 0.7f;
  p[8] = static_cast<float>(colour);
  p[9] = RandomFrame();
  return 0;
}

int c_MyApp::p_ThrowParticle2(float x, float y, int colour, float angle, float speed) {
  return p_ThrowParticle(x, y, 3, colour, angle, speed);
}

int c_MyApp::p_DoParticles(float scale) {
  p_ResetDraw();
  const int last = LastEntry(m_Particles, m_ParticleMax);
  for (int i = 0; i <= last; ++i) {
    float* p = &m_Particles[i * kFloatsEach];
    const int kind = static_cast<int>(p[0]);
    if (p[0] <= 0) continue;
    p[1] += p[3];
    p[2] += p[4];
    p[5] += p[6];
    m_Rot = kind == 99 ? 0 : -p[5];
    if (kind == 2) {
      p[3] *= 0.95f;
      p[4] += 0.2f; // falls
    } else if (kind == 3) {
      p[3] *= 0.95f;
      p[4] -= 0.05f; // rises
    }
    m_Alpha = p[7] < 1 ? p[7] : 1;
    m_SizeX = m_SizeY = scale;
    p_Ink(static_cast<int>(p[8]), 1);
    const float x = p[1] - m_CamX, y = p[2] - m_CamY;
    if (kind > 0 && kind < 10) {
      p_DrawImg(kPartsImage, x, y, static_cast<int>(p[9]));
    } else if (kind == 16) {
      p_Rect(std::floor(x / 16) * 16, std::floor(y / 16) * 16, 16, 16);
    } else if (kind == 99) {
      p_Text(x, y, String(static_cast<int>(p[9])), 1, 1, 0);
    }
    p[7] -= kind == 4 ? 0.003f : (kind == 16 ? 0.013f : 0.01f);
    if (p[7] < 0) p[0] = 0;
  }
  p_ResetDraw();
  return 0;
}
