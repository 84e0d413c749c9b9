// tests/fuzz/string_load.cpp — String::Load on any bytes: after a byte-order mark, UTF-16 units
// (an odd last byte dropped); else UTF-8 that writes back to the same bytes or, with "Invalid
// UTF-8" in str_load_err, one character a byte. Every load clears an earlier error. And the
// input's bytes as 16-bit units, written by ToUtf8 (as a save is), load back alike.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/string.h"
#include "tests/fuzz/fuzz_support.h"

static String Load(const std::string& bytes) {
  str_load_err = String("stale");
  std::FILE* f = MemFile(bytes.data(), bytes.size());
  const String s = String::Load(f);
  std::fclose(f);
  return s;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(data[2 * i] << 8 | data[2 * i + 1]);
  const String text(units.data(), static_cast<int>(units.size()));
  if (units.empty() || units[0] != 0xFEFF) // which would be read as the mark
    FUZZ_CHECK(Load(text.ToUtf8()) == text && str_load_err.Length() == 0, "%zu units load otherwise",
               units.size());

  const String s = Load(std::string(reinterpret_cast<const char*>(data), size));
  const bool bytes = str_load_err == String("Invalid UTF-8");
  FUZZ_CHECK(bytes || str_load_err.Length() == 0, "str_load_err not set by this load");
  if (size >= 2 && (data[0] ^ data[1]) == 1 && (data[0] & 0xFE) == 0xFE) { // FE FF or FF FE
    std::u16string want(units.begin() + 1, units.end());                   // as big-endian
    for (char16_t& u : want) u = data[0] == 0xFE ? u : static_cast<char16_t>(u >> 8 | u << 8);
    FUZZ_CHECK(!bytes && s == String(want.data(), static_cast<int>(want.size())), "%zu bytes read otherwise",
               size);
    return 0;
  }
  const std::size_t start = size > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
  const std::string body(reinterpret_cast<const char*>(data) + start, size - start);
  // Decoded text that writes back otherwise was read from an invalid (say over-long) sequence.
  FUZZ_CHECK(bytes || s.ToUtf8() == body, "%zu bytes decode to text that writes back otherwise", body.size());
  FUZZ_CHECK(!bytes || s == String(body.data(), static_cast<int>(body.size())),
             "the bytes are not its characters");
  return 0;
}
