// net/http.h — c_Url, a URL split into its parts, and c_HttpRequest, a minimal asynchronous
// HTTP/1.0 client over c_Socket that reports exactly once on the main thread.
// Depends on: net/async.h, net/data_buffer.h, runtime (collector, containers).
#pragma once

#include <vector>

#include "async.h"
#include "data_buffer.h"
#include "runtime/containers.h"

class c_HttpRequest;

class c_IOnHttpRequestComplete : public virtual gc_interface {
public:
  virtual void p_OnHttpRequestComplete(c_HttpRequest* request) = 0;
};

class c_Url : public Object {
public:
  String defaultScheme;
  int defaultPort = 0;
  String url, scheme, username, password, domain;
  int port = 0;
  String path, query, fragment;

  c_Url* m_new(const String& url, const String& defaultScheme, int defaultPort);
  void p_Set2(const String& url); // every part back to its default, then parsed from url
  String p_Domain() const { return domain; }
  int p_Port() const { return port; }
  String p_FullPath() const; // path, "?" query, "#" fragment
};

// A request's whole time from the send to the last byte (ms); tests shorten it.
extern int zu_http_deadlineMs; // 60,000

class c_HttpRequest : public Object,
                      public c_IOnConnectComplete,
                      public c_IOnSendComplete,
                      public c_IOnReceiveComplete {
public:
  static constexpr int kSendBytes = 4096, kReceiveBytes = 16384;
  static constexpr int kMaxHeaderBytes = 16384; // a hostile server cannot take more than
  static constexpr int kMaxBodyBytes = 1 << 20; // these, whatever it sends

  String method;
  c_Url* url = nullptr;
  c_IOnHttpRequestComplete* onComplete = nullptr;
  c_DataBuffer* body = nullptr;
  int bodyLength = 0; // bytes of body still to send
  int status = -1;    // -1 until a valid status line is read, and after any failure
  String responseText;
  int bytesReceived = 0; // body bytes so far
  c_StringStack* header = nullptr;
  c_Socket* socket = nullptr;
  c_DataBuffer* sendBuffer = nullptr;
  c_DataBuffer* receiveBuffer = nullptr;

  c_HttpRequest* m_new();
  c_HttpRequest* m_new2(const String& method, const String& url, c_IOnHttpRequestComplete* onComplete);
  void mark() override;
  // Opening or sending again while a request is in flight ends that one unanswered: each
  // send is answered exactly once, on the main thread, unless it is replaced first.
  void p_Open(const String& method, const String& url, c_IOnHttpRequestComplete* onComplete);
  void p_Send();
  void p_Send2(const String& data, const String& mimeType, const String& encoding);
  int p_Status() const { return status; }
  String p_ResponseText() const { return responseText; }

  void p_OnConnectComplete(bool connected, c_Socket* source) override;
  void p_OnSendComplete(c_DataBuffer* data, int offset, int count, c_Socket* source) override;
  void p_OnReceiveComplete(c_DataBuffer* data, int offset, int count, c_Socket* source) override;

private:
  String requestLine, hostLine; // the request's first lines, made by p_Open
  String contentType;           // and the body's type, given to p_Send2
  int bodyTotal = 0;            // the body's bytes
  bool badType = false;         // a type that may not go out
  int requestBytes = 0;         // the request header's bytes in sendBuffer
  bool headersDone = false;     // a valid status line and the blank line after the headers
  bool refused = false;         // the request may not go out: it fails without connecting
  bool finished = false;
  int headerBytes = 0; // the header's finished lines in earlier reads
  long long deadline = 0;
  std::vector<unsigned char> bodyBytes; // decoded once, when the request finishes

  void Abandon();         // the request in flight, if any, ends unanswered
  void ForgetReply();     // no status, no text, nothing received yet
  void Receive(int from); // the next read into the receive buffer from `from`
  void ReadHeaders(int offset, int count);
  void Finish(bool clean);
};
