// THttpCli, the sending half: construction and the hidden window, the start of a request
// (URL, proxy, keep-alive reuse), the connection, the request head and body, the blocking
// wait and the state changes.
#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "netcomp/NetUrl.h"
#include "win32/ticks.h"
#include "win32/windows.h"

THttpCli::THttpCli(TComponent* AOwner)
    : TComponent(AOwner),
      FRcvdHeaderLines(std::make_unique<TStringList>()),
      FAuthChallenges(std::make_unique<TStringList>()) {
  FWindowHandle = HTTPCliAllocateHWnd();
  CreateSocket();
  FCtrlSocket->OnSessionClosed = [this](TObject* S, WORD E) { SocketSessionClosed(S, E); };
  FCtrlSocket->OnDataAvailable = [this](TObject* S, WORD E) { SocketDataAvailable(S, E); };
  FCtrlSocket->OnSessionConnected = [this](TObject* S, WORD E) { SocketSessionConnected(S, E); };
  FCtrlSocket->OnDataSent = [this](TObject* S, WORD E) { SocketDataSent(S, E); };
  FCtrlSocket->OnDnsLookupDone = [this](TObject* S, WORD E) { SocketDNSLookupDone(S, E); };
  FCtrlSocket->OnSocksError = [this](TObject* S, int Error, const AnsiString& Msg) {
    if (OnSocksError) OnSocksError(S, Error, Msg);
  };
  FCtrlSocket->OnSocksConnected = [this](TObject* S, WORD E) {
    if (OnSocksConnected) OnSocksConnected(S, E);
  };
  FCtrlSocket->OnError = [this](TObject*) {
    if (OnSocketError) OnSocketError(this);
  };
}

THttpCli::~THttpCli() {
  // The socket goes first and without its handlers: nothing of a half-destroyed client runs.
  FCtrlSocket->OnSessionClosed = nullptr;
  FCtrlSocket->OnDataAvailable = nullptr;
  FCtrlSocket->OnSessionConnected = nullptr;
  FCtrlSocket->OnDataSent = nullptr;
  FCtrlSocket->OnDnsLookupDone = nullptr;
  FCtrlSocket->OnSocksError = nullptr;
  FCtrlSocket->OnSocksConnected = nullptr;
  FCtrlSocket->OnError = nullptr;
  delete FCtrlSocket;
  if (FWindowHandle) DeallocateHWnd(FWindowHandle);
}

HWND THttpCli::HTTPCliAllocateHWnd() {
  return AllocateHWnd([this](TMessage& Msg) { WndProc(Msg); });
}

void THttpCli::CreateSocket() { FCtrlSocket = new TWSocket(this); }

void THttpCli::WndProc(TMessage& MsgRec) {
  switch (MsgRec.Msg) {
    case WM_HTTP_REQUEST_DONE:
      if (OnRequestDone)
        OnRequestDone(this, static_cast<THttpRequest>(MsgRec.WParam),
                      static_cast<WORD>(MsgRec.LParam));
      break;
    case WM_HTTP_SET_READY:
      if (MsgRec.WParam == FRequestSerial) StateChange(httpReady);
      break;
    case WM_HTTP_LOGIN:
      if (MsgRec.WParam != FRequestSerial) break;
      FLoginPending = false;
      Login();
      break;
    default:
      MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
  }
}

void THttpCli::SetMultiThreaded(bool Value) {
  FMultiThreaded = Value;
  FCtrlSocket->MultiThreaded = Value;
}

void THttpCli::SetRequestVer(const AnsiString& Value) {
  if (FRequestVer == Value) return;
  if (Value != "1.0" && Value != "1.1") throw EHttpException("Insupported HTTP version", 5);
  FRequestVer = Value;
}

void THttpCli::SetReady() { PostMessageA(FWindowHandle, WM_HTTP_SET_READY, FRequestSerial, 0); }
void THttpCli::postLogin() {
  FLoginPending = true;
  PostMessageA(FWindowHandle, WM_HTTP_LOGIN, FRequestSerial, 0);
}

// Whether a request runs: the client is not ready, or it is only while it answers a challenge.
bool THttpCli::running() const { return FState != httpReady || FLoginPending; }

