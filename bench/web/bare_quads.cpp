// bench/web/bare_quads.cpp — the floor the browser game is measured against (make web-perf): a bare
// emscripten page that, on every animation frame, draws textured coloured quads batch by batch the
// way the game's graphics device does (20-byte interleaved client-side vertices, glDrawElements of
// quads through the legacy GL emulation), with a sound device open and idle.
// Depends on: emscripten (GLFW 3, legacy GL emulation, OpenAL, main loop); nothing of ours.
#include <AL/al.h>
#include <AL/alc.h>
#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Quads per draw call in one frame of the game at 640 x 480, in the order it draws them, and the
// pixels each of that call's quads covers on average. Measured in headless Chromium by counting
// the WebGL drawElements calls of the game's frames (indices / 6) and the quads' corners in the
// vertices uploaded for each: in the menu at rest, 14 calls and 86 quads covering 2.1 windows; in
// play, a 30-second game with a full board, 7 calls and 180 quads covering 1.6 windows. make
// web-perf passes the counts it measures in the same run (?draws=1,1,2,...&areas=309444,...
// on the page's address); these are the defaults.
const int kMenuDraws[] = {1, 1, 2, 31, 1, 1, 3, 1, 1, 2, 1, 2, 1, 38};
const int kMenuAreas[] = {309444, 73728, 34320, 576,   9216, 16384, 9216,
                          70139,  1791,  252,   12450, 1751, 2088,  520};
const int kPlayDraws[] = {1, 101, 50, 23, 2, 2, 1};
const int kPlayAreas[] = {309444, 43, 3378, 590, 544, 1024, 1024};

// The game's batch holds at most 256 quads (1,024 vertices).
constexpr int kMaxQuads = 256;

// The device's vertex: position, texture coordinates, premultiplied colour bytes r, g, b, a.
struct Vertex {
  float x, y, u, v;
  uint32_t color;
};
static_assert(sizeof(Vertex) == 20, "the game's vertex layout");

// Texture sizes like the game's sheets at 640 x 480 (menu, buttons, fonts, icons); a draw call
// uses texture (call number % 4), so consecutive calls change texture as the game's mostly do.
const int kTextureSizes[][2] = {{1024, 1024}, {512, 512}, {512, 256}, {512, 128}};
constexpr int kTextures = 4;

struct Floor {
  GLFWwindow* window = nullptr;
  std::vector<int> draws; // quads a call
  std::vector<int> areas; // pixels a quad of each call
  GLuint textures[kTextures] = {};
  Vertex vertices[kMaxQuads * 4];
  uint16_t indices[kMaxQuads * 6];
  long frame = 0;
};

// Soft discs on a grid, premultiplied, as RGBA bytes.
void MakeTexture(GLuint texture, int w, int h) {
  std::vector<unsigned char> pixels(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float dx = static_cast<float>(x % 64) - 31.5f, dy = static_cast<float>(y % 64) - 31.5f;
      const float d = std::sqrt(dx * dx + dy * dy) / 32;
      const int a = d < 1 ? static_cast<int>(255 * (1 - d * d)) : 0;
      unsigned char* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<unsigned char>(a * (x * 255 / w) / 255);
      p[1] = static_cast<unsigned char>(a * (y * 255 / h) / 255);
      p[2] = static_cast<unsigned char>(a / 2);
      p[3] = static_cast<unsigned char>(a);
    }
  // As the game's surfaces are made: nearest filtering, clamped, storage first, then the pixels.
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
}

uint32_t Pack(int r, int g, int b, int a) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(r * a / 255),
                                  static_cast<unsigned char>(g * a / 255),
                                  static_cast<unsigned char>(b * a / 255), static_cast<unsigned char>(a)};
  uint32_t packed;
  std::memcpy(&packed, bytes, 4);
  return packed;
}

// The quads of draw call `call` at the start of the batch, as the device writes them: squares of
// `area` pixels (the whole window when that is larger) scattered over the window, drifting.
void PlaceQuads(Floor& f, int call, int quads, int area, int width, int height) {
  const bool whole = area >= width * height;
  const float side = std::sqrt(static_cast<float>(area));
  const int roomX = std::max(1, width - static_cast<int>(side)),
            roomY = std::max(1, height - static_cast<int>(side));
  for (int q = 0; q < quads; ++q) {
    const int n = call * 37 + q;
    float x0 = 0, y0 = 0, x1 = static_cast<float>(width), y1 = static_cast<float>(height);
    if (!whole) {
      x0 = static_cast<float>((n * 37) % roomX) + std::sin(static_cast<float>(f.frame + n) * 0.05f) * 4;
      y0 = static_cast<float>((n * 53) % roomY);
      x1 = x0 + side, y1 = y0 + side;
    }
    const float u0 = static_cast<float>(n % 8) / 8, v0 = static_cast<float>(n / 8 % 8) / 8;
    const float u1 = u0 + 0.125f, v1 = v0 + 0.125f;
    const uint32_t c = Pack(255, 128 + n % 128, 255 - n % 64, 160 + n % 96);
    Vertex* v = f.vertices + q * 4;
    v[0] = {x0, y0, u0, v0, c};
    v[1] = {x1, y0, u1, v0, c};
    v[2] = {x1, y1, u1, v1, c};
    v[3] = {x0, y1, u0, v1, c};
  }
}

