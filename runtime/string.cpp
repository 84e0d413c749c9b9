// runtime/string.cpp — String bodies, conversions, text operations and the file decoder.
// Depends on: string.h, array.h.
#include "string.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <vector>

String::Rep String::nullRep = {1, 0, {0}};
String str_load_err;

// ============================================================================
// [SECTION] Bodies
// ============================================================================

void String::Rep::release() {
  if (this != &nullRep && --refs == 0) std::free(this);
}

String::Rep* String::Rep::alloc(int length) {
  if (length <= 0) return &nullRep;
  std::size_t bytes = offsetof(Rep, data) + sizeof(char16_t) * static_cast<std::size_t>(length);
  Rep* r = static_cast<Rep*>(std::malloc(bytes));
  if (!r) {
    std::fputs("Out of memory\n", stdout);
    std::fflush(stdout);
    std::abort();
  }
  r->refs = 1;
  r->length = length;
  return r;
}

String& String::operator=(const String& s) {
  s.rep->retain();
  rep->release();
  rep = s.rep;
  return *this;
}

String& String::operator=(String&& s) noexcept {
  if (this != &s) {
    rep->release();
    rep = s.rep;
    s.rep = &nullRep;
  }
  return *this;
}

// ============================================================================
// [SECTION] Constructors and conversions
// ============================================================================

String::String(const char16_t* p, int n) : rep(Rep::alloc(n)) {
  if (n > 0) std::memcpy(rep->data, p, sizeof(char16_t) * n);
}

static int length16(const char16_t* p) {
  int n = 0;
  while (p[n]) ++n;
  return n;
}

String::String(const char16_t* p) : String(p, length16(p)) {}

String::String(const char* p) : String(p, static_cast<int>(std::strlen(p))) {}

// Widens bytes as unsigned values, so 0xE9 reads as U+00E9.
static String::Rep* widen(const char* p, int n) {
  String::Rep* r = String::Rep::alloc(n);
  for (int i = 0; i < n; ++i) r->data[i] = static_cast<unsigned char>(p[i]);
  return r;
}

String::String(const char* p, int n) : rep(widen(p, n)) {}

static String::Rep* print_int(int n) {
  char buf[16];
  int len = std::snprintf(buf, sizeof buf, "%i", n);
  return widen(buf, len);
}

String::String(int n) : rep(print_int(n)) {}

static String::Rep* print_float(float n) {
  char buf[64];
  std::snprintf(buf, sizeof buf - 2, "%.17lg", static_cast<double>(n));
  if (!std::strchr(buf, '.') && !std::strchr(buf, 'e')) std::strcat(buf, ".0");
  return widen(buf, static_cast<int>(std::strlen(buf)));
}

String::String(float n) : rep(print_float(n)) {}

int zu_atoi(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  long long value = 0;
  const long long cap = static_cast<long long>(INT_MAX) + 1;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > cap) value = cap; // keeps the accumulator bounded; the result saturates
  }
  if (negative) return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int String::ToInt() const {
  char buf[64];
  int n = Length() < 63 ? Length() : 63;
  // Only ASCII reads as itself: a wider character cut to its low byte could pass for a digit
  // (U+0135 for '5').
  for (int i = 0; i < n; ++i) buf[i] = rep->data[i] < 0x80 ? static_cast<char>(rep->data[i]) : '\x7f';
  buf[n] = 0;
  return zu_atoi(buf);
}

String::CString<char>::CString(const String& s) : buf(new char[s.Length() + 1]) {
  for (int i = 0; i < s.Length(); ++i) buf[i] = static_cast<char>(s[i]);
  buf[s.Length()] = 0;
}

std::string String::ToUtf8() const {
  std::string out;
  out.reserve(Length());
  for (int i = 0; i < Length(); ++i) {
    unsigned c = rep->data[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 63));
    } else {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | ((c >> 6) & 63));
      out += static_cast<char>(0x80 | (c & 63));
    }
  }
  return out;
}