void THttpCli::StateChange(THttpState NewState) {
  if (FState == NewState) return;
  FState = NewState;
  if (NewState != httpReady) {
    TriggerStateChange();
    return;
  }
  if (!FReplyFailure.IsEmpty()) {
    failRequest(404, FReplyFailure);
    if (FRequestDoneErrCode == 0) FRequestDoneErrCode = 404;  // the code a blocking call raises
    FReplyFailure = AnsiString();
  }
  const WPARAM serial = FRequestSerial;
  const bool outer = FAnnouncingReady;
  FAnnouncingReady = true;
  TriggerStateChange();
  FAnnouncingReady = outer;
  if (serial != FRequestSerial) {
    // Aborted by the handler: the request ends as it is, without another round.
    settleAuthentication();
    TriggerRequestDone();
  } else if (!PrepareNTLMAuth() && !PrepareBasicAuth()) {
    TriggerRequestDone();
  }
}

void THttpCli::InternalClear() {
  FRcvdHeaderLines->Clear();
  FRequestDoneErrCode = 0;
  FDocName = AnsiString();
  FStatusCode = 0;
  FReasonPhrase = AnsiString();
  FRcvdBodyCount = 0;
  FSentBodyCount = 0;
  FHeaderLineCount = 0;
  FBodyLineCount = 0;
  FContentLength = -1;
  FContentType = AnsiString();
  FTransferEncoding = AnsiString();
  FAllowedToSend = false;
  FLocation = URL;
  FAuthChallenges->Clear();
  FCloseAfterReply = FRequestVer == "1.0";
  FContentLengthsDiffer = false;
  FHeaderLinesSeen = 0;
  FHeaderBytes = 0;
}

void THttpCli::AdjustDocName() {
  auto cutQuery = [](AnsiString& name) {
    const int q = name.Pos("?");
    if (q > 0) name = name.SubString(1, q - 1);
  };
  cutQuery(FDocName);
  if (FDocName.IsEmpty() || FDocName[FDocName.Length()] == '/') {
    FDocName = "document.htm";
    return;
  }
  const auto slash = FDocName.str().rfind('/');
  if (slash != std::string::npos) FDocName = AnsiString(FDocName.str().substr(slash + 1, 255));
  cutQuery(FDocName);
}

void THttpCli::DoRequestAsync(THttpRequest Rq) {
  if (Rq != httpCLOSE && running())
    throw EHttpException("HTTP component " + Name() + " is busy", 1);
  if ((Rq == httpPOST || Rq == httpPUT) && !SendStream)
    throw EHttpException("HTTP component has nothing to post or put", 2);
  if (Rq == httpCLOSE) {
    FStatusCode = 200;
    FReasonPhrase = "OK";
    StateChange(httpClosing);
    if (FCtrlSocket->State() == wsClosed)
      SetReady();
    else
      FCtrlSocket->CloseDelayed();
    return;
  }
  FRequested = true;
  FRequestType = Rq;
  ++FRequestSerial;
  FRelocationCount = 0;
  FAuthRounds = 0;
  FReplyFailure = AnsiString();
  FLocationCredentials = false;
  // Nothing of the last reply (bytes after it, a reader waiting for it) goes on into this one.
  dropWaiting();
  FNextLineHandler = TLineHandler::None;
  // A Basic exchange of an earlier request, finished or not, sends nothing until it is asked
  // again; nor does an NTLM exchange that an earlier request left under way (an error or an
  // abort after message 1, a refusal of message 3 without a challenge). A finished NTLM
  // exchange holds for its connection.
  FAuthBasicState = FProxyAuthBasicState = basicNone;
  for (THttpNTLMState* ntlm : {&FAuthNTLMState, &FProxyAuthNTLMState})
    if (*ntlm != ntlmDone) *ntlm = ntlmNone;
  InternalClear();

  AnsiString proto, user, pass, host, port;
  if (Proxy.IsEmpty()) {
    ParseURL(URL, proto, user, pass, host, port, FPath);
    FTargetHost = host;
    FDocName = FPath;
    if (!user.IsEmpty()) Username = user;
    if (!pass.IsEmpty()) Password = pass;
    if (port.IsEmpty()) port = "80";
  } else {
    AnsiString urlPath;
    ParseURL(URL, proto, user, pass, host, port, urlPath);
    FTargetHost = host;
    FTargetPort = !port.IsEmpty() ? port : proto == "https" ? AnsiString("443") : AnsiString("80");
    FDocName = urlPath;
    if (!user.IsEmpty()) Username = user;
    if (!pass.IsEmpty()) Password = pass;
    FPath = (proto.IsEmpty() ? AnsiString("http") : proto) + "://" + host +
            (port.IsEmpty() ? AnsiString() : ":" + port) + urlPath;
    AnsiString pProto, pUser, pPass, pPath;
    ParseURL(Proxy, pProto, pUser, pPass, host, port, pPath);
    port = proxyConnPort();
  }
  FProtocol = proto;
  if (FProtocol.IsEmpty()) FProtocol = "http";
  if (FPath.IsEmpty()) FPath = "/";
  AdjustDocName();
  FConnHost = host;
  FConnPort = port;
  FNamedHost = targetHost();

  if (FCtrlSocket->State() == wsConnected) {
    if (FConnHost == FConnectedHost && FConnPort == FConnectedPort &&
        FProtocol == FConnectedProtocol && connectionReusable()) {
      SocketSessionConnected(FCtrlSocket, 0);
      return;
    }
    FCtrlSocket->Abort();
  }
  const WPARAM serial = FRequestSerial;
  StateChange(httpNotConnected);
  if (serial != FRequestSerial) return;  // aborted by OnStateChange
  Login();
}

