// app/random.cpp — math helpers and the random-number generator.
// Depends on: random.h.
#include "random.h"

#include <cstdint>

int zu_random_Seed = 1234;

int zu_math_Abs(int x) { return x >= 0 ? x : -x; }
float zu_math_Abs2(float x) { return x >= 0 ? x : -x; }
int zu_math_Max(int a, int b) { return a > b ? a : b; }
float zu_math_Max2(float a, float b) { return a > b ? a : b; }

float zu_random_Rnd() {
  // 32-bit wrapping arithmetic, done unsigned so that the overflow is defined.
  uint32_t seed = static_cast<uint32_t>(zu_random_Seed) * 1664525u + 1013904223u;
  zu_random_Seed = static_cast<int>(seed);
  return static_cast<float>(seed >> 8) * 5.9604645e-8f;
}

float zu_random_Rnd2(float low, float high) { return low + (high - low) * zu_random_Rnd(); }
float zu_random_Rnd3(float range) { return zu_random_Rnd() * range; }
