// net/async.cpp — worker threads on pthreads, the operation ring, the connect, send and
// receive operations, c_Socket and the event-source registry.
// Depends on: async.h, runtime/errors.h.
#include "async.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>

#include "host/platform.h"
#include "runtime/errors.h"

c_AsyncEventSourceStack* zu_asyncevent__sources = nullptr;
c_IAsyncEventSource* zu_asyncevent__current = nullptr;

// ============================================================================
// [SECTION] Threads
// ============================================================================

namespace {

void* ThreadMain(void* arg) {
  ZuThread* thread = static_cast<ZuThread*>(arg);
  thread->Run__UNSAFE__();
  thread->running.store(2, std::memory_order_release);
  return nullptr;
}

} // namespace

void ZuThread::Start() {
  if (running.load(std::memory_order_acquire) == 1) return;
  result = nullptr;
  running.store(1, std::memory_order_release);
  // The new thread starts with every signal blocked: signals are the main thread's.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t id;
  const int failed = pthread_create(&id, &attr, ThreadMain, this);
  pthread_attr_destroy(&attr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (failed) {
    std::fputs("CreateThread failed!\n", stdout);
    std::fflush(stdout);
    std::exit(-1);
  }
}

// ============================================================================
// [SECTION] The queue
// ============================================================================

c_AsyncQueue* c_AsyncQueue::m_new(c_Socket* socket) {
  gc_assign(source, socket);
  gc_assign(ops, Array<c_AsyncOp*>(kSlots));
  return this;
}

void c_AsyncQueue::mark() {
  ZuThread::mark();
  gc_mark_q(source);
  gc_mark_q(ops);
}

void c_AsyncQueue::p_Enqueue(c_AsyncOp* op) {
  const int at = put.load(std::memory_order_relaxed);
  const int next = (at + 1) % kSlots;
  if (next == get) zuError(String("AsyncQueue queue overflow!"));
  gc_assign(ops[at], op);
  if (!platform::ThreadsAvailable()) {
    // No worker thread can start here: the operation is refused rather than run, and completes
    // in the next p_UpdateAsyncEvents like any other.
    op->p_Refuse();
    put.store(next, std::memory_order_release);
    run.store(next, std::memory_order_release);
    return;
  }
  put.store(next, std::memory_order_release); // the operation is complete before the worker sees it
  Start();
}

bool c_AsyncQueue::Idle() const {
  const int p = put.load(std::memory_order_acquire);
  return get == p && run.load(std::memory_order_acquire) == p;
}

void c_AsyncQueue::Run__UNSAFE__() {
  for (;;) {
    const int r = run.load(std::memory_order_relaxed);
    if (r == put.load(std::memory_order_acquire)) return;
    ops[r]->p_Execute__UNSAFE__(source);
    run.store((r + 1) % kSlots, std::memory_order_release); // its results go with it
  }
}

void c_AsyncQueue::p_UpdateAsyncEvents() {
  // Work queued after the last worker ended starts here.
  if (run.load(std::memory_order_acquire) != put.load(std::memory_order_relaxed)) Start();
  while (get != run.load(std::memory_order_acquire)) {
    c_AsyncOp* op = ops[get];
    gc_assign(ops[get], static_cast<c_AsyncOp*>(nullptr));
    get = (get + 1) % kSlots;
    op->p_Complete(source);
  }
}

// ============================================================================
// [SECTION] Operations
// ============================================================================

c_AsyncConnectOp* c_AsyncConnectOp::m_new(ZuSocket* s, const String& h, int p,
                                          c_IOnConnectComplete* callback) {
  gc_assign(socket, s);
  host = h;
  port = p;
  gc_assign(onComplete, callback);
  hostBytes = zu_socket_HostBytes(h); // the worker never touches a String
  return this;
}

void c_AsyncConnectOp::mark() {
  gc_mark_q(socket);
  gc_mark_q(onComplete);
}

void c_AsyncConnectOp::p_Execute__UNSAFE__(c_Socket*) { connected = socket->ConnectTo(hostBytes, port); }

void c_AsyncConnectOp::p_Complete(c_Socket* source) {
  // A connect that finishes after the game closed the socket leaves it closed.
  if (connected && source->p_IsOpen()) source->state |= c_Socket::kConnected;
  if (!source->p_IsOpen()) connected = false;
  if (onComplete) onComplete->p_OnConnectComplete(connected, source);
}

void c_AsyncSocketIoOp::Init(ZuSocket* s, c_DataBuffer* d, int o, int c) {
  gc_assign(socket, s);
  gc_assign(data, d);
  zu_socket_Clip(d, o, c);
  offset = o;
  count = c;
  bytes = c > 0 ? d->data + o : nullptr;
  if (d) {
    fills = d->Fills();
    d->Pin();
  }
}

bool c_AsyncSocketIoOp::Release() {
  if (!data) return true;
  const bool same = data->Fills() == fills;
  data->Unpin();
  return same;
}

void c_AsyncSocketIoOp::mark() {
  gc_mark_q(socket);
  gc_mark_q(data);
}

c_AsyncSendOp* c_AsyncSendOp::m_new(ZuSocket* s, c_DataBuffer* d, int o, int c, c_IOnSendComplete* callback) {
  Init(s, d, o, c);
  gc_assign(onComplete, callback);
  return this;
}

void c_AsyncSendOp::mark() {
  c_AsyncSocketIoOp::mark();
  gc_mark_q(onComplete);
}

void c_AsyncSendOp::p_Execute__UNSAFE__(c_Socket*) { count = socket->SendBytes(bytes, count); }

void c_AsyncSendOp::p_Complete(c_Socket* source) {
  Release(); // what was sent was sent, whatever became of the buffer
  if (onComplete) onComplete->p_OnSendComplete(data, offset, count, source);
}

c_AsyncReceiveOp* c_AsyncReceiveOp::m_new(ZuSocket* s, c_DataBuffer* d, int o, int c,
                                          c_IOnReceiveComplete* callback) {
  Init(s, d, o, c);
  gc_assign(onComplete, callback);
  return this;
}

void c_AsyncReceiveOp::mark() {
  c_AsyncSocketIoOp::mark();
  gc_mark_q(onComplete);
}

void c_AsyncReceiveOp::p_Execute__UNSAFE__(c_Socket*) { count = socket->ReceiveBytes(bytes, count); }

void c_AsyncReceiveOp::p_Complete(c_Socket* source) {
  // Bytes read into a block the buffer no longer holds are lost: the read failed.
  if (!Release()) count = -1;
  if (onComplete) onComplete->p_OnReceiveComplete(data, offset, count, source);
}

// ============================================================================
// [SECTION] c_Socket
// ============================================================================

c_Socket* c_Socket::m_new(const String& protocolName) {
  if (protocolName == String("stream"))
    protocol = SOCKET_STREAM;
  else if (protocolName == String("server"))
    protocol = SOCKET_SERVER;
  else if (protocolName == String("datagram"))
    protocol = SOCKET_DATAGRAM;
  else
    zuError(String("Illegal socket protocol"));
  gc_assign(socket, new ZuSocket);
  if (!socket->Open(protocol)) zuError(String("Socket open failed"));
  state = kOpen;
  p_Start();
  return this;
}

c_Socket* c_Socket::m_new2(ZuSocket* native, int p, int s) {
  gc_assign(socket, native);
  protocol = p;
  state = s;
  p_Start();
  return this;
}

void c_Socket::mark() {
  gc_mark_q(socket);
  gc_mark_q(receiveQueue);
  gc_mark_q(sendQueue);
}

void c_Socket::p_Start() {
  gc_assign(receiveQueue, (new c_AsyncQueue)->m_new(this));
  gc_assign(sendQueue, (new c_AsyncQueue)->m_new(this));
  zu_asyncevent_AddAsyncEventSource(this);
}

void c_Socket::p_ConnectAsync(const String& host, int port, c_IOnConnectComplete* onComplete) {
  if (!p_IsOpen() || p_IsConnected() || p_IsListening()) return;
  receiveQueue->p_Enqueue((new c_AsyncConnectOp)->m_new(socket, host, port, onComplete));
}

void c_Socket::p_SendAsync(c_DataBuffer* data, int offset, int count, c_IOnSendComplete* onComplete) {
  if (!p_IsConnected()) return;
  sendQueue->p_Enqueue((new c_AsyncSendOp)->m_new(socket, data, offset, count, onComplete));
}

void c_Socket::p_ReceiveAsync(c_DataBuffer* data, int offset, int count, c_IOnReceiveComplete* onComplete) {
  if (!p_IsConnected()) return;
  receiveQueue->p_Enqueue((new c_AsyncReceiveOp)->m_new(socket, data, offset, count, onComplete));
}

void c_Socket::p_UpdateAsyncEvents() {
  if (receiveQueue) receiveQueue->p_UpdateAsyncEvents();
  if (sendQueue) sendQueue->p_UpdateAsyncEvents();
  CloseWhenIdle();
}

// The descriptor is closed only when no queued operation can still use its number.
void c_Socket::CloseWhenIdle() {
  if (closing && socket && socket->sock >= 0 && (!receiveQueue || receiveQueue->Idle()) &&
      (!sendQueue || sendQueue->Idle()))
    socket->Close();
}

void c_Socket::p_Close() {
  if (socket) socket->Shutdown();
  closing = true;
  state = 0;
  CloseWhenIdle();
}

// ============================================================================
// [SECTION] The event-source registry
// ============================================================================

void zu_asyncevent_InitGlobals() {
  zu_asyncevent__sources = new c_AsyncEventSourceStack;
  zu_asyncevent__current = nullptr;
  gc_root(zu_asyncevent__sources);
}

void zu_asyncevent_AddAsyncEventSource(c_IAsyncEventSource* source) {
  if (zu_asyncevent__sources->ContainsIdentical(source))
    zuError(String("Async event source is already active"));
  zu_asyncevent__sources->Push(source);
}

void zu_asyncevent_UpdateAsyncEvents() {
  if (zu_asyncevent__current || !zu_asyncevent__sources) return;
  for (int i = 0; i < zu_asyncevent__sources->Length(); ++i) {
    zu_asyncevent__current = zu_asyncevent__sources->Get(i);
    zu_asyncevent__current->p_UpdateAsyncEvents();
  }
  zu_asyncevent__current = nullptr;
}
