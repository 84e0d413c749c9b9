// bench/board_bench.cpp — the board game's cost per frame: one game update (the board pass,
// the score line and clock, the particles; with the shell's update around them) and one render
// of a busy game frame (a full board, a 12-tile chain, 250 rising particles), in a real window
// over the generated data and the full word list. Reported: process CPU time and wall time
// (median and minimum) of each, and the records and draw calls of the frame.
// Depends on: game (c_MyApp), the game bench support, the data from the build. Needs a
// display (make bench provides one).
#include <cstdio>
#include <vector>

#include "game_bench_support.h"

namespace {

constexpr int kWarmup = 30, kRounds = 300;
constexpr int kChain = 12;

// Keeps the frame busy between rounds (not timed): every tile in place, the same 12 tiles in
// the chain, every particle alive, the clock far from its end.
void Busy(c_MyApp* g) {
  String word;
  for (int i = 0; i < kChain; ++i) {
    const int x = i % 7, y = i < 7 ? 2 : 3; // a snake over two rows
    float* cell = &g->m_Grid[(x + kGridStride * y) * kCellFloats];
    cell[kCellTaken] = 1;
    g->m_Player[PL_CHAIN_X + i + 1] = static_cast<float>(x);
    g->m_Player[PL_CHAIN_Y + i + 1] = static_cast<float>(y);
    word += g->p_Chr(64 + static_cast<int>(cell[0]));
  }
  g->m_Word = word;
  g->m_Player[PL_LAST_X] = 4;
  g->m_Player[PL_LAST_Y] = 3;
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 7; ++y) g->m_Grid[(x + kGridStride * y) * kCellFloats + 2] = 0;
  for (int i = 0; i <= g->m_ParticleMax; ++i) {
    float* p = &g->m_Particles[10 * i];
    if (p[0] == 0) g->p_ThrowParticle2(320, 240, 4 + i % 3, static_cast<float>(i * 7 % 360), 1 + i % 4);
    p[1] = static_cast<float>(40 + i * 37 % 560); // kept on the screen
    p[2] = static_cast<float>(40 + i * 53 % 400);
    p[7] = 1.2f;
  }
  g->m_Player[PL_UPDATES_LEFT] = 3000;
  g->m_Player[PL_END_TIME] = static_cast<float>(zu_app_Millisecs() + 50000);
}

int Live(c_MyApp* g) {
  int n = 0;
  for (int i = 0; i <= g->m_ParticleMax; ++i) n += g->m_Particles[10 * i] != 0;
  return n;
}

} // namespace

int main() {
  c_MyApp* game = LoadedGame("bench_board");
  if (!game) return 1;
  gxtkGraphics* dev = BenchDevice();
  game->m_GameLength = 2;
  game->m_GameMode = 11;
  UpdateGame(game);                              // the game is set up
  for (int i = 0; i < 80; ++i) UpdateGame(game); // the tiles fall into place

  std::vector<double> updCpu, updWall, renCpu, renWall;
  long long calls0 = 0, records = 0, live = 0;
  for (int r = 0; r < kWarmup + kRounds; ++r) {
    Busy(game);
    if (r == kWarmup) calls0 = dev->drawCalls;
    const double c0 = CpuMs(), w0 = WallMs();
    UpdateGame(game);
    const double c1 = CpuMs(), w1 = WallMs();
    RenderGame(game);
    const double c2 = CpuMs(), w2 = WallMs();
    if (game->m_GameMode != 10 || game->m_Word.Length() != kChain) {
      std::fprintf(stderr, "bench_board: the game left its busy state (mode %d)\n", game->m_GameMode);
      return 1;
    }
    if (r < kWarmup) continue;
    records += game->m_DrawCount / kRecordFloats;
    live += Live(game);
    updCpu.push_back(c1 - c0);
    updWall.push_back(w1 - w0);
    renCpu.push_back(c2 - c1);
    renWall.push_back(w2 - w1);
  }
  std::printf("board game frame: a full board, a %d-tile chain, %lld live particles on average; 640x480, "
              "renderer %s\n",
              kChain, live / kRounds, RendererName());
  std::printf("%d rounds after %d warm-up rounds; %lld records a frame\n", kRounds, kWarmup,
              records / kRounds);
  std::printf("  game update: CPU median %7.3f ms (min %7.3f), wall median %7.3f ms\n", Median(updCpu),
              Min(updCpu), Median(updWall));
  std::printf("  render:      CPU median %7.3f ms (min %7.3f), wall median %7.3f ms; %lld draw calls\n",
              Median(renCpu), Min(renCpu), Median(renWall), (dev->drawCalls - calls0) / kRounds);
  CloseGame();
  return 0;
}
