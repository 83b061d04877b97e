// THttpCli, the receiving half: reply lines cut from the receive buffer, the status line and
// header fields, the body (by length, chunked or until the close), the end of the connection
// and Abort.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "netcomp/NetUrl.h"

namespace {
constexpr int kSideBufferSize = 25;
constexpr std::int64_t kMaxChunkSize =
    std::numeric_limits<std::int64_t>::max() / 16;  // one more digit would not fit

// One length of a Content-Length value: decimal digits (blanks around them allowed), however
// many; a value past what 63 bits count is taken as the largest they do, which no body
// reaches. -1 for anything else.
std::int64_t lengthOf(const std::string& Element) {
  const std::string text = Trim(AnsiString(Element)).str();
  if (text.empty()) return -1;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    const int digit = c - '0';
    length = length > (kMax - digit) / 10 ? kMax : length * 10 + digit;
  }
  return length;
}

// The elements of a field's value that is a list (a field repeated and folded into one line,
// say), trimmed; empty elements are left out.
std::vector<std::string> listElements(const AnsiString& Value) {
  std::vector<std::string> elements;
  std::size_t start = 0;
  const std::string& text = Value.str();
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const AnsiString element = Trim(AnsiString(text.substr(start, comma - start)));
    start = comma + 1;
    if (!element.IsEmpty()) elements.push_back(element.str());
  }
  return elements;
}

// A Content-Length value: a length, or a list of them. A list of one length is that length;
// Differ tells whether it names several. -1 when an element is no length, or there is none.
std::int64_t lengthsOf(const AnsiString& Value, bool& Differ) {
  std::int64_t length = -1;
  for (const std::string& element : listElements(Value)) {
    const std::int64_t next = lengthOf(element);
    if (next < 0) return -1;
    if (length >= 0 && next != length) Differ = true;
    length = next;
  }
  return length;
}

// Whether the transfer codings (a list, letter case aside) name one that frames the body:
// identity, which changes nothing, does not.
bool namesCoding(const AnsiString& Codings) {
  const auto elements = listElements(LowerCase(Codings));
  return std::any_of(elements.begin(), elements.end(),
                     [](const std::string& coding) { return coding != "identity"; });
}

// Decimal digits only, at least one.
bool isNumber(const AnsiString& Text) {
  const std::string& text = Text.str();
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isVersion(const AnsiString& Text) { return Text == "HTTP/1.0" || Text == "HTTP/1.1"; }

// A status line: the version, then a status of three digits, 100 to 599.
bool isStatusLine(const AnsiString& Line) {
  const AnsiString version = Line.SubString(1, 9);
  if (version != "HTTP/1.0 " && version != "HTTP/1.1 ") return false;
  const AnsiString status = Line.SubString(10, 3);
  if (status.Length() != 3 || !isNumber(status)) return false;
  const int code = StrToInt(status);
  return code >= 100 && code <= 599;
}

// Whether the transfer codings (a list, letter case aside) end in chunked.
bool endsInChunked(const AnsiString& Codings) {
  const std::string list = LowerCase(Codings).str();
  const auto comma = list.rfind(',');
  return Trim(AnsiString(comma == std::string::npos ? list : list.substr(comma + 1))) == "chunked";
}
}  // namespace

// The reply cannot be read on: the connection is dropped, and the request ends with the
// reason (applied when the client becomes ready).
void THttpCli::failReply(const char* Reason) {
  FReplyFailure = Reason;
  FRelocationPending = false;
  FNextLineHandler = TLineHandler::None;
  dropWaiting();
  FCtrlSocket->Abort();
}

bool THttpCli::headerTooLarge() const {
  return FHeaderLinesSeen > kHttpMaxHeaderLines || FHeaderBytes > kHttpMaxHeaderBytes;
}

void THttpCli::removeFront(int Count) {
  Count = std::min(Count, FReceiveLen);
  FReceiveLen -= Count;
  if (FReceiveLen > 0) std::memmove(FReceiveBuffer, FReceiveBuffer + Count, FReceiveLen);
  FReceiveBuffer[FReceiveLen] = '\0';
}

