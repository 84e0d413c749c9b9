// audio/decoders.h — the audio file readers: RIFF/WAVE PCM (LoadWAV) and Ogg Vorbis through
// stb_vorbis (LoadOGG), and their registration with the host's LoadAudioData.
// Depends on: host (ZuGlfwGame::SetAudioReader), stb_vorbis (libstb).
//
// Both read from an open file that stays the caller's, and give PCM from the system
// allocator (free with std::free) with the number of sample frames, the channel count,
// the bytes per sample (1 or 2) and the sample rate; or null, with the out-values
// untouched, when the file cannot be decoded. Neither trusts a size it reads: nothing is
// allocated, skipped or read beyond what the file holds, and a result always fits one
// OpenAL buffer (at most INT_MAX bytes, at least one frame).
#pragma once

#include <cstdio>

// RIFF "WAVE" with a PCM "fmt " chunk first (its extra bytes skipped): 1 or 2 channels, 8 or
// 16 bits per sample, a rate of at least 1; chunks other than "data" are skipped. Null for
// anything else, for a chunk that runs past the end of the file and for a file that ends
// before a complete "data" chunk.
unsigned char* LoadWAV(std::FILE* f, int* length, int* channels, int* format, int* hertz);

// Ogg Vorbis decoded whole into 16-bit samples; null when stb_vorbis cannot open the file or
// it yields no frame, when it has more than two channels or a rate above 192 kHz (refused
// before any decoding), or when it plays longer than ten minutes.
constexpr int kOggMaxChannels = 2;
constexpr unsigned kOggMaxRate = 192000;
constexpr long long kOggMaxSeconds = 600;
unsigned char* LoadOGG(std::FILE* f, int* length, int* channels, int* format, int* hertz);

// Registers LoadWAV for ".wav" and LoadOGG for ".ogg" with the host (done by gxtkAudio's
// constructor; tests may call it without a device).
void RegisterAudioReaders();
