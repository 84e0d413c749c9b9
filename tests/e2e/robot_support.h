// tests/e2e/robot_support.h — what the scripted player knows besides the window: the word list
// it installs (every short combination of letters), the word chains the program prints, the
// points of a word, and the program's sound recorded through OpenAL Soft's wave writer.
// Depends on: program.h.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <vector>

#include "program.h"

namespace e2e {

using Cell = std::pair<int, int>;
using Chain = std::vector<Cell>;

// Every two- and every three-letter combination of A..Z, packed as the list file holds them
// (five bits a letter, the first letter lowest; a second integer of 0): any chain of two or
// three neighbouring tiles is a word, and its score follows from its letters alone.
std::string AllShortWords();
// The points of a letter as its tile shows them; a blank ("?") counts nothing.
int LetterValue(char c);
// A word scores its length times the sum of its letters' points.
int WordScore(const std::string& word);
// The chains the program has printed: at each word's end 21 lines "x,y" (entry 0 unused and
// the unused entries at -1), the cells of the chain in the order they were taken.
std::vector<Chain> Chains(const std::string& output);
// Every chain printed so far, for messages.
std::string Printed(const Program& p);

// OpenAL Soft's wave writer records everything the program plays, in real time from the moment
// the program opens its device: 22050 frames a second, two 16-bit channels, after a 44-byte
// header whose sizes are only written when the device closes. A thread notes when the file grows,
// so that a moment of the test's clock can be found in the recording.
class Recording {
public:
  static constexpr int kRate = 22050;

  Recording() {
    char name[] = "/tmp/lexorm-sound-XXXXXX";
    dir_ = mkdtemp(name);
    wav_ = dir_ / "sound.wav";
    std::ofstream(dir_ / "alsoft.conf")
        << "[general]\ndrivers = wave\nsample-type = int16\n"
        << "channels = stereo\nfrequency = " << kRate << "\n[wave]\nfile = " << wav_.string() << "\n";
    watcher_ = std::thread([this] { Watch(); });
  }
  ~Recording() {
    stop_ = true;
    watcher_.join();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::map<std::string, std::string> Env() const {
    return {{"ALSOFT_DRIVERS", "wave"}, {"ALSOFT_CONF", (dir_ / "alsoft.conf").string()}};
  }

  // The place in the recording, in seconds, that was being written at the moment; -1 before
  // the recording began.
  double At(Clock::time_point t) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::pair<Clock::time_point, long>* last = nullptr;
    for (const auto& step : steps_)
      if (step.first <= t) last = &step;
    if (!last) return -1;
    return static_cast<double>(last->second - 44) / (4.0 * kRate) +
           std::chrono::duration<double>(t - last->first).count();
  }

  // The recording's length in seconds, and how long it has been since it began.
  double Length() const { return static_cast<double>(Pcm().size()) / (2.0 * kRate); }
  double Elapsed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_.empty() ? 0 : std::chrono::duration<double>(Clock::now() - steps_.front().first).count();
  }

  // The loudest 10-ms stretch between two places (seconds): the root mean square of its
  // samples, full scale 32768.
  double Loudest(double from, double to) const {
    const std::vector<int16_t> pcm = Pcm();
    const long frames = static_cast<long>(pcm.size() / 2), step = kRate / 100;
    double loudest = 0;
    for (long at = std::max(0L, static_cast<long>(from * kRate)); at + step <= frames && at < to * kRate;
         at += step / 2) {
      double sum = 0;
      for (long i = 2 * at; i < 2 * (at + step); ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
      loudest = std::max(loudest, std::sqrt(sum / (2.0 * step)));
    }
    return loudest;
  }

  // A copy that players read: the sizes in the header made whole.
  void SaveTo(const fs::path& file) const {
    std::string bytes = ReadFile(wav_);
    if (bytes.size() < 44) return;
    auto put = [&](size_t at, uint32_t v) {
      for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(v >> (8 * k) & 0xff);
    };
    put(4, static_cast<uint32_t>(bytes.size() - 8));
    put(40, static_cast<uint32_t>(bytes.size() - 44));
    std::ofstream(file, std::ios::binary) << bytes;
  }

private:
  fs::path dir_, wav_;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, long>> steps_; // when the file grew, to what size

  void Watch() {
    long size = -1;
    while (!stop_) {
      struct stat st;
      if (stat(wav_.c_str(), &st) == 0 && st.st_size != size && st.st_size >= 44) {
        size = st.st_size;
        std::lock_guard<std::mutex> lock(mutex_);
        steps_.emplace_back(Clock::now(), size);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  std::vector<int16_t> Pcm() const {
    const std::string bytes = ReadFile(wav_);
    std::vector<int16_t> pcm;
    for (size_t i = 44; i + 4 <= bytes.size(); i += 2)
      pcm.push_back(
          static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
    if (pcm.size() % 2) pcm.pop_back();
    return pcm;
  }
};

// A sound effect at full volume measures a few thousand; silence is exactly 0.
constexpr double kHeard = 300, kQuiet = 30;

} // namespace e2e