void THttpCli::SocketDataAvailable(TObject*, WORD ErrCode) {
  int count = 0;
  if (FReceiveLen < kHttpMaxWaiting) {
    count = FCtrlSocket->Receive(FReceiveBuffer + FReceiveLen, kHttpMaxWaiting - FReceiveLen);
    if (count <= 0) return;
  } else {
    // A line longer than the buffer: it is cut short at the next line feed that arrives, and
    // the bytes after that line feed follow it.
    char side[kSideBufferSize];
    const int got = FCtrlSocket->Receive(side, kSideBufferSize);
    if (got <= 0) return;
    if (FState == httpWaitingHeader) {
      FHeaderBytes += got;  // dropped or not, the bytes of an over-long line count
      if (headerTooLarge()) {
        failReply("Reply header too large");
        return;
      }
    }
    const char* lf = static_cast<const char*>(std::memchr(side, '\n', got));
    if (!lf) return;
    // Placed so that it ends one byte behind the most that may wait, never further.
    const int tail = got - static_cast<int>(lf - side);
    FReceiveLen = kHttpMaxWaiting;
    std::memcpy(FReceiveBuffer + FReceiveLen + 1 - tail, lf, tail);
    count = 1;
  }
  if (!FRequested) return;
  FReceiveLen += count;
  FReceiveBuffer[FReceiveLen] = '\0';

  if (FState == httpWaitingBody) {
    if (FReceiveLen <= 0) return;
    if (FRequestType == httpHEAD) {
      dropWaiting();
      FCtrlSocket->Abort();
      return;
    }
    deliverWaitingBody();
    return;
  }
  // Bytes that come while no reply is awaited answer no request: the connection that carries
  // them is not used again (they could pass for the start of the next reply).
  if (FState != httpWaitingHeader || FNextLineHandler != TLineHandler::Header)
    FConnectionSpent = true;
  const WPARAM serial = FRequestSerial;
  while (FReceiveLen > 0 && !abortedSince(serial)) {
    const char* lf = static_cast<const char*>(std::memchr(FReceiveBuffer, '\n', FReceiveLen));
    if (!lf) break;
    const int end = static_cast<int>(lf - FReceiveBuffer);
    const int length = end > 0 && FReceiveBuffer[end - 1] == '\r' ? end - 1 : end;
    FLastLine = AnsiString(std::string(FReceiveBuffer, static_cast<std::size_t>(length)));
    removeFront(end + 1);
    if (FState == httpWaitingHeader) FHeaderBytes += end + 1;
    if (FState == httpWaitingHeader || FState == httpWaitingBody) {
      if (FNextLineHandler != TLineHandler::Header) {
        // The reply has ended and its end is on its way: these bytes answer no request.
        dropWaiting();
        break;
      }
      GetHeaderLineNext();
      // Once the body began, what waits is body data and no longer lines.
      if (FState == httpWaitingBody) break;
    } else if (OnDataPush) {
      OnDataPush(this, ErrCode);
    }
  }
}

bool THttpCli::chunked() const { return endsInChunked(FTransferEncoding); }

// Chunks frame the body themselves, and a transfer coding that does not end in chunked leaves
// the body's end to the close: a Content-Length beside either counts for nothing.
std::int64_t THttpCli::bodyLength() const {
  return namesCoding(FTransferEncoding) ? -1 : FContentLength;
}

// Hands the waiting bytes to the body, no more than the announced length.
void THttpCli::deliverWaitingBody() {
  int count = FReceiveLen;
  const std::int64_t length = bodyLength();
  if (length >= 0 && FRcvdBodyCount + count > length) {
    count = static_cast<int>(std::max<std::int64_t>(0, length - FRcvdBodyCount));
    FConnectionSpent = true;  // bytes past the length answer no request
  }
  FBodyData = FReceiveBuffer;
  FBodyDataLen = count;
  GetBodyLineNext();
  removeFront(count);
  FBodyData = nullptr;
  FBodyDataLen = 0;
  if (FNextLineHandler == TLineHandler::Body)
    GetBodyLineNext();
  else
    afterBody();
}

void THttpCli::afterBody() {
  if (FRelocationPending)
    StartRelocation();
  else
    SetReady();
}

