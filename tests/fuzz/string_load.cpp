// tests/fuzz/string_load.cpp — libFuzzer harness for String::Load: any bytes, and the result
// checked against what Load promises. A UTF-16 file (either byte-order mark) gives its units,
// an odd last byte dropped. Anything else, after an optional UTF-8 mark, is UTF-8 of 1..3-byte
// sequences in their shortest form (surrogates included, as ToUtf8 writes them one by one):
// then ToUtf8 gives the bytes back and FromUtf8 reads them alike; other bytes are taken one
// character each, with str_load_err saying so. str_load_err is cleared by every other load.
// Depends on: runtime (String), fuzz_support.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/string.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The reading Load is held to: 1..3-byte sequences, none longer than it needs to be.
bool Utf8AsLoadReadsIt(const std::uint8_t* p, std::size_t n) {
  auto cont = [p, n](std::size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
  for (std::size_t i = 0; i < n;) {
    const unsigned b = p[i];
    if (b < 0x80) {
      i += 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      if (!cont(i + 1)) return false;
      i += 2;
    } else if ((b & 0xF0) == 0xE0) {
      if (!cont(i + 1) || !cont(i + 2) || (b == 0xE0 && p[i + 1] < 0xA0)) return false;
      i += 3;
    } else {
      return false; // a continuation byte, C0 or C1, or a lead of four bytes or more
    }
  }
  return true;
}

std::string Units(const String& s) {
  std::string out;
  for (int i = 0; i < s.Length() && i < 16; ++i) out += std::to_string(static_cast<unsigned>(s[i])) + " ";
  return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  str_load_err = String("stale"); // what an earlier load left: this one must replace it
  String s;
  {
    InputFile f(data, size);
    s = String::Load(f.get());
  }
  const bool fellBack = str_load_err == String("Invalid UTF-8");
  FUZZ_CHECK(fellBack || str_load_err.Length() == 0, "str_load_err is neither clear nor set by this load");

  if (size >= 2 && ((data[0] == 0xFE && data[1] == 0xFF) || (data[0] == 0xFF && data[1] == 0xFE))) {
    const bool big = data[0] == 0xFE;
    FUZZ_CHECK(!fellBack, "UTF-16 cannot fall back");
    FUZZ_CHECK(static_cast<std::size_t>(s.Length()) == (size - 2) / 2, "%d units from %zu bytes", s.Length(),
               size);
    for (int i = 0; i < s.Length(); ++i) {
      const std::uint8_t* u = data + 2 + 2 * i;
      const unsigned want = big ? u[0] << 8 | u[1] : u[1] << 8 | u[0];
      FUZZ_CHECK(s[i] == want, "unit %d is %u, the file holds %u", i, static_cast<unsigned>(s[i]), want);
    }
    return 0;
  }

  const std::size_t start = size > 2 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
  const std::uint8_t* body = data + start;
  const std::size_t n = size - start;
  const std::string bytes(reinterpret_cast<const char*>(body), n);
  if (Utf8AsLoadReadsIt(body, n)) {
    FUZZ_CHECK(!fellBack, "valid UTF-8 of %zu bytes fell back to bytes", n);
    FUZZ_CHECK(s.ToUtf8() == bytes, "ToUtf8 does not give the %zu bytes back; units: %s", n,
               Units(s).c_str());
    FUZZ_CHECK(String::FromUtf8(bytes.data(), static_cast<int>(n)) == s, "FromUtf8 reads it otherwise");
  } else {
    FUZZ_CHECK(fellBack, "invalid UTF-8 was decoded: %s", Units(s).c_str());
    FUZZ_CHECK(static_cast<std::size_t>(s.Length()) == n, "%d characters for %zu bytes", s.Length(), n);
    for (std::size_t i = 0; i < n; ++i)
      FUZZ_CHECK(s[static_cast<int>(i)] == body[i], "character %zu is not its byte", i);
    FUZZ_CHECK(String::FromUtf8(bytes.data(), static_cast<int>(n)) == s, "FromUtf8 reads it otherwise");
  }
  return 0;
}