// Scheme, name and port of the host the request is for now (not the proxy's); the port is
// the scheme's own when the URL names none.
THttpCli::THostId THttpCli::targetHost() const {
  if (Proxy.IsEmpty()) return {LowerCase(FProtocol), LowerCase(FConnHost), FConnPort};
  AnsiString proto, user, pass, host, port, path;
  ParseURL(FPath, proto, user, pass, host, port, path);
  proto = proto.IsEmpty() ? AnsiString("http") : LowerCase(proto);
  if (port.IsEmpty()) port = proto == "https" ? AnsiString("443") : AnsiString("80");
  return {proto, LowerCase(host), port};
}

// Whether the request is (still) for the host the caller named: only that host gets the
// user's credentials, a relocation elsewhere none.
bool THttpCli::atNamedHost() const {
  const THostId now = targetHost();
  return now.Protocol == FNamedHost.Protocol && now.Host == FNamedHost.Host &&
         now.Port == FNamedHost.Port;
}

// The proxy's own port ("host:port" in Proxy), else ProxyPort.
AnsiString THttpCli::proxyConnPort() const {
  AnsiString proto, user, pass, host, port, path;
  ParseURL(Proxy, proto, user, pass, host, port, path);
  return port.IsEmpty() ? ProxyPort : port;
}

void THttpCli::DoRequestSync(THttpRequest Rq) {
  DoRequestAsync(Rq);
  // MultiThreaded pumps the socket's own messages only and does not look at the application.
  while (running()) {
    if (FMultiThreaded)
      FCtrlSocket->ProcessMessages();
    else
      ApplicationProcessMessages();
    if (!running()) break;
    if (!FMultiThreaded && ApplicationTerminated()) {
      Abort();
      break;
    }
    // Sleeps until input or a posted message arrives, at most a second.
    MsgWaitForMultipleObjects(
        0, nullptr, FALSE, 1000,
        QS_KEY | QS_MOUSEBUTTON | QS_SENDMESSAGE | QS_HOTKEY | QS_ALLPOSTMESSAGE);
  }
  if (!(FStatusCode < 400 || FStatusCode == 401 || FStatusCode == 407))
    throw EHttpException(FReasonPhrase, static_cast<WORD>(FStatusCode));
}

// Whether the open connection may carry the next request: nothing came on it that answers no
// request, nothing waits on it unread (bytes past the last reply that are on their way), and
// it speaks for no other identity than the request's.
bool THttpCli::connectionReusable() {
  return FCtrlSocket->State() == wsConnected && !FConnectionSpent &&
         FCtrlSocket->GetRcvdCount() == 0 && ntlmIdentityHolds();
}