void THttpCli::GetHeaderLineNext() {
  ++FHeaderLinesSeen;
  if (headerTooLarge()) {
    failReply("Reply header too large");
    return;
  }
  // A handler that aborts the request ends the reply where it is: nothing more of it is read.
  const WPARAM serial = FRequestSerial;
  if (FHeaderLineCount == 0) {
    TriggerHeaderBegin();
    if (abortedSince(serial)) return;
  } else if (FHeaderLineCount == -1) {
    FHeaderLineCount = 0;
  }
  ++FHeaderLineCount;
  const AnsiString& line = FLastLine;

  if (FHeaderLineCount == 1 && UpperCase(line.SubString(1, 6)) == "<HTML>") {
    if (FContentType.IsEmpty()) FContentType = "text/html";
    StateChange(httpWaitingBody);
    if (abortedSince(serial)) return;
    FNextLineHandler = TLineHandler::Body;
    TriggerHeaderEnd();
    if (abortedSince(serial)) return;
    FBodyData = line.c_str();
    FBodyDataLen = line.Length();
    GetBodyLineNext();
    FBodyData = nullptr;
    FBodyDataLen = 0;
    if (FReceiveLen > 0) deliverWaitingBody();
    return;
  }
  if (FHeaderLineCount == 1 && FConnectionCarriedReply && !isStatusLine(line)) {
    // On a connection that carried a reply, a reply that starts otherwise is bytes of an
    // earlier one (past its length, say), not an answer to this request.
    failReply("Bad status line");
    return;
  }
  if (FHeaderLineCount == 1 && !isVersion(line.SubString(1, 8))) {
    // No status line (another protocol's, none at all): the bytes are no reply to read.
    if (!line.IsEmpty()) FRcvdHeaderLines->Add(line);
    if (OnDataPush2) OnDataPush2(this);
    if (!abortedSince(serial)) failReply("Bad status line");
    return;
  }
  if (line.IsEmpty()) {
    headerEnded();
    return;
  }
  FRcvdHeaderLines->Add(line);
  if (FHeaderLineCount == 1) {
    FReplyVersion = line.SubString(6, 3);
    // An HTTP/1.0 connection does not persist unless the reply says keep-alive.
    if (FReplyVersion == "1.0") FCloseAfterReply = true;
    FStatusCode = StrToInt(line.SubString(10, 3));
    FReasonPhrase = line.SubString(14, line.Length());
  } else if (!interimReply()) {  // an interim reply's fields act on nothing
    const int colon = line.Pos(":");
    if (colon > 0) {
      int start = colon + 1;
      while (start <= line.Length() && (line[start] == ' ' || line[start] == '\t')) ++start;
      handleField(LowerCase(line.SubString(1, colon - 1)), line.SubString(start, line.Length()));
      if (abortedSince(serial)) return;  // by OnCookie
    }
  }
  if (OnHeaderData) OnHeaderData(this);
}

void THttpCli::handleField(const AnsiString& Name, const AnsiString& Value) {
  if (Name == "location") {
    handleLocation(Value);
  } else if (Name == "content-length") {
    // Repeated fields are one list: they must name one length as well.
    bool differ = false;
    const std::int64_t length = lengthsOf(Value, differ);
    if (differ || (length >= 0 && FContentLength >= 0 && length != FContentLength))
      FContentLengthsDiffer = true;
    FContentLength = length;
  } else if (Name == "transfer-encoding") {
    FTransferEncoding = Value;
  } else if (Name == "content-range") {
    const int dash = Value.Pos("-");
    const int slash = Value.Pos("/");
    if (dash > 0) {
      // The bounds go into the next request's Range line: only numbers may, or none at all.
      const AnsiString begin = Value.SubString(7, dash - 7);
      const AnsiString end =
          Value.SubString(dash + 1, slash > dash ? slash - dash - 1 : Value.Length());
      const bool numbers = isNumber(begin) && isNumber(end);
      ContentRangeBegin = numbers ? begin : AnsiString();
      ContentRangeEnd = numbers ? end : AnsiString();
    }
  } else if (Name == "accept-ranges") {
    FAcceptRanges = Value;
  } else if (Name == "content-type") {
    FContentType = LowerCase(Value);
  } else if (Name == "www-authenticate" || Name == "proxy-authenticate") {
    FAuthChallenges->Add(Value);
  } else if (Name == "set-cookie") {
    bool accept = true;
    TriggerCookie(Value, accept);
  } else if (Name == "connection" || Name == "proxy-connection") {
    // The connection's options are a list: close among them ends the connection, whatever
    // else they name.
    const auto options = listElements(LowerCase(Value));
    if (std::find(options.begin(), options.end(), "close") != options.end())
      FCloseAfterReply = true;
    else if (LowerCase(Trim(Value)) == "keep-alive")
      FCloseAfterReply = false;
  }
}

