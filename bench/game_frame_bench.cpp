// bench/game_frame_bench.cpp — one frame of the game with a full draw queue: the update
// (menu state, after the real loading sequence over the generated data) followed by recording
// 2,499 mixed records (sprites from the loaded sheets, text glyphs, rectangles, ellipses,
// lines), then the render that clears the window and replays the queue through the drawing
// module and the batched device, ending in glFinish. Reported: process CPU time and wall time
// per frame (median and minimum), split into update-and-record and render.
// Depends on: game (c_MyApp), app, graphics, host (window), the data from the build. Needs a
// display (make bench provides one).
#include <cstdio>
#include <vector>

#include "game_bench_support.h"

namespace {

constexpr int kWarmup = 20, kRounds = 200;

// What a busy screen records: sprites, text, rectangles, ellipses and lines, until full.
void RecordFullQueue(c_MyApp* g, int round) {
  for (int i = 0; g->m_DrawCount <= kLastRecordStart; ++i) {
    float x = static_cast<float>((i * 37 + round) % 620), y = static_cast<float>((i * 53) % 460);
    g->p_SetCol(static_cast<float>(i % 255), 200, static_cast<float>((i * 7) % 255), 0.3f + (i % 7) * 0.1f);
    switch (i % 10) {
    case 0:
    case 1:
    case 2:
      g->p_SetRot(static_cast<float>(i % 360));
      g->p_SetSize(0.5f + (i % 3) * 0.5f);
      g->p_DrawImg(1, x, y, i % 64); // bubbles
      break;
    case 3:
    case 4:
      g->p_SetRot(0);
      g->p_SetSize(1);
      g->p_DrawImg(96, x, y, i % 256); // particles
      break;
    case 5:
      g->p_Text(x, y, String("LEXORM 123"), 0, 0, 0);
      break;
    case 6:
    case 7:
      g->p_Rect(x, y, 12, 8);
      break;
    case 8:
      g->p_Oval(x, y, 6, 4);
      break;
    default:
      g->p_Line(x, y, x + 20, y + 10);
      break;
    }
  }
}

} // namespace

int main() {
  c_MyApp* game = LoadedGame("bench_game_frame");
  if (!game) return 1;
  gxtkGraphics* dev = BenchDevice();

  std::vector<double> updCpu, updWall, renCpu, renWall, allCpu;
  long long calls0 = 0, batches0 = 0;
  for (int r = 0; r < kWarmup + kRounds; ++r) {
    if (r == kWarmup) calls0 = dev->drawCalls, batches0 = dev->batchesDrawn;
    double c0 = CpuMs(), w0 = WallMs();
    UpdateGame(game);
    RecordFullQueue(game, r);
    double c1 = CpuMs(), w1 = WallMs();
    RenderGame(game);
    double c2 = CpuMs(), w2 = WallMs();
    if (game->m_DrawCount != 2499 * kRecordFloats) {
      std::fprintf(stderr, "bench_game_frame: the queue holds %d floats\n", game->m_DrawCount);
      return 1;
    }
    if (r < kWarmup) continue;
    updCpu.push_back(c1 - c0);
    updWall.push_back(w1 - w0);
    renCpu.push_back(c2 - c1);
    renWall.push_back(w2 - w1);
    allCpu.push_back(c2 - c0);
  }
  std::printf(
      "game frame: update (menu state) + 2,499 mixed records (60%% sprites from two sheets, text glyphs, "
      "rectangles, ellipses, lines) + render with replay and glFinish; 640x480, renderer %s\n",
      RendererName());
  std::printf("%d rounds after %d warm-up rounds\n", kRounds, kWarmup);
  std::printf("  update + recording: CPU median %7.3f ms (min %7.3f), wall median %7.3f ms\n", Median(updCpu),
              Min(updCpu), Median(updWall));
  std::printf(
      "  render + replay:    CPU median %7.3f ms (min %7.3f), wall median %7.3f ms; %lld draw calls in "
      "%lld batches per frame\n",
      Median(renCpu), Min(renCpu), Median(renWall), (dev->drawCalls - calls0) / kRounds,
      (dev->batchesDrawn - batches0) / kRounds);
  std::printf("  whole frame:        CPU median %7.3f ms (min %7.3f)\n", Median(allCpu), Min(allCpu));
  CloseGame();
  return 0;
}
