// The protocol engine: the component's life, reply reception, command execution, the
// connection, the greetings, the simple commands and the high-level chain.
#include "smtp/SmtpProt.h"

#include <cctype>
#include <cstring>
#include <string_view>
#include <utility>

#include "lib/SysUtils.h"

namespace {

constexpr WORD kInterrupted = 10004;      // Winsock's "interrupted" code
constexpr WORD kInvalidArgument = 10022;  // Winsock's "invalid argument" code

// The result of a refusing reply: its code, or 500 for a reply without one, or with one that
// the 16-bit error code of the request's end would read as 0 (65536, ...): no refusal may end
// as a success.
int refusalOf(int Code) { return static_cast<WORD>(Code) != 0 ? Code : 500; }

AnsiString winsockFailure(WORD Error) {
  return "500 " + WSocketErrorDesc(Error) + " (Winsock error #" + AnsiString(int(Error)) + ")";
}

}  // namespace

TCustomSmtpClient::TCustomSmtpClient(TComponent* AOwner)
    : TComponent(AOwner),
      FRcptName(std::make_unique<TStringList>()),
      FMailMessage(std::make_unique<TStringList>()) {
  FWindowHandle = AllocateHWnd([this](TMessage& Msg) { WndProc(Msg); });
  FWSocket = std::make_unique<TWSocket>(nullptr);
  FWSocket->OnSessionClosed = [this](TObject*, WORD Error) { WSocketSessionClosed(Error); };
  SetContentType(smtpPlainText);
  SetShareMode(smtpShareDenyWrite);
}

TCustomSmtpClient::~TCustomSmtpClient() {
  FWSocket->OnSessionClosed = nullptr;
  FWSocket->OnDataAvailable = nullptr;
  FWSocket->OnDataSent = nullptr;
  FWSocket->OnSessionConnected = nullptr;
  FWSocket->OnDnsLookupDone = nullptr;
  FWSocket.reset();
  if (FWindowHandle) DeallocateHWnd(FWindowHandle);
}

// --- Properties ---

TSmtpShareMode TCustomSmtpClient::GetShareMode() const {
  switch (FShareMode) {
    case 0:
      return smtpShareCompat;
    case 16:
      return smtpShareExclusive;
    case 48:
      return smtpShareDenyRead;
    case 64:
      return smtpShareDenyNone;
    default:
      return smtpShareDenyWrite;
  }
}

void TCustomSmtpClient::SetShareMode(TSmtpShareMode Value) {
  static constexpr unsigned short kFlags[] = {0, 16, 32, 48, 64};
  FShareMode = kFlags[Value];
}

void TCustomSmtpClient::SetRcptName(const TStringList& Value) { FRcptName->SetText(Value.Text()); }
void TCustomSmtpClient::SetMailMessage(const TStringList& Value) {
  FMailMessage->SetText(Value.Text());
}

void TCustomSmtpClient::SetContentType(TSmtpContentType Value) {
  FContentType = Value;
  FContentTypeText = Value == smtpPlainText ? "text/plain" : "text/html";
}

// --- Triggers ---

void TCustomSmtpClient::TriggerDisplay(const AnsiString& Msg) {
  if (OnDisplay) OnDisplay(this, Msg);
}
void TCustomSmtpClient::TriggerCommand(const AnsiString& Msg) {
  if (OnCommand) OnCommand(this, Msg);
}
void TCustomSmtpClient::TriggerResponse(const AnsiString& Msg) {
  if (FFctRunning == smtpFctEhlo) readAuthTypes(Msg);
  if (OnResponse) OnResponse(this, Msg);
}
void TCustomSmtpClient::TriggerStateChange() {
  if (OnStateChange) OnStateChange(this);
}
void TCustomSmtpClient::TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) {
  if (OnGetData)
    OnGetData(this, LineNum, MsgLine, MaxLen, More);
  else
    More = false;
}
void TCustomSmtpClient::TriggerHeaderLine(char* Line, int Size) {
  if (OnHeaderLine) OnHeaderLine(this, Line, Size);
}
void TCustomSmtpClient::TriggerProcessHeader(TStringList* HdrLines) {
  if (OnProcessHeader) OnProcessHeader(this, HdrLines);
}
void TCustomSmtpClient::TriggerSessionConnected(WORD ErrCode) {
  if (OnSessionConnected) OnSessionConnected(this, ErrCode);
}
void TCustomSmtpClient::TriggerSessionClosed(WORD ErrCode) {
  if (OnSessionClosed) OnSessionClosed(this, ErrCode);
}