// An NTLM exchange authenticates its connection, not its requests: a connection it
// authenticated serves the same user and password alone, and no request with NTLM switched
// off.
bool THttpCli::ntlmIdentityHolds() const {
  const bool ntlm = !Options.Contains(httpoNoNTLMAuth);
  auto holds = [ntlm](const TNtlmIdentity& id, const AnsiString& user, const AnsiString& pass) {
    return !id.Set || (ntlm && id.Username == user && id.Password == pass);
  };
  return holds(FConnectionNtlm, serverUsername(), serverPassword()) &&
         holds(FConnectionProxyNtlm, ProxyUsername, ProxyPassword);
}

void THttpCli::pointCloseAt(bool Location) {
  if (Location)
    FCtrlSocket->OnSessionClosed = [this](TObject* S, WORD E) { LocationSessionClosed(S, E); };
  else
    FCtrlSocket->OnSessionClosed = [this](TObject* S, WORD E) { SocketSessionClosed(S, E); };
}

void THttpCli::failRequest(int Status, const AnsiString& Reason) {
  FStatusCode = Status;
  FReasonPhrase = Reason;
}

void THttpCli::Login() {
  if (FCtrlSocket->State() == wsConnected && !connectionReusable()) {
    // The request goes on, on a new connection: the end of this one ends nothing.
    FCtrlSocket->OnSessionClosed = nullptr;
    FCtrlSocket->Abort();
  }
  pointCloseAt(false);
  if (FCtrlSocket->State() == wsConnected) {
    SocketSessionConnected(FCtrlSocket, 0);
    return;
  }
  FResolvedAddr = AnsiString();
  const WPARAM serial = FRequestSerial;
  StateChange(httpDnsLookup);
  if (serial != FRequestSerial) return;  // aborted by OnStateChange
  try {
    FCtrlSocket->SetLocalAddr(LocalAddr);
    FCtrlSocket->DnsLookup(FConnHost);
  } catch (const Exception& E) {
    failRequest(404, E.Message());
    StateChange(httpReady);
  }
}

void THttpCli::SocketDNSLookupDone(TObject* Sender, WORD ErrCode) {
  if (ErrCode != 0) {
    if (FState == httpAborting) return;
    FRequestDoneErrCode = ErrCode;
    failRequest(404, "can't resolve hostname to IP address");
    SocketSessionClosed(Sender, ErrCode);
    return;
  }
  FResolvedAddr = FCtrlSocket->DnsResult();
  const WPARAM serial = FRequestSerial;
  StateChange(httpDnsLookupDone);
  if (serial != FRequestSerial) return;  // aborted by OnStateChange
  // An NTLM exchange authenticates its connection: a new one starts none. (A Basic one holds
  // for the request, on whichever connection it goes; the next request starts it over.)
  if (FAuthNTLMState == ntlmDone) FAuthNTLMState = ntlmNone;
  if (FProxyAuthNTLMState == ntlmDone) FAuthNTLMState = FProxyAuthNTLMState = ntlmNone;
  DoBeforeConnect();
  FConnectedHost = FConnHost;
  FConnectedPort = FConnPort;
  FConnectedProtocol = FProtocol;
  FConnectionCarriedReply = false;
  FConnectionSpent = false;
  FConnectionNtlm = FConnectionProxyNtlm = TNtlmIdentity();
  if (FProtocol != "http") {
    FRequestDoneErrCode = static_cast<WORD>(FCtrlSocket->LastError());
    failRequest(501, "Protocol \"" + FProtocol + "\" not implemented");
    FCtrlSocket->Close();
    SocketSessionClosed(FCtrlSocket, static_cast<WORD>(FCtrlSocket->LastError()));
    return;
  }
  bool raised = false;
  WSocket_WSASetLastError(0);
  try {
    FCtrlSocket->Connect();
  } catch (const Exception&) {
    raised = true;
  }
  // The socket tells its refusals to OnError (so Connect does not raise): a connect that
  // started nothing has failed as well, with the error of the Winsock call that failed (or,
  // when none did, as an invalid argument).
  const TSocketState socketState = FCtrlSocket->State();
  if (!raised && (socketState == wsConnecting || socketState == wsConnected)) return;
  int error = WSocket_WSAGetLastError();
  if (error == 0) error = WSAEINVAL;
  FRequestDoneErrCode = static_cast<WORD>(error);
  failRequest(404,
              "can't connect: " + WSocketErrorDesc(error) + " (Error #" + IntToStr(error) + ")");
  if (FCtrlSocket->State() != wsClosed)
    FCtrlSocket->Close();  // its close ends the request
  else
    SocketSessionClosed(FCtrlSocket, static_cast<WORD>(error));
}

