// tools/datagen/vorbis_encode.cpp — see vorbis_encode.h.
#include "vorbis_encode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <vorbis/vorbisenc.h>

namespace {

void Append(std::vector<uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

} // namespace

bool EncodeVorbis(const VorbisInput& in, std::vector<uint8_t>& out) {
  const int channels = static_cast<int>(in.planes.size());
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (channels < 1 || vorbis_encode_init_vbr(&vi, channels, in.rate, in.quality) != 0) {
    std::fprintf(stderr, "vorbis: the encoder refused %d channels at %d Hz\n", channels, in.rate);
    vorbis_info_clear(&vi);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  for (const auto& [tag, value] : in.tags) vorbis_comment_add_tag(&vc, tag.c_str(), value.c_str());
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x4c58524d); // "LXRM"

  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page) != 0) Append(out, page); // audio starts on a fresh page

  const size_t frames = in.planes[0].size();
  size_t fed = 0;
  bool ended = false;
  while (!ended) {
    const size_t chunk = std::min<size_t>(4096, frames - fed);
    if (chunk > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
      for (int c = 0; c < channels; ++c)
        std::memcpy(buffer[c], in.planes[c].data() + fed, chunk * sizeof(float));
      fed += chunk;
    }
    vorbis_analysis_wrote(&vd, static_cast<int>(chunk)); // 0 marks the end of the stream
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) {
          Append(out, page);
          if (ogg_page_eos(&page)) ended = true;
        }
      }
    }
    if (chunk == 0 && !ended) break; // no end-of-stream page: said below
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  if (!ended) std::fprintf(stderr, "vorbis: the stream did not end\n");
  return ended;
}
