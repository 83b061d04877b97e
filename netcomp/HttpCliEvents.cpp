// THttpCli's Trigger operations: each fires its event when a handler is assigned, so that a
// descendant can override one in place of the event.
#include "netcomp/HttpProt.h"

namespace {
void fire(const TNotifyEvent& event, TObject* sender) {
  if (event) event(sender);
}
}  // namespace

void THttpCli::TriggerStateChange() { fire(OnStateChange, this); }
void THttpCli::TriggerCookie(const AnsiString& Data, bool& bAccept) {
  if (OnCookie) OnCookie(this, Data, bAccept);
}
void THttpCli::TriggerSessionConnected() { fire(OnSessionConnected, this); }
void THttpCli::TriggerSessionClosed() { fire(OnSessionClosed, this); }
void THttpCli::TriggerBeforeHeaderSend(const AnsiString& Method, TStringList* Headers) {
  if (OnBeforeHeaderSend) OnBeforeHeaderSend(this, Method, Headers);
}
void THttpCli::TriggerRequestHeaderBegin() { fire(OnRequestHeaderBegin, this); }
void THttpCli::TriggerRequestHeaderEnd() { fire(OnRequestHeaderEnd, this); }
void THttpCli::TriggerHeaderBegin() {
  FInHeader = true;
  fire(OnHeaderBegin, this);
}
void THttpCli::TriggerHeaderEnd() {
  FInHeader = false;
  fire(OnHeaderEnd, this);
}
void THttpCli::TriggerDocBegin() { fire(OnDocBegin, this); }
void THttpCli::TriggerDocData(const char* Data, int Len) {
  if (OnDocData) OnDocData(this, Data, Len);
}
void THttpCli::TriggerDocEnd() { fire(OnDocEnd, this); }
void THttpCli::TriggerSendBegin() { fire(OnSendBegin, this); }
void THttpCli::TriggerSendData(const char* Data, int Len) {
  if (OnSendData) OnSendData(this, Data, Len);
}
void THttpCli::TriggerSendEnd() { fire(OnSendEnd, this); }
// The message carries the request and its code: a next request may start before it is
// handled, and it must still tell of the request that ended.
void THttpCli::TriggerRequestDone() {
  PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, static_cast<WPARAM>(FRequestType),
               static_cast<LPARAM>(FRequestDoneErrCode));
}
