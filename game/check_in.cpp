// game/check_in.cpp — the online check-in: one GET to the endpoint carrying the game's number,
// whose reply, when not empty, raises zu_Tessel_J_On_Able. Off unless zu_Tessel_J_On_Allow is 1.
// Depends on: my_app.h, globals.h, net (c_HttpRequest), runtime (zuPrint).
#include "globals.h"
#include "my_app.h"
#include "runtime/errors.h"

int c_MyApp::p_GetURL(const String& base, const String& query) {
  m_CheckInReply = String("N/A");
  const String url = base + String("?") + query;
  gc_assign(m_CheckInRequest, (new c_HttpRequest)->m_new());
  m_CheckInRequest->p_Open(String("GET"), url, this);
  m_CheckInRequest->p_Send();
  zuPrint(String("Requesting URL"));
  m_CheckInDone = 0;
  return 0;
}

void c_MyApp::p_OnHttpRequestComplete(c_HttpRequest* request) {
  if (request != m_CheckInRequest) return; // one replaced by a later request
  zuPrint(String("Http GET complete! ") + String(request->p_Status()));
  m_CheckInDone = 1;
  m_CheckInReply = request->p_ResponseText();
  if (m_CheckInReply.Length() > 0) zu_Tessel_J_On_Able = 1;
}