// A reply that came before the request's body was all sent: nothing more of the body goes, and
// the connection, which holds a body cut short, is closed after the reply.
void THttpCli::stopUnsentBody() {
  if (!FAllowedToSend) return;
  FCloseAfterReply = true;
  endSending();
}

// The body being sent ends (whole, or stopped early): OnSendEnd answers its OnSendBegin.
void THttpCli::endSending() {
  if (!FAllowedToSend) return;
  FAllowedToSend = false;
  TriggerSendEnd();
}

// Whether a handler aborted the request since the serial was taken: the reply is then read no
// further, and the bytes that wait answer nothing.
bool THttpCli::abortedSince(WPARAM Serial) {
  if (Serial == FRequestSerial) return false;
  dropWaiting();
  return true;
}

// A reply was read whole on the open connection.
void THttpCli::replyRead() { FConnectionCarriedReply = true; }

// An interim reply (1xx but 101): the real one follows it.
bool THttpCli::interimReply() const {
  return FStatusCode >= 100 && FStatusCode < 200 && FStatusCode != 101;
}

void THttpCli::headerEnded() {
  // Nothing of an interim reply goes on into the real one: its fields acted on nothing, and
  // its status is not the reply's.
  if (interimReply()) {
    FRcvdHeaderLines->Clear();
    FHeaderLineCount = -1;
    FContentLength = -1;
    FContentLengthsDiffer = false;
    FTransferEncoding = AnsiString();
    FStatusCode = 0;
    FReasonPhrase = AnsiString();
    return;
  }
  TriggerHeaderEnd();
  if (FState == httpReady) {
    dropWaiting();
    return;
  }
  const WPARAM serial = FRequestSerial;
  stopUnsentBody();
  if (abortedSince(serial)) return;  // by OnSendEnd
  if (FContentLengthsDiffer && !namesCoding(FTransferEncoding)) {
    // Where the body ends cannot be known.
    failReply("Content-Length values differ");
    return;
  }
  const std::int64_t length = bodyLength();
  // 1xx, 204 and 304 replies and replies to HEAD have no body, whatever length or coding
  // they name; a 301 or 302 has none unless it names a length.
  const bool noBody =
      length == 0 || FRequestType == httpHEAD || FStatusCode == 204 || FStatusCode == 304 ||
      (FStatusCode >= 100 && FStatusCode < 200) ||
      (length == -1 && (FStatusCode < 200 || FStatusCode == 301 || FStatusCode == 302));
  if (noBody) {
    // The reply is whole: bytes that follow it belong to no request and start nothing. After
    // a 101 the connection speaks a protocol this client never asked for.
    FNextLineHandler = TLineHandler::None;
    if (FReceiveLen > 0 || FStatusCode == 101) FConnectionSpent = true;
    dropWaiting();
    replyRead();
    if (FRelocationPending) {
      StartRelocation();
    } else if (!FCloseAfterReply) {
      SetReady();
    } else {
      if (FRequestType == httpHEAD) StateChange(httpWaitingBody);
      FCtrlSocket->CloseDelayed();
    }
    return;
  }
  if (FContentType == "text/html") {
    const AnsiString ext = LowerCase(ExtractFileExt(FDocName));
    if (ext == ".exe" || ext.IsEmpty()) ReplaceExt(FDocName, "htm");
  }
  StateChange(httpWaitingBody);
  if (abortedSince(serial)) return;
  FNextLineHandler = TLineHandler::Body;
  if (FReceiveLen > 0) deliverWaitingBody();
}