void THttpCli::DoBeforeConnect() {
  FCtrlSocket->SetAddr(FResolvedAddr);
  FCtrlSocket->SetLocalAddr(LocalAddr);
  FCtrlSocket->SetRemotePort(FConnPort);
  FCtrlSocket->SetProto("tcp");
  FCtrlSocket->SetSocksServer(SocksServer);
  // The socket refuses an empty level; an empty one leaves the socket's own default.
  if (!SocksLevel.IsEmpty()) FCtrlSocket->SetSocksLevel(SocksLevel);
  FCtrlSocket->SetSocksPort(SocksPort);
  FCtrlSocket->SocksUsercode = SocksUsercode;
  FCtrlSocket->SocksPassword = SocksPassword;
  FCtrlSocket->SocksAuthentication = SocksAuthentication;
}

// The NTLM message the head carries for the server (none away from the named host) or for the
// proxy: ntlmMsg1, ntlmMsg3 or ntlmNone.
THttpNTLMState THttpCli::serverNtlmMessage() const {
  if (!atNamedHost()) return ntlmNone;
  return FAuthNTLMState == ntlmMsg1 || FAuthNTLMState == ntlmMsg3 ? FAuthNTLMState : ntlmNone;
}

THttpNTLMState THttpCli::proxyNtlmMessage() const {
  return FProxyAuthNTLMState == ntlmMsg1 || FProxyAuthNTLMState == ntlmMsg3 ? FProxyAuthNTLMState
                                                                            : ntlmNone;
}

bool THttpCli::sendingFirstNtlmMessage() const {
  return serverNtlmMessage() == ntlmMsg1 || proxyNtlmMessage() == ntlmMsg1;
}

// The head's authorization lines: one for the proxy and one for the server, each when its
// exchange is under way (or, for Basic, was accepted during this request), so that a request
// that answers both a proxy and a server carries both.
void THttpCli::addAuthorization(TStringList& Headers) {
  const THttpNTLMState server = serverNtlmMessage();
  if (server == ntlmMsg1) {
    Headers.Add("Authorization: NTLM " + GetNTLMMessage1());
  } else if (server == ntlmMsg3) {
    Headers.Add("Authorization: NTLM " + GetNTLMMessage3(false));
    FConnectionNtlm = {true, serverUsername(), serverPassword()};
  } else if (atNamedHost() && (FAuthBasicState == basicMsg1 || FAuthBasicState == basicDone)) {
    Headers.Add("Authorization: Basic " +
                EncodeStr(encBase64, serverUsername() + ":" + serverPassword()));
  }
  const THttpNTLMState proxy = proxyNtlmMessage();
  if (proxy == ntlmMsg1) {
    Headers.Add("Proxy-Authorization: NTLM " + GetNTLMMessage1());
  } else if (proxy == ntlmMsg3) {
    Headers.Add("Proxy-Authorization: NTLM " + GetNTLMMessage3(true));
    FConnectionProxyNtlm = {true, ProxyUsername, ProxyPassword};
  } else if (FProxyAuthBasicState == basicMsg1 || FProxyAuthBasicState == basicDone) {
    Headers.Add("Proxy-Authorization: Basic " +
                EncodeStr(encBase64, ProxyUsername + ":" + ProxyPassword));
  }
}

