// bench/perf_floor.cpp — the floor the game is measured against: a bare 640 x 480 window that
// draws a given number of textured, blended quads a frame from one client-side vertex array
// (one draw call), paced at 60 frames a second by sleeping, with a sound device open and idle.
// Prints, and writes as key=value lines to --out, its CPU per second and peak memory.
// Depends on: GLFW 3, OpenGL 1.1, OpenAL (nothing of ours).
#include <GLFW/glfw3.h>
#include <al.h>
#include <alc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

double CpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

struct Vertex {
  float x, y, u, v;
  unsigned char rgba[4];
};

// The first quad covers the window (the game's backdrop); the others are 24-pixel sprites on a
// grid that drift a little every frame.
void PlaceQuads(std::vector<Vertex>& v, int quads, int frame) {
  for (int q = 0; q < quads; ++q) {
    float x0, y0, x1, y1;
    if (q == 0) {
      x0 = 0, y0 = 0, x1 = 640, y1 = 480;
    } else {
      x0 = static_cast<float>((q * 37) % 616) + std::sin((frame + q) * 0.05f) * 4;
      y0 = static_cast<float>((q * 53) % 456);
      x1 = x0 + 24, y1 = y0 + 24;
    }
    Vertex* p = &v[q * 4];
    p[0] = {x0, y0, 0, 0, {255, 255, 255, 255}};
    p[1] = {x1, y0, 1, 0, {255, 255, 255, 255}};
    p[2] = {x1, y1, 1, 1, {255, 255, 255, 255}};
    p[3] = {x0, y1, 0, 1, {255, 255, 255, 255}};
  }
}

} // namespace

int main(int argc, char** argv) {
  int quads = 100;
  double seconds = 20, warm = 2;
  std::string out, name = "floor";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--quads"))
      quads = std::clamp(std::atoi(argv[i + 1]), 1, 100000);
    else if (!std::strcmp(argv[i], "--seconds"))
      seconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--out"))
      out = argv[i + 1];
    else if (!std::strcmp(argv[i], "--name"))
      name = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: %s [--quads N] [--seconds S] [--name LABEL] [--out FILE]\n", argv[0]);
      return 2;
    }
  }

  ALCdevice* sound = alcOpenDevice(nullptr);
  ALCcontext* context = sound ? alcCreateContext(sound, nullptr) : nullptr;
  if (context) alcMakeContextCurrent(context);

  if (!glfwInit()) {
    std::fputs("perf_floor: glfwInit failed (no display?)\n", stderr);
    return 1;
  }
  glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(640, 480, "floor", nullptr, nullptr);
  if (!window) {
    std::fputs("perf_floor: no window\n", stderr);
    return 1;
  }
  glfwMakeContextCurrent(window);
  glfwSwapInterval(1);

  // A 64 x 64 sprite with soft edges, premultiplied.
  std::vector<unsigned char> pixels(64 * 64 * 4);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      float d = std::hypot(x - 31.5f, y - 31.5f) / 32;
      auto a = static_cast<unsigned char>(d < 1 ? 255 * (1 - d * d) : 0);
      unsigned char* p = &pixels[(y * 64 + x) * 4];
      p[0] = static_cast<unsigned char>(a * (x * 4) / 255),
      p[1] = static_cast<unsigned char>(a * (y * 4) / 255), p[2] = a / 2, p[3] = a;
    }
  GLuint texture;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());

  glViewport(0, 0, 640, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 640, 480, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);

  std::vector<Vertex> vertices(static_cast<std::size_t>(quads) * 4);
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / 60));
  auto next = Clock::now();
  auto start = next;
  double cpu0 = 0;
  bool measuring = false;
  long frames = 0;
  for (long frame = 0;; ++frame) {
    glfwPollEvents();
    if (glfwWindowShouldClose(window)) return 1;
    auto now = Clock::now();
    double elapsed = std::chrono::duration<double>(now - start).count();
    if (!measuring && elapsed >= warm) {
      measuring = true;
      start = now;
      cpu0 = CpuSeconds();
      frames = 0;
    } else if (measuring && elapsed >= seconds) {
      double cpu = CpuSeconds() - cpu0;
      rusage u;
      getrusage(RUSAGE_SELF, &u);
      char text[512];
      std::snprintf(
          text, sizeof text,
          "%s.quads=%d\n%s.wall_s=%g\n%s.cpu_per_s=%g\n%s.frames=%ld\n%s.peak_rss_mb=%g\n%s.sound=%d\n",
          name.c_str(), quads, name.c_str(), elapsed, name.c_str(), cpu / elapsed, name.c_str(), frames,
          name.c_str(), u.ru_maxrss / 1024.0, name.c_str(), context ? 1 : 0);
      std::printf("%-11s %5.1f s: CPU %.3f s/s; %d quads, %ld frames; peak RSS %.1f MB%s\n", name.c_str(),
                  elapsed, cpu / elapsed, quads, frames, u.ru_maxrss / 1024.0,
                  context ? "" : " (no sound device)");
      if (!out.empty()) {
        std::ofstream file(out);
        file << text;
      }
      break;
    }

    PlaceQuads(vertices, quads, static_cast<int>(frame));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].u);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), vertices[0].rgba);
    glDrawArrays(GL_QUADS, 0, quads * 4);
    glfwSwapBuffers(window);
    ++frames;

    next += period;
    now = Clock::now();
    if (next > now)
      std::this_thread::sleep_until(next);
    else
      next = now; // behind: start the schedule again from now
  }

  glfwDestroyWindow(window);
  glfwTerminate();
  if (context) {
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
  }
  if (sound) alcCloseDevice(sound);
  return 0;
}
