// net/async.h — threads and asynchronous socket operations: ZuThread and c_Thread, the
// 256-slot operation ring c_AsyncQueue with its c_AsyncOp family, the game-facing c_Socket,
// and the zu_asyncevent_ registry that the update polls.
// Depends on: net/socket.h, net/data_buffer.h, runtime (collector, containers, errors).
//
// One worker thread at a time per queue runs the blocking calls; completions come back in
// order on the main thread inside zu_asyncevent_UpdateAsyncEvents. No locks: each ring index
// has one writer (put and get the main thread, run the worker), published with release and
// read with acquire, so an operation's results are visible before run passes it.
#pragma once

#include <atomic>
#include <string>

#include "data_buffer.h"
#include "runtime/containers.h"
#include "runtime/gc.h"
#include "socket.h"

class c_Socket;

// ============================================================================
// [SECTION] Interfaces
// ============================================================================

class c_IAsyncEventSource : public virtual gc_interface {
public:
  virtual void p_UpdateAsyncEvents() = 0;
};

class c_IOnConnectComplete : public virtual gc_interface {
public:
  virtual void p_OnConnectComplete(bool connected, c_Socket* source) = 0;
};

class c_IOnSendComplete : public virtual gc_interface {
public:
  virtual void p_OnSendComplete(c_DataBuffer* data, int offset, int count, c_Socket* source) = 0;
};

class c_IOnReceiveComplete : public virtual gc_interface {
public:
  virtual void p_OnReceiveComplete(c_DataBuffer* data, int offset, int count, c_Socket* source) = 0;
};

// ============================================================================
// [SECTION] Threads
// ============================================================================

class ZuThread : public Object {
public:
  std::atomic<int> running{0}; // 0 never started, 1 running, 2 finished
  Object* result = nullptr;

  void mark() override { gc_mark_q(result); }
  // Runs Run__UNSAFE__ on a new detached thread that blocks every signal; nothing while the
  // last one still runs. "CreateThread failed!" and exit -1 when no thread can be made.
  virtual void Start();
  virtual bool IsRunning() { return running.load(std::memory_order_acquire) == 1; }
  virtual Object* Result() { return result; }
  virtual void SetResult(Object* r) { gc_assign(result, r); }
  virtual void Run__UNSAFE__() {}

  // A copy with a body of its own, for handing to another thread.
  static String Strdup(const String& s) { return String(s.Data(), s.Length()); }
};

class c_Thread : public ZuThread {};

// ============================================================================
// [SECTION] Operations and their queue
// ============================================================================

class c_AsyncOp : public Object {
public:
  virtual void p_Complete(c_Socket* source) = 0;          // main thread
  virtual void p_Execute__UNSAFE__(c_Socket* source) = 0; // worker thread
  // In place of Execute where no worker thread can start (the browser build): what it gives
  // back is what a refused connection gives.
  virtual void p_Refuse() = 0;
};

class c_AsyncQueue : public c_Thread, public c_IAsyncEventSource {
public:
  static constexpr int kSlots = 256;
  c_Socket* source = nullptr;
  Array<c_AsyncOp*> ops;
  std::atomic<int> put{0}; // written by the main thread
  int get = 0;             // main thread only
  std::atomic<int> run{0}; // written by the worker

  c_AsyncQueue* m_new(c_Socket* socket);
  void mark() override;
  void p_Enqueue(c_AsyncOp* op);
  bool Idle() const; // every operation executed and completed
  void Run__UNSAFE__() override;
  void p_UpdateAsyncEvents() override;
};

class c_AsyncConnectOp : public c_AsyncOp {
public:
  ZuSocket* socket = nullptr;
  String host;
  int port = 0;
  c_IOnConnectComplete* onComplete = nullptr;
  bool connected = false;
  std::string hostBytes; // the host's bytes, copied on the main thread for the worker