void THttpCli::SocketSessionConnected(TObject*, WORD ErrCode) {
  if (ErrCode != 0) {
    FRequestDoneErrCode = ErrCode;
    failRequest(404, WSocketErrorDesc(ErrCode) + " (Error #" + IntToStr(ErrCode) + ")");
    TriggerSessionConnected();
    return;
  }
  // A handler that aborts the request ends this road where it is: nothing more is sent, and
  // the state stays the abort's.
  const WPARAM serial = FRequestSerial;
  FRelocationPending = false;
  StateChange(httpConnected);
  if (serial != FRequestSerial) return;
  TriggerSessionConnected();
  if (serial != FRequestSerial) return;
  FNextLineHandler = TLineHandler::Header;
  StateChange(httpWaitingHeader);
  if (serial != FRequestSerial) return;
  try {
    static const char* const kMethods[] = {"", "GET", "POST", "PUT", "HEAD", ""};
    SendRequest(kMethods[FRequestType], FRequestVer);
    if (serial != FRequestSerial) return;
    if ((FRequestType == httpPOST || FRequestType == httpPUT) && !sendingFirstNtlmMessage()) {
      TriggerSendBegin();
      FAllowedToSend = true;
      if (serial != FRequestSerial) {
        endSending();  // the body ends before its first block, and OnSendEnd answers
        return;
      }
      SocketDataSent(FCtrlSocket, 0);
    }
  } catch (const Exception&) {
    Logout();
  }
}

void THttpCli::Logout() { FCtrlSocket->Close(); }

void THttpCli::SendCommand(const AnsiString& Cmd) {
  AnsiString line = Cmd;
  if (OnCommand) OnCommand(this, line);
  if (!line.IsEmpty()) FRequestStream += line;
  FRequestStream += "\r\n";
}

void THttpCli::SendRequest(const AnsiString& Method, const AnsiString& Version) {
  FRequestStream = AnsiString();
  // A handler that aborts the request ends the head there: nothing more of it is built or
  // told of, and nothing goes out.
  const WPARAM serial = FRequestSerial;
  auto aborted = [&] {
    if (serial == FRequestSerial) return false;
    FRequestStream = AnsiString();
    return true;
  };
  TriggerRequestHeaderBegin();
  if (aborted()) return;
  TStringList headers;
  auto add = [&headers](const char* name, const AnsiString& value) {
    if (!value.IsEmpty()) headers.Add(name + value);
  };
  const bool sendsBody = FRequestType == httpPOST || FRequestType == httpPUT;
  headers.Add(Method + " " + FPath + " HTTP/" + Version);
  add("From: ", Sender);
  add("Accept: ", Accept);
  add("Referer: ", Reference);
  add("Connection: ", Connection);
  add("Proxy-Connection: ", ProxyConnection);
  add("Accept-Language: ", AcceptLanguage);
  if (sendsBody) add("Content-Type: ", ContentTypePost);
  add("User-Agent: ", Agent);
  const AnsiString& hostPort = Proxy.IsEmpty() ? FConnPort : FTargetPort;
  headers.Add("Host: " + FTargetHost + (hostPort == "80" ? AnsiString() : ":" + hostPort));
  if (NoCache) headers.Add("Pragma: no-cache");
  if (sendsBody) {
    if (sendingFirstNtlmMessage())
      headers.Add("Content-Length: 0");
    else
      headers.Add("Content-Length: " + IntToStr(SendStream->Size() - SendStream->Position()));
  }
  if (ModifiedSince.Val != 0)
    headers.Add("If-Modified-Since: " + RFC1123_Date(ModifiedSince) + " GMT");
  addAuthorization(headers);
  add("Cookie: ", Cookie);
  if (!ContentRangeBegin.IsEmpty() || !ContentRangeEnd.IsEmpty()) {
    headers.Add("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
    ContentRangeBegin = AnsiString();
    ContentRangeEnd = AnsiString();
  }
  FAcceptRanges = AnsiString();
  TriggerBeforeHeaderSend(Method, &headers);
  if (aborted()) return;
  for (int i = 0; i < headers.Count(); ++i) {
    SendCommand(headers[i]);
    if (aborted()) return;
  }
  TriggerRequestHeaderEnd();
  if (aborted()) return;
  SendCommand(AnsiString());
  if (aborted()) return;
  const AnsiString head = std::move(FRequestStream);
  FRequestStream = AnsiString();
  FCtrlSocket->Send(head.c_str(), head.Length());
}

void THttpCli::SocketDataSent(TObject*, WORD) {
  if (!FAllowedToSend || !SendStream) return;
  const int count = SendStream->Read(FSendBuffer, kHttpBufferSize);
  if (count <= 0) {
    endSending();
    return;
  }
  FSentBodyCount += count;
  TriggerSendData(FSendBuffer, count);
  if (!FAllowedToSend) return;  // the body ended inside the handler (an Abort)
  FCtrlSocket->Send(FSendBuffer, count);
}
