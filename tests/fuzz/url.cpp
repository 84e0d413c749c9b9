// tests/fuzz/url.cpp — c_Url on any text, its parts and full path checked against the grammar
//   [scheme "://"] [user [":" password] "@"] domain [":" port] [path] ["?" query] ["#" fragment]
// A scheme is a letter, then letters, digits, "+", "-" or "."; the query starts at a "?" before
// any "#"; the authority runs to the first "/", the user part to its "@". The port is 80 when
// none is written, the value of its digits (saturating), or 0 for anything else (no request).
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/http.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The text's units narrowed to bytes, wider ones to 0xFF, which no rule here gives a meaning.
std::string Narrow(const String& s) {
  std::string out;
  for (int i = 0; i < s.Length(); ++i) out += s[i] < 0x100 ? static_cast<char>(s[i]) : '\xFF';
  return out;
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool Scheme(const std::string& s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!((s[i] | 32) >= 'a' && (s[i] | 32) <= 'z') &&
        (i == 0 || !(Digit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.')))
      return false;
  return !s.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return -1; // longer than any request line may be
  const String text = String::FromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
  c_Url* url = (new c_Url)->m_new(text, String("http"), 80);
  const std::string t = Narrow(text), at = t.substr(0, 200);
  const std::size_t npos = std::string::npos, f = t.find('#');
  std::size_t q = t.find('?');
  if (q > f) q = npos;
  const std::size_t e = std::min({q, f, t.size()}), colon = t.find("://");
  std::string scheme = "http", path = "/", user, password;
  std::size_t s = 0;
  if (colon < e && Scheme(t.substr(0, colon))) scheme = t.substr(0, colon), s = colon + 3;
  const std::size_t slash = std::min(t.find('/', s), e);
  std::string authority = t.substr(s, slash - s);
  if (slash < e) path = t.substr(slash, e - slash);
  const std::size_t a = authority.find('@'), c = authority.find(':');
  if (a != npos) {
    user = authority.substr(0, std::min(a, c));
    if (c < a) password = authority.substr(c + 1, a - c - 1);
    authority.erase(0, a + 1);
  }
  const std::size_t k = authority.find(':');
  long long port = k == npos ? 80 : 0;
  bool digits = true;
  for (std::size_t i = k + 1; k != npos && i < authority.size(); ++i)
    digits = digits && Digit(authority[i]),
    port = std::min<long long>(INT_MAX, port * 10 + (authority[i] & 15));
  if (!digits) port = 0;
  const std::string query = q == npos ? "" : t.substr(q + 1, std::min(f, t.size()) - q - 1);
  const std::string fragment = f == npos ? "" : t.substr(f + 1);
  const std::string want = scheme + "\n" + user + "\n" + password + "\n" + authority.substr(0, k) + "\n" +
                           path + "\n" + query + "\n" + fragment + "\n" + path +
                           (query.empty() ? "" : "?" + query) + (fragment.empty() ? "" : "#" + fragment);
  const String n("\n");
  const std::string got = Narrow(url->scheme + n + url->username + n + url->password + n + url->domain + n +
                                 url->path + n + url->query + n + url->fragment + n + url->p_FullPath());
  FUZZ_CHECK(url->url == text && got == want && url->port == port, "%s:\n%s\nport %d, not\n%s\nport %lld",
             at.c_str(), got.c_str(), url->port, want.c_str(), port);
  CollectEverything();
  return 0;
}
