// bench/game_bench_support.h — what the game benchmarks share: the game in a real 640 x 480
// window over the generated data, loaded and in the menu state, and the timing helpers.
// Depends on: game (c_MyApp), app, graphics, host (window).
#pragma once

#include <vector>

#include "game/my_app.h"
#include "graphics/device.h"

// The game, loaded (images, effects, word list) and in the menu state; null, with the reason on
// standard error, when there is no display or the data does not load. `name` labels the errors.
c_MyApp* LoadedGame(const char* name);
gxtkGraphics* BenchDevice(); // the graphics device of LoadedGame
void UpdateGame(c_MyApp* game);
void RenderGame(c_MyApp* game); // the frame, ending in glFinish
void CloseGame();

double CpuMs(); // process CPU time, all threads
double WallMs();
double Median(std::vector<double> v);
double Min(const std::vector<double>& v);
const char* RendererName();