  c_AsyncConnectOp* m_new(ZuSocket* s, const String& h, int p, c_IOnConnectComplete* callback);
  void mark() override;
  void p_Complete(c_Socket* source) override;
  void p_Execute__UNSAFE__(c_Socket* source) override;
  void p_Refuse() override { connected = false; }
};

// A send or receive holds its buffer (Pin) from the queueing to the completion: a Discard
// meanwhile sets the bytes aside instead of freeing them under the worker. The worker is
// handed the bytes' address and count, taken on the main thread, and never the buffer.
class c_AsyncSocketIoOp : public c_AsyncOp {
public:
  ZuSocket* socket = nullptr;
  c_DataBuffer* data = nullptr;
  int offset = 0; // clipped to the buffer when queued
  int count = 0;
  unsigned char* bytes = nullptr; // the buffer's bytes at offset, when queued
  int fills = 0;                  // the buffer's Fills() when queued

  void Init(ZuSocket* s, c_DataBuffer* d, int o, int c);
  void mark() override;
  // Lets go of the buffer; false when it was discarded or filled again meanwhile.
  bool Release();
  void p_Refuse() override { count = -1; }
};

class c_AsyncSendOp : public c_AsyncSocketIoOp {
public:
  c_IOnSendComplete* onComplete = nullptr;

  c_AsyncSendOp* m_new(ZuSocket* s, c_DataBuffer* d, int o, int c, c_IOnSendComplete* callback);
  void mark() override;
  void p_Complete(c_Socket* source) override;
  void p_Execute__UNSAFE__(c_Socket* source) override;
};

class c_AsyncReceiveOp : public c_AsyncSocketIoOp {
public:
  c_IOnReceiveComplete* onComplete = nullptr;

  c_AsyncReceiveOp* m_new(ZuSocket* s, c_DataBuffer* d, int o, int c, c_IOnReceiveComplete* callback);
  void mark() override;
  void p_Complete(c_Socket* source) override;
  void p_Execute__UNSAFE__(c_Socket* source) override;
};

// ============================================================================
// [SECTION] The game-facing socket
// ============================================================================

class c_Socket : public Object, public c_IAsyncEventSource {
public:
  static constexpr int kOpen = 1, kConnected = 4, kListening = 8;
  ZuSocket* socket = nullptr;
  int protocol = 0;
  int state = 0;
  c_AsyncQueue* receiveQueue = nullptr; // connects and receives
  c_AsyncQueue* sendQueue = nullptr;
  bool closing = false; // closed by the game; the descriptor goes once both queues are idle

  c_Socket* m_new(const String& protocolName);
  c_Socket* m_new2(ZuSocket* native, int protocol, int state);
  void mark() override;
  void p_Start();
  void p_ConnectAsync(const String& host, int port, c_IOnConnectComplete* onComplete);
  void p_SendAsync(c_DataBuffer* data, int offset, int count, c_IOnSendComplete* onComplete);
  void p_ReceiveAsync(c_DataBuffer* data, int offset, int count, c_IOnReceiveComplete* onComplete);
  void p_UpdateAsyncEvents() override;
  bool p_IsOpen() const { return (state & kOpen) != 0; }
  bool p_IsConnected() const { return (state & kConnected) != 0; }
  bool p_IsListening() const { return (state & kListening) != 0; }
  // Ends every transfer at once (a blocked receive wakes); operations already queued still
  // run and complete, failing.
  void p_Close();

private:
  void CloseWhenIdle();
};

// ============================================================================
// [SECTION] The event-source registry
// ============================================================================

class c_AsyncEventSourceStack : public Stack<c_IAsyncEventSource*> {};

extern c_AsyncEventSourceStack* zu_asyncevent__sources;
extern c_IAsyncEventSource* zu_asyncevent__current;

void zu_asyncevent_InitGlobals(); // the registry, and its root
void zu_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source);
void zu_asyncevent_UpdateAsyncEvents();
