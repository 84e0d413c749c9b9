// app/random.h — the math helpers and the random-number generator of the framework.
// Depends on: nothing.
#pragma once

extern int zu_random_Seed;

int zu_math_Abs(int x);
float zu_math_Abs2(float x);
int zu_math_Max(int a, int b);
float zu_math_Max2(float a, float b); // the second unless the first is strictly larger

// A linear congruential generator: the next value in [0, 1) with 24 bits of resolution.
float zu_random_Rnd();
float zu_random_Rnd2(float low, float high);
float zu_random_Rnd3(float range);