void TCustomSmtpClient::StateChange(TSmtpState NewState) {
  if (FState == NewState) return;
  FState = NewState;
  TriggerStateChange();
}

void TCustomSmtpClient::TriggerRequestDone(WORD ErrorCode) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  // A reply that ends the step while the message is on its way (the server spoke out of turn)
  // ends the message too: no line of it goes out after the end.
  FWSocket->OnDataSent = nullptr;
  if (FNextRequest) {
    // A step of a high-level operation that ended without a reply (a closed connection)
    // must stop the chain as a refusal does.
    if (ErrorCode != 0 && FRequestResult == 0) FRequestResult = ErrorCode;
    if (FState != smtpAbort) StateChange(smtpInternalReady);
    (this->*FNextRequest)();
    return;
  }
  StateChange(smtpReady);
  FHighLevelFlag = false;
  // The message carries the request: a next request may start before it is handled.
  PostMessageA(FWindowHandle, WM_SMTP_REQUEST_DONE, static_cast<WPARAM>(FRequestType), ErrorCode);
}

void TCustomSmtpClient::WndProc(TMessage& MsgRec) {
  if (MsgRec.Msg == WM_SMTP_REQUEST_DONE)
    WMSmtpRequestDone(MsgRec);
  else
    MsgRec.Result = DefWindowProcA(FWindowHandle, MsgRec.Msg, MsgRec.WParam, MsgRec.LParam);
}

void TCustomSmtpClient::WMSmtpRequestDone(TMessage& Msg) {
  if (OnRequestDone)
    OnRequestDone(this, static_cast<TSmtpRequest>(Msg.WParam), static_cast<WORD>(Msg.LParam));
}

void TCustomSmtpClient::ThreadAttach() {
  FWSocket->ThreadAttach();
  if (!FWindowHandle) FWindowHandle = AllocateHWnd([this](TMessage& Msg) { WndProc(Msg); });
}

void TCustomSmtpClient::ThreadDetach() {
  FWSocket->ThreadDetach();
  if (FWindowHandle) DeallocateHWnd(FWindowHandle);
  FWindowHandle = nullptr;
}

// --- Reception ---

void TCustomSmtpClient::WSocketDataAvailable(WORD) {
  const int count = FWSocket->Receive(FReceiveBuffer + FReceiveLen, kSmtpRcvBufSize - FReceiveLen);
  if (count <= 0) return;
  FReceiveLen += count;
  FReceiveBuffer[FReceiveLen] = '\0';
  while (FReceiveLen > 0) {
    const std::string_view text(FReceiveBuffer, static_cast<std::size_t>(FReceiveLen));
    const auto end = text.find("\r\n");
    if (end == std::string_view::npos) {
      // A reply line that cannot fit: the session cannot go on in step with the server.
      if (FReceiveLen >= kSmtpRcvBufSize) receptionFailed("500 Reply line too long");
      return;
    }
    FReplyBytes += end + 2;
    if (FReplyBytes > kMaxReplyBytes) {
      // An endless reply (or endless talk nobody asked for) would keep the client reading
      // for ever.
      receptionFailed("500 Reply too long");
      return;
    }
    FLastResponse = AnsiString(FReceiveBuffer, static_cast<int>(end));
    const int rest = FReceiveLen - static_cast<int>(end) - 2;
    std::memmove(FReceiveBuffer, FReceiveBuffer + end + 2, static_cast<std::size_t>(rest) + 1);
    FReceiveLen = rest;
    const bool awaited = FState == smtpWaitingBanner || FState == smtpWaitingResponse;
    TriggerResponse(FLastResponse);
    handleReplyLine();
    if (awaited && !FContinuationLine) FReplyBytes = 0;  // the reply is complete
    // A handler may have closed or aborted the session.
    if (!FConnected && FState != smtpWaitingBanner && FState != smtpWaitingResponse) break;
  }
}