// Decodes 1..3-byte UTF-8 sequences into out; false at the first invalid one. A sequence
// longer than its character needs (C0 AF for "/") is invalid: ToUtf8 never writes one, and
// taking it would let two byte strings read as the same text.
static bool decode_utf8(const unsigned char* p, std::size_t n, std::vector<char16_t>& out) {
  std::size_t i = 0;
  out.reserve(n);
  while (i < n) {
    unsigned b0 = p[i];
    if (b0 < 0x80) {
      out.push_back(static_cast<char16_t>(b0));
      i += 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      if (b0 < 0xC2 || i + 1 >= n || (p[i + 1] & 0xC0) != 0x80) return false;
      out.push_back(static_cast<char16_t>((b0 & 0x1F) << 6 | (p[i + 1] & 0x3F)));
      i += 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      if (i + 2 >= n || (p[i + 1] & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) return false;
      if (b0 == 0xE0 && p[i + 1] < 0xA0) return false; // below U+0800
      out.push_back(static_cast<char16_t>((b0 & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F)));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

String String::FromUtf8(const char* p, int n) {
  if (n <= 0) return String();
  std::vector<char16_t> chars;
  if (!decode_utf8(reinterpret_cast<const unsigned char*>(p), n, chars)) return String(p, n);
  return String(chars.data(), static_cast<int>(chars.size()));
}

// ============================================================================
// [SECTION] Comparison and search
// ============================================================================

bool String::operator==(const String& s) const {
  if (rep == s.rep) return true;
  return Length() == s.Length() && std::memcmp(rep->data, s.rep->data, sizeof(char16_t) * Length()) == 0;
}

String String::operator+(const String& s) const {
  if (Length() == 0) return s;
  if (s.Length() == 0) return *this;
  Rep* r = Rep::alloc(Length() + s.Length());
  std::memcpy(r->data, rep->data, sizeof(char16_t) * Length());
  std::memcpy(r->data + Length(), s.rep->data, sizeof(char16_t) * s.Length());
  return String(r);
}

String String::Slice(int from, int term) const {
  int n = Length();
  if (from < 0) {
    from += n;
    if (from < 0) from = 0;
  } else if (from > n) {
    from = n;
  }
  if (term >= 0) {
    if (term > n) term = n;
  } else {
    term += n;
  }
  if (from > term) return String();
  if (from == 0 && term == n) return *this;
  return String(rep->data + from, term - from);
}

int String::Find(const String& s, int start) const {
  if (start < 0) start = 0;
  int last = Length() - s.Length();
  for (int i = start; i <= last; ++i) {
    if (std::memcmp(rep->data + i, s.rep->data, sizeof(char16_t) * s.Length()) == 0) return i;
  }
  return -1;
}

bool String::StartsWith(const String& s) const {
  return s.Length() <= Length() && std::memcmp(rep->data, s.rep->data, sizeof(char16_t) * s.Length()) == 0;
}

bool String::EndsWith(const String& s) const {
  return s.Length() <= Length() &&
         std::memcmp(rep->data + Length() - s.Length(), s.rep->data, sizeof(char16_t) * s.Length()) == 0;
}

String String::ToUpper() const {
  Rep* r = Rep::alloc(Length());
  for (int i = 0; i < Length(); ++i) r->data[i] = static_cast<char16_t>(std::towupper(rep->data[i]));
  return String(r);
}

String String::ToLower() const {
  Rep* r = Rep::alloc(Length());
  for (int i = 0; i < Length(); ++i) r->data[i] = static_cast<char16_t>(std::towlower(rep->data[i]));
  return String(r);
}

// ============================================================================
// [SECTION] Replace, Split, Join
// ============================================================================

int String::CountOccurrences(const String& s) const {
  int count = 0;
  for (int i = Find(s, 0); i != -1; i = Find(s, i + s.Length())) ++count;
  return count;
}

String String::Replace(const String& find, const String& with) const {
  // An empty search text would match everywhere without advancing: leave the text as it is.
  if (find.Length() == 0) return *this;
  int count = CountOccurrences(find);
  if (count == 0) return *this;
  Rep* r = Rep::alloc(Length() + count * (with.Length() - find.Length()));
  char16_t* out = r->data;
  int at = 0;
  for (int i = Find(find, 0); i != -1; i = Find(find, at)) {
    std::memcpy(out, rep->data + at, sizeof(char16_t) * (i - at));
    out += i - at;
    std::memcpy(out, with.rep->data, sizeof(char16_t) * with.Length());
    out += with.Length();
    at = i + find.Length();
  }
  std::memcpy(out, rep->data + at, sizeof(char16_t) * (Length() - at));
  return String(r);
}

Array<String> String::Split(const String& sep) const {
  if (sep.Length() == 0) {
    Array<String> parts(Length());
    for (int i = 0; i < Length(); ++i) parts[i] = String(rep->data + i, 1);
    return parts;
  }
  int count = CountOccurrences(sep);
  Array<String> parts(count + 1);
  if (count == 0) {
    parts[0] = *this;
    return parts;
  }
  int at = 0, k = 0;
  for (int i = Find(sep, 0); i != -1; i = Find(sep, at)) {
    parts[k++] = Slice(at, i);
    at = i + sep.Length();
  }
  parts[k] = Slice(at);
  return parts;
}

String String::Join(const Array<String>& pieces) const {
  int n = pieces.Length();
  if (n == 0) return String();
  if (n == 1) return pieces[0];
  int total = Length() * (n - 1);
  for (int i = 0; i < n; ++i) total += pieces[i].Length();
  Rep* r = Rep::alloc(total);
  char16_t* out = r->data;
  for (int i = 0; i < n; ++i) {
    if (i > 0) {
      std::memcpy(out, rep->data, sizeof(char16_t) * Length());
      out += Length();
    }
    std::memcpy(out, pieces[i].rep->data, sizeof(char16_t) * pieces[i].Length());
    out += pieces[i].Length();
  }
  return String(r);
}

// ============================================================================
// [SECTION] Load
// ============================================================================

String String::Load(std::FILE* f) {
  std::vector<unsigned char> bytes;
  unsigned char block[4096];
  for (;;) {
    std::size_t got = std::fread(block, 1, sizeof block, f);
    bytes.insert(bytes.end(), block, block + got);
    if (got < sizeof block) break;
  }
  return LoadBytes(bytes.data(), bytes.size());
}

String String::LoadBytes(const void* data, std::size_t n) {
  str_load_err = String(); // also for an empty file: an earlier load's error is not this one's
  if (n == 0) return String();

  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::vector<char16_t> chars;
  if (n >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE))) {
    bool big = p[0] == 0xFE;
    chars.reserve(n / 2);
    for (std::size_t i = 2; i + 1 < n; i += 2)
      chars.push_back(static_cast<char16_t>(big ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]));
  } else {
    std::size_t start = (n > 2 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) ? 3 : 0;
    if (!decode_utf8(p + start, n - start, chars)) {
      str_load_err = String("Invalid UTF-8");
      chars.assign(p + start, p + n);
    }
  }
  if (chars.empty()) return String();
  return String(chars.data(), static_cast<int>(chars.size()));
}
