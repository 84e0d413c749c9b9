// tools/datagen/vorbis_encode.h — Ogg Vorbis encoding of float samples (libvorbisenc), with a fixed
// stream serial so that the same samples always give the same bytes. Used by the data generator
// and by the fuzzing seed writer.
// Depends on: libvorbisenc.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct VorbisInput {
  int rate = 22050;
  float quality = 0.1f;                                  // VBR quality, -0.1 .. 1
  std::vector<std::vector<float>> planes;                // one plane of samples per channel, equal lengths
  std::vector<std::pair<std::string, std::string>> tags; // comment tags, in order
};

// Appends the stream to `out`; false (with a line on standard error) when the encoder refuses
// the format or the stream does not end.
bool EncodeVorbis(const VorbisInput& in, std::vector<uint8_t>& out);