void TCustomSmtpClient::receptionFailed(const char* Text) {
  FReceiveLen = 0;
  FReplyBytes = 0;
  FLastResponse = Text;
  FStatusCode = 500;
  SetErrorMessage();
  FRequestResult = 500;
  FWSocket->Close();
}

void TCustomSmtpClient::handleReplyLine() {
  if (FState == smtpWaitingBanner) {
    DisplayLastResponse();
    if (FState != smtpWaitingBanner) return;  // OnDisplay aborted the session
    if (parseReplyCode(FLastResponse)) return;
    if (FStatusCode != 220) {
      SetErrorMessage();
      FRequestResult = FStatusCode;
      FReceiveLen = 0;
      FWSocket->Close();
      return;
    }
    StateChange(smtpConnected);
    TriggerSessionConnected(0);
    TriggerRequestDone(0);
  } else if (FState == smtpWaitingResponse) {
    if (!FNext) throw SmtpException("Program error: FNext is nil");
    (this->*FNext)();
  } else {
    DisplayLastResponse();
  }
}

bool TCustomSmtpClient::parseReplyCode(const AnsiString& Line) {
  const char* p = Line.c_str();
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int code = 0;
  while (std::isdigit(static_cast<unsigned char>(*p)) && code < 100000)
    code = code * 10 + (*p++ - '0');
  FStatusCode = negative ? -code : code;
  FContinuationLine = *p == '-';
  return FContinuationLine;
}

void TCustomSmtpClient::DisplayLastResponse() { TriggerDisplay("< " + FLastResponse); }

void TCustomSmtpClient::SetErrorMessage() {
  if (FErrorMessage.IsEmpty()) FErrorMessage = FLastResponse;
}

// --- Values that go on the wire ---

