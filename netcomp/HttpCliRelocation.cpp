// THttpCli: location fields, following them on the open connection or on a new one, and
// taking the replaced reply back out of the streams.
#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "netcomp/NetUrl.h"

namespace {
bool isAbsoluteHttp(const AnsiString& V) {
  const AnsiString lower = LowerCase(V);
  return lower.SubString(1, 7) == "http://" || lower.SubString(1, 8) == "https://";
}
AnsiString orHttp(const AnsiString& proto) { return proto.IsEmpty() ? AnsiString("http") : proto; }
AnsiString withPort(const AnsiString& port) { return port.IsEmpty() ? AnsiString() : ":" + port; }

// The location as it may stand in a request line: without the blanks that end the field, and
// with every byte that is no visible ASCII character (controls, NUL, blanks, DEL, bytes past
// 127) percent-encoded, so that none can end the line or start a header line of its own.
AnsiString requestTarget(const AnsiString& V) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string value = V.str();
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  std::string out;
  for (const char c : value) {
    const auto b = static_cast<unsigned char>(c);
    if (b > 0x20 && b < 0x7F) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return AnsiString(out);
}
}  // namespace

void THttpCli::handleLocation(const AnsiString& Value) {
  if (FRequestType == httpPUT) {
    FLocation = Value;
    return;
  }
  const AnsiString V = requestTarget(Value);
  if (!FollowRelocation) return;
  if (FRelocationCount >= kHttpMaxRelocations) {
    FReplyFailure = "Too many relocations";  // this reply is read to its end, then the request ends
    return;
  }
  FRelocationPending = true;
  AnsiString proto, user, pass, host, port, path;
  // They serve the rest of this request; the caller's Username and Password stay.
  auto takeCredentials = [&] {
    if (!user.IsEmpty() && !pass.IsEmpty()) {
      FLocationCredentials = true;
      FLocationUsername = user;
      FLocationPassword = pass;
    }
  };
  if (Proxy.IsEmpty()) {
    if (V.SubString(1, 1) == "/") {
      FPath = V;
      FLocation = "http://" + FConnHost + V;
    } else if (!isAbsoluteHttp(V)) {
      FPath = UrlDirectory(FPath) + V;
      FLocation = "http://" + FConnHost + FPath;
    } else {
      path = FPath;
      ParseURL(V, proto, user, pass, host, port, path);
      FConnHost = host;
      FPath = path;
      FConnPort = port.IsEmpty() ? AnsiString("80") : port;
      FProtocol = proto;
      takeCredentials();
      if (!proto.IsEmpty() && !host.IsEmpty()) {
        FTargetHost = host;
        FLocation = proto + "://" + host + path;
      } else {
        FConnHost = FTargetHost;
        FLocation = orHttp(proto) + "://" + FTargetHost + FPath;
      }
      if (FPath.IsEmpty()) FPath = "/";
    }
    return;
  }
  if (V.SubString(1, 1) == "/") {
    path = FPath;
    ParseURL(FPath, proto, user, pass, host, port, path);
    FLocation = orHttp(proto) + "://" + host + withPort(port) + V;
    FPath = FLocation;
    takeCredentials();
  } else if (!isAbsoluteHttp(V)) {
    FPath = UrlDirectory(FPath) + V;
    FLocation = FPath;
  } else {
    path = FPath;
    ParseURL(V, proto, user, pass, host, port, path);
    FTargetPort = port.IsEmpty() ? AnsiString("80") : port;
    FConnPort = FTargetPort;
    takeCredentials();
    if (!proto.IsEmpty() && !host.IsEmpty()) {
      FTargetHost = host;
      FLocation = proto + "://" + host + withPort(port) + path;
    } else {
      FLocation = orHttp(proto) + "://" + FTargetHost + path;
    }
    FPath = FLocation;
  }
}

void THttpCli::StartRelocation() {
  FRcvdBodyCount = 0;
  FReceiveLen = 0;
  FHeaderLineCount = 0;
  FBodyLineCount = 0;
  if (FConnectedHost == FConnHost && FConnectedPort == FConnPort &&
      FConnectedProtocol == FProtocol && !FCloseAfterReply && connectionReusable()) {
    const WPARAM serial = FRequestSerial;
    if (OnLocationChange) OnLocationChange(this);
    if (serial != FRequestSerial) return;  // aborted by the handler
    const AnsiString location = FLocation;
    InternalClear();
    FLocation = location;
    FDocName = FPath;
    AdjustDocName();
    if (FRequestType == httpPOST) FRequestType = httpGET;
    sendRelocated();
    return;
  }
  pointCloseAt(true);
  FCtrlSocket->CloseDelayed();
}

// The relocated request goes out, on the open connection or on a new one. Either way the
// relocation counts (a close inside the reply comes here without StartRelocation) and the
// request's authentication starts over; what is still counted of the replaced reply's body and
// of the sent body is taken back out of the streams, and counted no more.
void THttpCli::sendRelocated() {
  ++FRelocationCount;
  FAuthRounds = 0;
  CleanupRcvdStream();
  CleanupSendStream();
  FRcvdBodyCount = 0;
  FSentBodyCount = 0;
  postLogin();
}

void THttpCli::LocationSessionClosed(TObject*, WORD) {
  AnsiString location = FLocation;
  const int hash = location.Pos("#");
  if (hash > 0) location = location.SubString(1, hash - 1);
  AnsiString proto, user, pass, host, port, path;
  ParseURL(location, proto, user, pass, host, port, path);
  FDocName = path;
  AdjustDocName();
  FRelocationPending = false;
  if (FRequestType == httpPOST) FRequestType = httpGET;
  pointCloseAt(false);
  const WPARAM serial = FRequestSerial;
  if (OnLocationChange) OnLocationChange(this);
  if (serial != FRequestSerial) return;  // aborted by the handler
  FRcvdHeaderLines->Clear();
  FHeaderLineCount = 0;
  FBodyLineCount = 0;
  FContentLength = -1;
  FContentLengthsDiffer = false;
  FContentType = AnsiString();
  FStatusCode = 0;
  FTransferEncoding = AnsiString();
  FHeaderLinesSeen = 0;
  FHeaderBytes = 0;
  if (!Proxy.IsEmpty()) FConnPort = proxyConnPort();
  sendRelocated();
}

// A stream that cannot shrink gets its position moved back over the replaced body instead, so
// the next body is written over it.
void THttpCli::CleanupRcvdStream() {
  if (!RcvdStream || FRcvdBodyCount <= 0) return;
  try {
    RcvdStream->SetSize(RcvdStream->Size() - FRcvdBodyCount);
  } catch (const EStreamError&) {
    RcvdStream->Seek(-FRcvdBodyCount, soFromCurrent);
  }
}

void THttpCli::CleanupSendStream() {
  if (SendStream && FSentBodyCount > 0) SendStream->Seek(-FSentBodyCount, soFromCurrent);
}