void THttpCli::GetBodyLineNext() {
  const bool first = FBodyLineCount == 0;
  // Counted before OnDocBegin: an Abort inside it still ends the document begun.
  ++FBodyLineCount;
  if (first) {
    FChunkSize = 0;
    FChunkRcvd = 0;
    FChunkLineBytes = 0;
    FChunkState = httpChunkGetSize;
    TriggerDocBegin();
    if (FNextLineHandler != TLineHandler::Body) return;  // aborted by the handler
  }
  if (!chunked()) {
    if (FBodyDataLen > 0) deliverBody(FBodyData, FBodyDataLen);
    if (FNextLineHandler == TLineHandler::Body && FRcvdBodyCount == bodyLength()) endDocument();
    return;
  }
  chunkedBody(FBodyData, FBodyDataLen);
}

void THttpCli::deliverBody(const char* Data, int Len) {
  FRcvdBodyCount += Len;
  if (RcvdStream) RcvdStream->Write(Data, Len);
  TriggerDocData(Data, Len);
}

// The chunk decoder: a size line (hex digits first, then an extension that is skipped; both
// bounded), that many bytes of data and their line end, again and again; after the size 0 the
// trailer, whose fields are skipped, up to its empty line. Line ends are CR LF or a bare LF.
// Framing that does not hold ends the request with an error, whatever came before it.
void THttpCli::chunkedBody(const char* Data, int Len) {
  int i = 0;
  // An Abort from OnDocData ends the walk too.
  while (i < Len && FChunkState != httpChunkDone && FNextLineHandler == TLineHandler::Body) {
    const char c = Data[i];
    switch (FChunkState) {
      case httpChunkGetSize:
        if (IsXDigit(c)) {
          // The digits are bounded, leading zeros too: a size line that never ends is no size.
          if (FChunkLineBytes >= kHttpMaxChunkSizeDigits || FChunkSize > kMaxChunkSize) {
            failReply("Bad chunk size");
            return;
          }
          FChunkSize = FChunkSize * 16 + XDigit(c);
          ++FChunkLineBytes;
          ++i;
        } else if (FChunkLineBytes == 0) {
          failReply("Bad chunk size");  // a sign, a blank, a letter or nothing: no size
          return;
        } else {
          FChunkState = httpChunkGetExt;
        }
        break;
      case httpChunkGetExt:
        // The extension is skipped, within a bound: a size line that never ends is no size.
        if (Data[i++] == '\n') {
          FChunkState = httpChunkGetData;
          FChunkLineBytes = 0;
        } else if (++FChunkLineBytes > kHttpMaxChunkLineBytes) {
          failReply("Bad chunk size");
          return;
        }
        break;
      case httpChunkGetData: {
        const int take = static_cast<int>(std::min<std::int64_t>(Len - i, FChunkSize - FChunkRcvd));
        if (take > 0) {
          FChunkRcvd += take;
          deliverBody(Data + i, take);
          i += take;
        }
        if (FChunkRcvd >= FChunkSize) FChunkState = httpChunkSkipDataEnd;
        break;
      }
      case httpChunkSkipDataEnd:
        ++i;
        if (FChunkSize == 0) {
          if (!trailerByte(c)) return;
        } else if (c == '\n') {
          FChunkState = httpChunkGetSize;
          FChunkSize = 0;
          FChunkRcvd = 0;
          FChunkLineBytes = 0;
        } else if (c == '\r' && FChunkLineBytes == 0) {
          ++FChunkLineBytes;
        } else {
          failReply("Chunk data not followed by CR LF");
          return;
        }
        break;
      case httpChunkDone:
        break;
    }
  }
  if (FChunkState == httpChunkDone && FNextLineHandler == TLineHandler::Body) {
    if (i < Len) FConnectionSpent = true;  // bytes after the body answer no request
    endDocument();
  }
}

// One byte of the trailer: an empty line ends it (and the body). Its lines count against the
// bounds of a reply header. False when the reply can no longer be read.
bool THttpCli::trailerByte(char c) {
  ++FHeaderBytes;
  if (c == '\n') {
    ++FHeaderLinesSeen;
    if (FChunkLineBytes == 0) FChunkState = httpChunkDone;
    FChunkLineBytes = 0;
  } else if (c != '\r') {
    ++FChunkLineBytes;
  }
  if (!headerTooLarge()) return true;
  failReply("Reply header too large");
  return false;
}

