// tests/fuzz/url.cpp — libFuzzer harness for c_Url: the input's text split into its parts, each
// part checked against a reading of the URL grammar written here on its own:
//   [scheme "://"] [user [":" password] "@"] domain [":" port] [path] ["?" query] ["#" fragment]
// A scheme is a letter and then letters, digits, "+", "-" or "."; the query starts at a "?" that
// comes before any "#"; the authority runs to the first "/" and the user part to its first "@".
// A port given as digits reads as their value (saturating); the port of a URL that a request
// would go out to (visible ASCII, a host name, a port 1..65535) is the one written, or 80.
// Depends on: net (c_Url), runtime, fuzz_support.h.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/http.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Parts {
  std::string scheme = "http", user, password, domain, path = "/", query, fragment;
  bool hasPort = false, portIsDigits = false;
  long long portValue = 0; // of the digits, saturating at INT_MAX
};

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SchemeToken(const std::string& s) {
  if (s.empty() || !IsAlpha(s[0])) return false;
  for (char c : s)
    if (!IsAlpha(c) && !IsDigit(c) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

// The grammar above over the text's 16-bit units, each narrowed to a byte only when below 256 —
// wider characters are kept apart as 0xFF, which means nothing to any rule below.
Parts Read(const std::u16string& u) {
  std::string t;
  for (char16_t c : u) t += c < 0x100 ? static_cast<char>(c) : '\xFF';
  Parts p;
  const std::size_t npos = std::string::npos;
  std::size_t q = t.find('?');
  const std::size_t f = t.find('#');
  if (q != npos && f != npos && q > f) q = npos;
  const std::size_t e = q != npos ? q : (f != npos ? f : t.size());

  std::size_t s = 0;
  const std::size_t colon = t.find(':');
  if (colon != npos && colon < e && t.compare(colon, 3, "://") == 0 && colon + 3 <= e &&
      SchemeToken(t.substr(0, colon))) {
    p.scheme = t.substr(0, colon);
    s = colon + 3;
  }
  std::size_t slash = t.find('/', s);
  if (slash != npos && slash >= e) slash = npos;
  const std::size_t authorityEnd = slash != npos ? slash : e;
  std::string authority = t.substr(s, authorityEnd - s);
  const std::size_t at = authority.find('@');
  if (at != npos) {
    const std::string userinfo = authority.substr(0, at);
    const std::size_t k = userinfo.find(':');
    p.user = userinfo.substr(0, k);
    if (k != npos) p.password = userinfo.substr(k + 1);
    authority = authority.substr(at + 1);
  }
  const std::size_t k = authority.find(':');
  p.domain = authority.substr(0, k);
  if (k != npos) {
    p.hasPort = true;
    const std::string digits = authority.substr(k + 1);
    p.portIsDigits = true;
    for (char c : digits) {
      if (!IsDigit(c)) p.portIsDigits = false;
      if (p.portIsDigits && p.portValue <= INT_MAX) p.portValue = p.portValue * 10 + (c - '0');
    }
    if (p.portValue > INT_MAX) p.portValue = INT_MAX;
  }
  if (slash != npos) p.path = t.substr(slash, e - slash);
  if (q != npos) p.query = t.substr(q + 1, (f != npos ? f : t.size()) - q - 1);
  if (f != npos) p.fragment = t.substr(f + 1);
  return p;
}

// The text of a part as the model narrows it, for comparison.
std::string Narrow(const String& s) {
  std::string out;
  for (int i = 0; i < s.Length(); ++i) out += s[i] < 0x100 ? static_cast<char>(s[i]) : '\xFF';
  return out;
}

bool VisibleAscii(const String& s) {
  if (s.Length() == 0) return false;
  for (int i = 0; i < s.Length(); ++i)
    if (s[i] < 0x21 || s[i] > 0x7e) return false;
  return true;
}

bool HostName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.') return false;
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return -1; // longer than any request line may be
  const String text = String::FromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
  c_Url* url = (new c_Url)->m_new(text, String("http"), 80);
  const Parts want = Read(std::u16string(text.Data(), text.Length()));
  const std::string at = text.ToUtf8().substr(0, 200);

  FUZZ_CHECK(url->url == text, "the URL text is not kept: %s", at.c_str());
  FUZZ_CHECK(Narrow(url->scheme) == want.scheme, "scheme \"%s\", not \"%s\": %s", Narrow(url->scheme).c_str(),
             want.scheme.c_str(), at.c_str());
  FUZZ_CHECK(Narrow(url->username) == want.user && Narrow(url->password) == want.password,
             "user \"%s\" password \"%s\": %s", Narrow(url->username).c_str(), Narrow(url->password).c_str(),
             at.c_str());
  FUZZ_CHECK(Narrow(url->domain) == want.domain, "domain \"%s\", not \"%s\": %s", Narrow(url->domain).c_str(),
             want.domain.c_str(), at.c_str());
  FUZZ_CHECK(Narrow(url->path) == want.path, "path \"%s\", not \"%s\": %s", Narrow(url->path).c_str(),
             want.path.c_str(), at.c_str());
  FUZZ_CHECK(Narrow(url->query) == want.query && Narrow(url->fragment) == want.fragment,
             "query \"%s\" fragment \"%s\": %s", Narrow(url->query).c_str(), Narrow(url->fragment).c_str(),
             at.c_str());
  String full = url->path;
  if (url->query.Length() > 0) full += String("?") + url->query;
  if (url->fragment.Length() > 0) full += String("#") + url->fragment;
  FUZZ_CHECK(url->p_FullPath() == full, "the full path is not path?query#fragment: %s", at.c_str());

  const int port = url->p_Port();
  if (!want.hasPort) FUZZ_CHECK(port == 80, "port %d without a port in %s", port, at.c_str());
  if (want.hasPort && want.portIsDigits)
    FUZZ_CHECK(port == want.portValue, "port %d, written %lld: %s", port, want.portValue, at.c_str());
  // What a request would be sent to: only a port as written.
  const bool goesOut = VisibleAscii(text) && HostName(Narrow(url->domain)) && port >= 1 && port <= 65535;
  if (goesOut && want.hasPort)
    FUZZ_CHECK(want.portIsDigits, "a request would go to port %d of %s", port, at.c_str());

  // The same parts from the URL built back out of them.
  String rebuilt = url->scheme + String("://");
  if (url->username.Length() > 0 || url->password.Length() > 0)
    rebuilt +=
        url->username + (url->password.Length() > 0 ? String(":") + url->password : String()) + String("@");
  rebuilt += url->domain + String(":") + String(port) + url->p_FullPath();
  c_Url* again = (new c_Url)->m_new(rebuilt, String("http"), 80);
  if (goesOut)
    FUZZ_CHECK(again->scheme == url->scheme && again->username == url->username &&
                   again->password == url->password && again->domain == url->domain && again->port == port &&
                   again->path == url->path && again->query == url->query && again->fragment == url->fragment,
               "the URL rebuilt from its parts reads otherwise: %s", rebuilt.ToUtf8().substr(0, 200).c_str());

  CollectEverything();
  return 0;
}