// A CR or LF would end the command or header line early and send the rest as lines of its
// own (commands of the caller's choosing); a NUL would cut the line short.
void TCustomSmtpClient::RefuseLineBreaks(const AnsiString& Value, const char* What) {
  if (Value.str().find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
    throw SmtpException(AnsiString(What) + " contains CR, LF or NUL");
}

void TCustomSmtpClient::CheckMessageValues() {
  if (!OwnHeaders) {
    const std::pair<const AnsiString*, const char*> values[] = {
        {&HdrReplyTo, "HdrReplyTo"}, {&HdrReturnPath, "HdrReturnPath"},
        {&HdrFrom, "HdrFrom"},       {&HdrTo, "HdrTo"},
        {&HdrCc, "HdrCc"},           {&HdrSubject, "HdrSubject"},
        {&HdrSender, "HdrSender"}};
    for (const auto& [value, name] : values) RefuseLineBreaks(*value, name);
  }
  RefuseLineBreaks(CharSet, "CharSet");  // the mailers' part headers carry it too
}

// --- Command execution ---

void TCustomSmtpClient::CheckReady() {
  if (FState != smtpReady && FState != smtpInternalReady)
    throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::ExecAsync(TSmtpRequest RqType, const AnsiString& Cmd,
                                  std::initializer_list<WORD> OkResponses,
                                  TSmtpNextProc DoneAsync) {
  CheckReady();
  if (!FConnected) throw SmtpException("SMTP component not connected");
  if (!FHighLevelFlag) FRequestType = RqType;
  int n = 0;
  for (WORD code : OkResponses)
    if (n < 15) FOkResponses[n++] = code;
  FOkResponses[n] = 0;
  FRequestDoneFlag = false;
  FNext = &TCustomSmtpClient::NextExecAsync;
  FDoneAsync = DoneAsync;
  StateChange(smtpWaitingResponse);
  SendCommand(Cmd);
}

void TCustomSmtpClient::SendCommand(const AnsiString& Cmd) {
  TriggerCommand(Cmd);
  TriggerDisplay("> " + Cmd);
  if (FWSocket->State() != wsConnected) return;
  FReplyBytes = 0;
  try {
    FWSocket->SendStr(Cmd + "\r\n");
  } catch (const ESocketException& E) {
    sendFailed(E.Message());
  }
}

// A send that fails (the server has gone) ends the session; the close ends the request.
void TCustomSmtpClient::sendFailed(const AnsiString& Reason) {
  if (FErrorMessage.IsEmpty())
    FErrorMessage = "500 " + StringReplace(Reason, "\r\n", " ", {rfReplaceAll});
  if (!FConnected) return;
  try {
    FWSocket->Abort();
  } catch (const Exception&) {
  }
}

void TCustomSmtpClient::NextExecAsync() {
  DisplayLastResponse();
  // OnDisplay aborted the session: the request has ended, and this reply answers nothing.
  if (FState != smtpWaitingResponse) return;
  if (parseReplyCode(FLastResponse)) return;
  if (FOkResponses[0] != 0) {
    bool accepted = false;
    for (int i = 0; FOkResponses[i] != 0; ++i)
      if (FOkResponses[i] == FStatusCode) accepted = true;
    FRequestResult = accepted ? 0 : refusalOf(FStatusCode);
  } else {
    FRequestResult = FStatusCode < 500 ? 0 : refusalOf(FStatusCode);
  }
  if (FRequestResult != 0) SetErrorMessage();
  if (FDoneAsync) {
    (this->*FDoneAsync)();
  } else if (FRequestType == smtpQuit && FConnected && FRequestResult == 0) {
    // The server's close ends the request (a refused QUIT ends it at once: the server may
    // never close).
  } else {
    TriggerRequestDone(static_cast<WORD>(FRequestResult));
  }
}

// --- Connection ---

void TCustomSmtpClient::Connect() {
  CheckReady();
  if (FConnected) throw SmtpException("SMTP component already connected");
  if (!FHighLevelFlag) FRequestType = smtpConnect;
  FRequestDoneFlag = false;
  FReceiveLen = 0;
  FReplyBytes = 0;
  FRequestResult = 0;
  FESmtpSupported = false;
  FErrorMessage = "";
  FLastResponse = "";
  FFctRunning = smtpFctConnect;
  StateChange(smtpDnsLookup);
  FWSocket->OnDataSent = nullptr;
  FWSocket->OnDnsLookupDone = [this](TObject*, WORD Error) { WSocketDnsLookupDone(Error); };
  try {
    FWSocket->DnsLookup(Host);
  } catch (const Exception&) {
    // The socket refuses an empty or unusable name by raising: a failed look-up.
    if (FState == smtpDnsLookup) WSocketDnsLookupDone(kInvalidArgument);
  }
}

void TCustomSmtpClient::connectionFailed(const AnsiString& Text, int Result, WORD DoneCode) {
  FLastResponse = Text;
  FStatusCode = 500;
  SetErrorMessage();
  FRequestResult = Result;
  TriggerRequestDone(DoneCode);
}

void TCustomSmtpClient::WSocketDnsLookupDone(WORD Error) {
  // An answer that comes after Abort belongs to no request; the cancel inside Abort itself
  // reports its error and ends the request.
  if (FState != smtpDnsLookup && !(FState == smtpAbort && Error != 0)) return;
  if (Error != 0) {
    FLastResponse = winsockFailure(Error);
    FStatusCode = 500;
    SetErrorMessage();
    FRequestResult = Error;
    TriggerSessionConnected(Error);
    TriggerSessionClosed(Error);
    TriggerRequestDone(Error);
    return;
  }
  FWSocket->SetAddr(FWSocket->DnsResult());
  FWSocket->SetLocalAddr(LocalAddr);
  FWSocket->SetProto("tcp");
  FWSocket->SetRemotePort(Port);
  FWSocket->OnSessionConnected = [this](TObject*, WORD E) { WSocketSessionConnected(E); };
  FWSocket->OnDataAvailable = [this](TObject*, WORD E) { WSocketDataAvailable(E); };
  StateChange(smtpConnecting);
  // A socket that refuses its settings (a port that is no number) often sets no error code:
  // the request still ends with one.
  const auto refusedCode = [this] {
    const int code = FWSocket->LastError();
    return static_cast<WORD>(code != 0 ? code : 500);
  };
  try {
    FWSocket->Connect();
  } catch (const ESocketException& E) {
    connectionFailed("500 ESocketException: " + E.Message(), 500, refusedCode());
  } catch (const Exception& E) {
    connectionFailed("500 Exception: " + E.Message(), 500, refusedCode());
  }
}

void TCustomSmtpClient::WSocketSessionConnected(WORD Error) {
  if (Error == 0) {
    FConnected = true;
    StateChange(smtpWaitingBanner);
    return;
  }
  FConnected = false;
  connectionFailed(winsockFailure(Error), 500, Error);
  FWSocket->Close();
  StateChange(smtpReady);
}

void TCustomSmtpClient::WSocketSessionClosed(WORD Error) {
  FConnected = false;
  const bool quitting = FRequestType == smtpQuit;
  if (!quitting && requestRunning()) {
    // The request is cut off: it fails, and says why unless a reply already did.
    if (FState != smtpAbort && FErrorMessage.IsEmpty())
      FErrorMessage = "500 Connection closed by the server";
    if (FRequestResult == 0) FRequestResult = kInterrupted;
  }
  TriggerSessionClosed(Error);
  TriggerRequestDone(quitting ? 0 : kInterrupted);
}

// --- Greetings ---

AnsiString TCustomSmtpClient::greetingName() const {
  std::string name = (SignOn.IsEmpty() ? LocalHostName() : SignOn).str();
  RefuseLineBreaks(name, "SignOn");
  for (char& c : name)
    if (c == ' ') c = '_';
  return name;
}

void TCustomSmtpClient::Helo() {
  const AnsiString name = greetingName();
  FFctRunning = smtpFctHelo;
  ExecAsync(smtpHelo, "HELO " + name, {250}, nullptr);
}

void TCustomSmtpClient::Ehlo() {
  const AnsiString name = greetingName();
  FAuthTypesSupported.Clear();
  FFctRunning = smtpFctEhlo;
  ExecAsync(smtpEhlo, "EHLO " + name, {250}, &TCustomSmtpClient::EhloNext);
}

void TCustomSmtpClient::readAuthTypes(const AnsiString& Line) {
  AnsiString rest = Line.Trim().UpperCase();
  rest.Delete(1, 4);
  if (rest.Pos("AUTH ") != 1 && rest.Pos("AUTH=") != 1) return;
  std::string words = rest.SubString(5, rest.Length()).str();
  for (char& c : words)
    if (c == '=') c = ' ';
  std::size_t at = 0;
  while (at <= words.size()) {
    std::size_t space = words.find(' ', at);
    if (space == std::string::npos) space = words.size();
    const AnsiString word = AnsiString(words.substr(at, space - at)).Trim();
    if (!word.IsEmpty() && FAuthTypesSupported.IndexOf(word) < 0) FAuthTypesSupported.Add(word);
    at = space + 1;
  }
}

void TCustomSmtpClient::EhloNext() {
  if (!FConnected) return;
  if (FRequestResult == 0) FESmtpSupported = true;
  TriggerRequestDone(static_cast<WORD>(FRequestResult));
}

// --- Simple commands ---

void TCustomSmtpClient::Vrfy() {
  RefuseLineBreaks(HdrTo, "HdrTo");
  FFctRunning = smtpFctVrfy;
  ExecAsync(smtpVrfy, "VRFY " + HdrTo, {250}, nullptr);
}

void TCustomSmtpClient::Rset() {
  FFctRunning = smtpFctRset;
  ExecAsync(smtpRset, "RSET", {250}, nullptr);
}

void TCustomSmtpClient::Quit() {
  CheckReady();
  FFctRunning = smtpFctQuit;
  if (FConnected) {
    ExecAsync(smtpQuit, "QUIT", {221}, nullptr);
    return;
  }
  if (!FHighLevelFlag) FRequestType = smtpQuit;
  FRequestDoneFlag = false;
  FRequestResult = 0;
  TriggerRequestDone(0);
}

void TCustomSmtpClient::CloseFileStream() { FFileStream.reset(); }

void TCustomSmtpClient::Abort() {
  const bool running = requestRunning();
  CloseFileStream();
  StateChange(smtpAbort);
  try {
    FWSocket->Abort();
  } catch (const Exception&) {
    // A look-up that could not be cancelled makes the socket's Abort raise before it closed
    // anything; the second call finds no look-up left and closes the socket.
    try {
      FWSocket->Abort();
    } catch (const Exception&) {
    }
  }
  if (running && !FRequestDoneFlag) {
    // No connection was up yet (a look-up or a connect in progress), so no close will end
    // the request: it ends here.
    FConnected = false;
    if (FRequestResult == 0) FRequestResult = kInterrupted;
    TriggerRequestDone(kInterrupted);
  }
  StateChange(smtpReady);
}

// --- High-level operations ---

void TCustomSmtpClient::Open() {
  if (AuthType == smtpAuthNone)
    HighLevelAsync(smtpOpen, {smtpFctConnect, smtpFctHelo});
  else
    HighLevelAsync(smtpOpen, {smtpFctConnect, smtpFctEhlo, smtpFctAuth});
}

void TCustomSmtpClient::Mail() {
  HighLevelAsync(smtpMail, {smtpFctMailFrom, smtpFctRcptTo, smtpFctData});
}

void TCustomSmtpClient::HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts) {
  if (FConnected && Fcts.Contains(smtpFctConnect))
    throw SmtpException("SMTP component already connected");
  CheckReady();
  FRequestType = RqType;
  FRequestResult = 0;
  FFctSet = Fcts;
  FFctRunning = smtpFctNone;
  FHighLevelResult = 0;
  FHighLevelFlag = true;
  FLastResponse = "";
  FErrorMessage = "";
  DoHighLevelAsync();
}

void TCustomSmtpClient::DoHighLevelAsync() {
  const bool aborted = FState == smtpAbort;
  if (aborted) {
    FFctSet = {};
    FHighLevelResult = 426;
    FRequestResult = 426;
    FErrorMessage = "426 Operation aborted.";
  }
  FNextRequest = &TCustomSmtpClient::DoHighLevelAsync;
  if (FRequestResult != 0) {
    // Nothing is tried after an abort, not even the fallback of an EHLO it cut off.
    if (FFctRunning == smtpFctEhlo && !aborted) {
      FFctSet = {smtpFctHelo};  // a refused EHLO falls back to HELO
      FRequestResult = 0;
    } else {
      FHighLevelResult = FRequestResult;
      const bool quitPending = FFctSet.Contains(smtpFctQuit) && FFctRunning != smtpFctQuit;
      FFctSet = quitPending ? TSmtpFctSet{smtpFctQuit} : TSmtpFctSet{};
      FRequestResult = 0;
    }
  }
  static constexpr struct {
    TSmtpFct fct;
    void (TCustomSmtpClient::*run)();
  } kOrder[] = {{smtpFctConnect, &TCustomSmtpClient::Connect},
                {smtpFctHelo, &TCustomSmtpClient::Helo},
                {smtpFctEhlo, &TCustomSmtpClient::Ehlo},
                {smtpFctAuth, &TCustomSmtpClient::Auth},
                {smtpFctVrfy, &TCustomSmtpClient::Vrfy},
                {smtpFctMailFrom, &TCustomSmtpClient::MailFrom},
                {smtpFctRcptTo, &TCustomSmtpClient::RcptTo},
                {smtpFctData, &TCustomSmtpClient::Data},
                {smtpFctQuit, &TCustomSmtpClient::Quit}};
  for (const auto& step : kOrder) {
    if (!FFctSet.Contains(step.fct)) continue;
    FFctSet.Exclude(step.fct);
    FFctRunning = step.fct;
    try {
      (this->*step.run)();  // virtual: overrides take part
    } catch (const Exception& E) {
      // A step refused before it sent anything (an empty recipient list, a lost connection)
      // ends the operation with a reply-like error instead of escaping the event handler.
      FLastResponse = "500 " + E.Message();
      FStatusCode = 500;
      SetErrorMessage();
      FRequestResult = 500;
      FRequestDoneFlag = false;
      if (FState == smtpWaitingResponse) StateChange(smtpInternalReady);
      TriggerRequestDone(500);
    }
    return;
  }
  FFctSet = {};
  FNextRequest = nullptr;
  FRequestDoneFlag = false;
  // The caller (and the blocking wrappers) read the operation's outcome here, not the last
  // step's.
  FRequestResult = FHighLevelResult;
  TriggerRequestDone(static_cast<WORD>(FHighLevelResult));
}
