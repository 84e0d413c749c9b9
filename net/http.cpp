// net/http.cpp — URL parsing and the HTTP/1.0 request: the request text, the checks that keep
// a request from carrying foreign bytes, the header and body reading with their caps, and
// the one completion.
// Depends on: http.h.
#include "http.h"

#include <climits>

int zu_http_deadlineMs = 60000;

namespace {

// Every character a visible ASCII one (0x21..0x7E), judged on the 16-bit text, so that no
// character can turn into a control byte when narrowed.
bool Visible(const String& s) {
  if (s.Length() == 0) return false;
  for (int i = 0; i < s.Length(); ++i)
    if (s[i] < 0x21 || s[i] > 0x7e) return false;
  return true;
}

bool HostName(const String& s) {
  if (s.Length() == 0) return false;
  for (int i = 0; i < s.Length(); ++i) {
    const char16_t c = s[i];
    const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                    c == u'-' || c == u'.';
    if (!ok) return false;
  }
  return true;
}

// A scheme's name: a letter, then letters, digits, "+", "-" or ".".
bool SchemeName(const String& s) {
  if (s.Length() == 0) return false;
  for (int i = 0; i < s.Length(); ++i) {
    const char16_t c = s[i];
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!letter && (i == 0 || !((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.')))
      return false;
  }
  return true;
}

// The number a port is written as: decimal digits only, saturating at INT_MAX; 0 for no digits
// or anything else ("8w", "+80", " 80"), which no request goes out to.
int PortNumber(const String& s) {
  long long value = 0;
  for (int i = 0; i < s.Length(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') return 0;
    value = value * 10 + (s[i] - u'0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(value);
}

// Without the characters below 33 at both ends.
String Trim(const String& s) {
  int from = 0, to = s.Length();
  while (from < to && s[from] < 33) ++from;
  while (to > from && s[to - 1] < 33) --to;
  return s.Slice(from, to);
}

// The first position of `what` in [from, end), or -1.
int FindBefore(const String& text, const char* what, int from, int end) {
  const int at = text.Find(String(what), from);
  return at >= 0 && at < end ? at : -1;
}

} // namespace

// ============================================================================
// [SECTION] URLs
// ============================================================================

c_Url* c_Url::m_new(const String& u, const String& scheme0, int port0) {
  defaultScheme = scheme0;
  defaultPort = port0;
  p_Set2(u);
  return this;
}

void c_Url::p_Set2(const String& u) {
  url = u;
  scheme = defaultScheme;
  username = password = domain = query = fragment = String();
  port = defaultPort;
  path = String("/");

  const int length = u.Length();
  int q = u.Find(String("?"));
  const int f = u.Find(String("#"));
  if (q >= 0 && f >= 0 && q > f) q = -1; // the "?" belongs to the fragment
  const int e = q >= 0 ? q : (f >= 0 ? f : length);

  // Only a scheme name at the start takes a "://": in "h/go/http://x" it is part of the path,
  // and the host is h.
  int s = 0;
  const int colonSlashes = FindBefore(u, "://", 0, e);
  if (colonSlashes >= 0 && SchemeName(u.Slice(0, colonSlashes))) {
    scheme = u.Slice(0, colonSlashes);
    s = colonSlashes + 3;
  }
  // A user and password end at an "@" before the path only: "/x@y" is part of the path.
  const int firstSlash = FindBefore(u, "/", s, e);
  const int at = FindBefore(u, "@", s, firstSlash >= 0 ? firstSlash : e);
  if (at >= 0) {
    const int k = FindBefore(u, ":", s, at);
    if (k >= 0) {
      username = u.Slice(s, k);
      password = u.Slice(k + 1, at);
    } else {
      username = u.Slice(s, at);
    }
    s = at + 1;
  }
  const int k = FindBefore(u, ":", s, e);
  const int p = FindBefore(u, "/", s, e);
  if (k >= 0 && (p < 0 || k < p)) {
    domain = u.Slice(s, k);
    port = PortNumber(u.Slice(k + 1, p >= 0 ? p : e));
    if (p >= 0) path = u.Slice(p, e);
  } else if (p >= 0) {
    domain = u.Slice(s, p);
    path = u.Slice(p, e);
  } else {
    domain = u.Slice(s, e);
  }
  if (q >= 0) query = f >= 0 ? u.Slice(q + 1, f) : u.Slice(q + 1);
  if (f >= 0) fragment = u.Slice(f + 1);
}

String c_Url::p_FullPath() const {
  String out = path;
  if (query.Length() > 0) out += String("?") + query;
  if (fragment.Length() > 0) out += String("#") + fragment;
  return out;
}

// ============================================================================
// [SECTION] Building and sending a request
// ============================================================================

c_HttpRequest* c_HttpRequest::m_new() {
  gc_assign(sendBuffer, (new c_DataBuffer)->m_new(kSendBytes));
  gc_assign(receiveBuffer, (new c_DataBuffer)->m_new(kReceiveBytes));
  return this;
}

c_HttpRequest* c_HttpRequest::m_new2(const String& m, const String& u, c_IOnHttpRequestComplete* callback) {
  m_new();
  p_Open(m, u, callback);
  return this;
}

void c_HttpRequest::mark() {
  gc_mark_q(url);
  gc_mark_q(onComplete);
  gc_mark_q(body);
  gc_mark_q(header);
  gc_mark_q(socket);
  gc_mark_q(sendBuffer);
  gc_mark_q(receiveBuffer);
}

void c_HttpRequest::p_Open(const String& m, const String& u, c_IOnHttpRequestComplete* callback) {
  if (!sendBuffer) m_new(); // made without its buffers
  Abandon();
  gc_assign(url, (new c_Url)->m_new(u, String("http"), 80));
  method = m;
  gc_assign(onComplete, callback);
  gc_assign(body, static_cast<c_DataBuffer*>(nullptr));
  bodyLength = bodyTotal = 0;
  badType = false;
  ForgetReply();
  // Nothing outside visible ASCII, no port that does not exist, no host that is not a name
  // or an address, and no https address (which would go out as plain text): such a request
  // fails before it connects. Other schemes are fetched with plain HTTP.
  refused = !Visible(m) || !Visible(u) || url->port < 1 || url->port > 65535 || !HostName(url->domain) ||
            url->scheme.ToUpper() == String("HTTPS");
  // The fragment stays here; the query goes.
  String target = url->path;
  if (url->query.Length() > 0) target += String("?") + url->query;
  String host = url->domain;
  if (url->port != 80) host += String(":") + String(url->port);
  requestLine = method + String(" ") + target + String(" HTTP/1.0");
  hostLine = String("Host: ") + host;
  gc_assign(header, (new c_StringStack)->m_new(Array<String>()));
  header->p_Push4(requestLine);
  header->p_Push4(hostLine);
}

void c_HttpRequest::p_Send2(const String& data, const String& mimeType, const String& encoding) {
  if (!header) p_Open(String(), String(), onComplete); // never opened: refused, as empty
  gc_assign(body, (new c_DataBuffer)->m_new(3 * data.Length()));
  bodyTotal = body->p_PokeString(0, data, encoding);
  contentType = mimeType;
  badType = !Visible(mimeType);
  p_Send();
}

void c_HttpRequest::ForgetReply() {
  status = -1;
  responseText = String();
  bytesReceived = headerBytes = 0;
  headersDone = finished = false;
  bodyBytes.clear();
}

// A request still in flight ends without an answer: its socket closes, and what it still
// completes is ignored (the callbacks answer the current socket only). Its operations may
// still be using the buffers, so the next request gets buffers of its own.
void c_HttpRequest::Abandon() {
  if (!socket) return;
  socket->p_Close();
  gc_assign(socket, static_cast<c_Socket*>(nullptr));
  gc_assign(sendBuffer, (new c_DataBuffer)->m_new(kSendBytes));
  gc_assign(receiveBuffer, (new c_DataBuffer)->m_new(kReceiveBytes));
}

void c_HttpRequest::p_Send() {
  if (!header) p_Open(String(), String(), onComplete); // never opened: refused, as empty
  Abandon(); // sent again: the same request on a new connection, answered once
  ForgetReply();
  header->p_Clear(); // the reply's lines go here
  bodyLength = body ? bodyTotal : 0;
  deadline = zu_socket_NowMs() + zu_http_deadlineMs;
  // The header text, ending in a blank line, must fit the send buffer whole.
  String text = requestLine + String("\r\n") + hostLine + String("\r\n");
  if (body)
    text += String("Content-Type: ") + contentType + String("\r\nContent-Length: ") + String(bodyTotal) +
            String("\r\n");
  text += String("\r\n");
  const bool refuse = refused || (body && badType) || text.Length() > kSendBytes;
  if (!refuse) requestBytes = sendBuffer->p_PokeString(0, text, String("ascii"));
  gc_assign(socket, (new c_Socket)->m_new(String("stream")));
  // A refused request still completes through the socket's queue, on a later update: an
  // empty host fails without any lookup or connection.
  if (refuse) return socket->p_ConnectAsync(String(), 0, this);
  socket->socket->deadlineMs = deadline; // the connect, the sends and the reads end by then
  socket->p_ConnectAsync(url->domain, url->port, this);
}

void c_HttpRequest::p_OnConnectComplete(bool connected, c_Socket* source) {
  if (finished || source != socket) return;
  if (!connected) return Finish(false);
  socket->p_SendAsync(sendBuffer, 0, requestBytes, this);
  Receive(0);
}

void c_HttpRequest::p_OnSendComplete(c_DataBuffer*, int, int count, c_Socket* source) {
  if (finished || source != socket) return;
  if (count < 0) return Finish(false);
  if (bodyLength > 0 && socket->p_IsConnected()) socket->p_SendAsync(body, 0, bodyLength, this);
  bodyLength = 0;
}

// ============================================================================
// [SECTION] Reading the response
// ============================================================================

void c_HttpRequest::Receive(int from) {
  // A header line that fills the whole buffer cannot be finished: a read of nothing would
  // wait for ever.
  if (from >= kReceiveBytes) return Finish(false);
  if (socket->p_IsConnected()) socket->p_ReceiveAsync(receiveBuffer, from, kReceiveBytes - from, this);
}

void c_HttpRequest::p_OnReceiveComplete(c_DataBuffer*, int offset, int count, c_Socket* source) {
  if (finished || source != socket) return;
  if (count < 0 || zu_socket_NowMs() > deadline) return Finish(false);
  if (count == 0) return Finish(headersDone); // the server closed the connection
  if (!headersDone) return ReadHeaders(offset, count);
  bytesReceived += count;
  if (bytesReceived > kMaxBodyBytes) return Finish(false);
  bodyBytes.insert(bodyBytes.end(), receiveBuffer->data + offset, receiveBuffer->data + offset + count);
  Receive(0);
}

// The header is held to kMaxHeaderBytes by its own bytes, up to the blank line's end: body
// bytes that come in the same read do not count, so that how the reply is cut into reads does
// not decide whether it is taken.
void c_HttpRequest::ReadHeaders(int offset, int count) {
  const unsigned char* bytes = receiveBuffer->data;
  const int end = offset + count;
  int lineStart = 0;
  for (int i = offset; i < end; ++i) {
    if (bytes[i] != 10) continue;
    if (headerBytes + i + 1 > kMaxHeaderBytes) return Finish(false);
    const String line = Trim(receiveBuffer->p_PeekString(lineStart, i - lineStart, String("ascii")));
    lineStart = i + 1;
    if (line.Length() > 0) {
      header->p_Push4(line);
      continue;
    }
    // The blank line: the status line decides.
    if (header->p_Length2() == 0) return Finish(false);
    const Array<String> parts = header->p_Get(0).ToUpper().Split(String(" "));
    if (parts.Length() <= 2 || !parts[0].StartsWith(String("HTTP/"))) return Finish(false);
    status = parts[1].ToInt();
    headersDone = true;
    bytesReceived = end - lineStart;
    bodyBytes.assign(bytes + lineStart, bytes + end);
    return Receive(0);
  }
  // The read ended inside a line: it moves to the front and the next read follows it.
  const int unfinished = end - lineStart;
  headerBytes += lineStart;
  if (headerBytes + unfinished > kMaxHeaderBytes) return Finish(false);
  if (lineStart > 0) receiveBuffer->p_CopyBytes(lineStart, receiveBuffer, 0, unfinished);
  Receive(unfinished);
}

void c_HttpRequest::Finish(bool clean) {
  if (finished) return;
  finished = true;
  if (socket) socket->p_Close();
  if (clean) {
    responseText =
        String::FromUtf8(reinterpret_cast<const char*>(bodyBytes.data()), static_cast<int>(bodyBytes.size()));
  } else {
    status = -1;
    responseText = String();
  }
  bodyBytes.clear();
  bodyBytes.shrink_to_fit();
  if (onComplete) onComplete->p_OnHttpRequestComplete(this);
}