// One frame: the device's frame set-up, a clear, then each batch filled and drawn.
void Frame(void* floor) {
  Floor& f = *static_cast<Floor*>(floor);
  int width = 0, height = 0;
  glfwGetWindowSize(f.window, &width, &height);
  if (width < 64 || height < 64) width = 640, height = 480;

  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &f.vertices[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &f.vertices[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &f.vertices[0].color);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_SCISSOR_TEST);

  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  for (std::size_t call = 0; call < f.draws.size(); ++call) {
    const int quads = f.draws[call];
    PlaceQuads(f, static_cast<int>(call), quads, f.areas[call], width, height);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, f.textures[call % kTextures]);
    glDrawElements(GL_TRIANGLES, quads * 6, GL_UNSIGNED_SHORT, f.indices);
    glDisable(GL_TEXTURE_2D);
  }
  glfwSwapBuffers(f.window);
  ++f.frame;
}

// "1,101,50" -> {1, 101, 50}; each number from 1 to `most`, at most 64; empty when malformed.
std::vector<int> ParseList(const char* text, long most) {
  std::vector<int> list;
  for (const char* p = text; *p;) {
    char* end = nullptr;
    const long n = std::strtol(p, &end, 10);
    if (end == p || n < 1 || n > most || list.size() == 64 || (*end && *end != ',')) return {};
    list.push_back(static_cast<int>(n));
    p = *end == ',' ? end + 1 : end;
  }
  return list;
}

} // namespace

int main(int argc, char** argv) {
  Floor* f = new Floor;
  const char* draws = "menu";
  const char* areas = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--draws")) draws = argv[i + 1];
    if (!std::strcmp(argv[i], "--areas")) areas = argv[i + 1];
  }
  if (!std::strcmp(draws, "menu")) {
    f->draws.assign(std::begin(kMenuDraws), std::end(kMenuDraws));
    f->areas.assign(std::begin(kMenuAreas), std::end(kMenuAreas));
  } else if (!std::strcmp(draws, "play")) {
    f->draws.assign(std::begin(kPlayDraws), std::end(kPlayDraws));
    f->areas.assign(std::begin(kPlayAreas), std::end(kPlayAreas));
  } else {
    f->draws = ParseList(draws, kMaxQuads);
    f->areas.assign(f->draws.size(), 2304); // 48 x 48
  }
  if (areas) f->areas = ParseList(areas, 10000000);
  if (f->draws.empty() || f->areas.size() != f->draws.size()) {
    std::puts("bare_quads: --draws takes menu, play or quads a call (1,101,50: 1 to 256 each), then --areas "
              "as many pixel counts, a quad's of each call");
    return 1;
  }
  for (int q = 0; q < kMaxQuads; ++q) {
    uint16_t* e = f->indices + q * 6;
    const auto b = static_cast<uint16_t>(q * 4);
    e[0] = b, e[1] = static_cast<uint16_t>(b + 1), e[2] = static_cast<uint16_t>(b + 2);
    e[3] = b, e[4] = static_cast<uint16_t>(b + 2), e[5] = static_cast<uint16_t>(b + 3);
  }

  // An idle sound device, as the game keeps one open.
  ALCdevice* sound = alcOpenDevice(nullptr);
  ALCcontext* context = sound ? alcCreateContext(sound, nullptr) : nullptr;
  if (context) alcMakeContextCurrent(context);

  if (!glfwInit()) {
    std::puts("bare_quads: glfwInit failed");
    return 1;
  }
  glfwWindowHint(GLFW_RED_BITS, 8);
  glfwWindowHint(GLFW_GREEN_BITS, 8);
  glfwWindowHint(GLFW_BLUE_BITS, 8);
  glfwWindowHint(GLFW_ALPHA_BITS, 0);
  glfwWindowHint(GLFW_DEPTH_BITS, 0);
  glfwWindowHint(GLFW_STENCIL_BITS, 0);
  f->window = glfwCreateWindow(640, 480, "", nullptr, nullptr);
  if (!f->window) {
    std::puts("bare_quads: no window");
    return 1;
  }
  glfwMakeContextCurrent(f->window);
  glGenTextures(kTextures, f->textures);
  for (int t = 0; t < kTextures; ++t) MakeTexture(f->textures[t], kTextureSizes[t][0], kTextureSizes[t][1]);

  int quads = 0;
  for (int n : f->draws) quads += n;
  std::printf("bare_quads: %d quads a frame in %zu draw calls\n", quads, f->draws.size());
  emscripten_set_main_loop_arg(Frame, f, 0, 0);
  return 0;
}