void THttpCli::endDocument() {
  FBodyLineCount = 0;
  FNextLineHandler = TLineHandler::None;
  dropWaiting();  // what follows the body answers no request
  replyRead();
  stopUnsentBody();
  StateChange(httpBodyReceived);
  TriggerDocEnd();
  if (FCloseAfterReply) FCtrlSocket->CloseDelayed();
}

// Why the request fails when its connection ends now (with the socket's error, 0 for a close
// by the server); empty when the reply is whole or none was waited for. A body without a
// length or chunks ends with a close, not with a reset.
AnsiString THttpCli::cutReply(WORD ErrCode) const {
  const bool inHeader = FState == httpWaitingHeader && FNextLineHandler == TLineHandler::Header;
  const bool inBody = FState == httpWaitingBody && FNextLineHandler == TLineHandler::Body;
  if (!inHeader && !inBody) return AnsiString();
  if (inBody && bodyLength() < 0 && !chunked() && ErrCode == 0) return AnsiString();
  if (ErrCode != 0) return WSocketErrorDesc(ErrCode) + " (Error #" + IntToStr(ErrCode) + ")";
  if (inBody) return "Connection closed before the end of the document";
  if (FHeaderLineCount == 0 && FReceiveLen == 0) return "Connection closed without a reply";
  return "Connection closed inside the reply header";
}

void THttpCli::SocketSessionClosed(TObject* Sender, WORD ErrCode) {
  if (ErrCode != 0) FRequestDoneErrCode = ErrCode;
  endSending();  // a body being sent ends with its connection
  if (!FRelocationPending && FReplyFailure.IsEmpty()) FReplyFailure = cutReply(ErrCode);
  if (FInHeader) {
    TriggerHeaderEnd();
    if (FRelocationPending) {
      LocationSessionClosed(Sender, ErrCode);
      return;
    }
  } else if (FBodyLineCount > 0) {
    FBodyLineCount = 0;
    TriggerDocEnd();
    if (FRelocationPending) {
      LocationSessionClosed(Sender, ErrCode);
      return;
    }
  }
  TriggerSessionClosed();
  if (FState != httpReady) SetReady();
}

void THttpCli::Abort() {
  // Nothing of the request goes on: no relocation, no failure of the reply, no byte that
  // waits, and (below, by the serial) no posted login or ready step. A request that answers a
  // challenge runs, though the client is ready.
  const bool wasRunning = running();
  FLoginPending = false;
  FRelocationPending = false;
  FReplyFailure = AnsiString();
  FNextLineHandler = TLineHandler::None;  // a body being delivered stops where it is
  dropWaiting();
  pointCloseAt(false);
  if (FState == httpReady && FAnnouncingReady) {
    // The request has just ended, and its OnRequestDone is on its way: it keeps its outcome,
    // and only the connection goes.
    ++FRequestSerial;
    if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Abort();
    return;
  }
  if (wasRunning) {
    const bool inLookup = FState == httpDnsLookup;
    StateChange(httpAborting);
    if (inLookup) {
      try {
        FCtrlSocket->CancelDnsLookup();
      } catch (const Exception&) {
      }
    }
    FStatusCode = 404;
    FReasonPhrase = "Connection aborted on request";
    FRequestDoneErrCode = 3;
    if (inLookup)
      SocketSessionClosed(FCtrlSocket, 0);
    else
      FCtrlSocket->Close();
    StateChange(httpReady);
    ++FRequestSerial;
    return;
  }
  changeStateWithoutEvent(httpAborting);
  if (FCtrlSocket->State() != wsClosed) FCtrlSocket->Abort();
  FStatusCode = 200;
  FReasonPhrase = "OK";
  FRequestDoneErrCode = 0;
  changeStateWithoutEvent(httpReady);
  ++FRequestSerial;
  TriggerStateChange();
  if (OnRequestDone) OnRequestDone(this, FRequestType, FRequestDoneErrCode);
}
