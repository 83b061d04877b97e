// TCustomSocksWSocket: the SOCKS 4, 4A and 5 negotiation between the TCP connection to the
// proxy and the session the user sees.
//
// Requests are built to their exact size, so host names, user ids and passwords of any length
// fit; the one-byte length fields of level 5 cannot tell more than 255 bytes, so such values
// are refused at Connect. The reply buffer takes a level 5 reply with a bound host name of
// 255 bytes, so no reply a proxy may send leaves the negotiation waiting for ever.
#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <typeinfo>

#include "netcomp/WSocket.h"
#include "netcomp/WSocketUnit.h"

namespace {

AnsiString decimal(long long value) { return AnsiString(std::to_string(value)); }

// The class name of the exception object (as "ESocketException").
AnsiString exceptionClassName(const Exception& E) {
  const char* mangled = typeid(E).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return AnsiString(status == 0 && name ? name.get() : mangled);
}

void appendPort(std::string& request, std::uint16_t hostOrderPort) {
  request += static_cast<char>(hostOrderPort >> 8);  // network order: high byte first
  request += static_cast<char>(hostOrderPort & 0xFF);
}

// Level 5 REP codes 1-8 and their texts; the code is 20003 + REP.
const char* const kLevel5Replies[] = {
    "general SOCKS server failure", "connection not allowed by ruleset",
    "network unreachable",          "host unreachable",
    "connection refused",           "time to live expired",
    "command not supported",        "address type not supported"};

// The reply buffer (WSocket.h) holds the longest level 5 reply: 4 + 1 + 255 + 2 bytes.
constexpr int kReplyBufferUsable = kSocksReplyBufferSize - 1;
constexpr int kLevel4ReplyLength = 8;
constexpr int kMaxLengthField = 255;
// The code of a negotiation that the proxy ended by closing (the free place among 20001-20017).
constexpr int kSocksClosedError = 20014;

}  // namespace

// --- Settings ---

void TCustomSocksWSocket::assignSocksDefaults() {
  FSocksState = socksData;
  FSocksServer = AnsiString();
  FSocksPort = AnsiString();
  FSocksLevel = "5";
  FSocksRcvdCnt = 0;
  FSocksServerAssigned = false;
  FSocksPortAssigned = false;
}

void TCustomSocksWSocket::AssignDefaultValue() {
  TCustomWSocket::AssignDefaultValue();
  assignSocksDefaults();
}

// The server and the port change only while closed; stored trimmed, set when non-empty.
void TCustomSocksWSocket::setSocksSetting(AnsiString& text, bool& assigned, const AnsiString& Value,
                                          const char* refusal) {
  if (FState != wsClosed) {
    RaiseException(refusal);
    return;
  }
  text = Value.Trim();
  assigned = !text.IsEmpty();
}

void TCustomSocksWSocket::SetSocksPort(const AnsiString& Value) {
  setSocksSetting(FSocksPort, FSocksPortAssigned, Value, "Can't change socks port if not closed");
}

void TCustomSocksWSocket::SetSocksServer(const AnsiString& Value) {
  setSocksSetting(FSocksServer, FSocksServerAssigned, Value,
                  "Can't change socks server if not closed");
}

void TCustomSocksWSocket::SetSocksLevel(const AnsiString& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks level if not closed");
    return;
  }
  if (Value != "4" && Value != "5" && Value != "4A" && Value != "4a") {
    RaiseException("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  FSocksLevel = Value.UpperCase();
}

// --- Connect and listen ---

void TCustomSocksWSocket::Connect() {
  if (!FSocksServerAssigned) {
    TCustomWSocket::Connect();
    return;
  }
  if (FProtoStr.LowerCase() != "tcp") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    if (!FPortResolved)
      sin.sin_port = WSockCall::htons(WSocketUnit::resolvePort(FSocksPort, FProtoStr));
    if (!FAddrResolved) sin.sin_addr.S_addr = WSocketUnit::resolveHost(FSocksServer);
    FPortResolved = true;
    FAddrResolved = true;
    FSocksDestPort = WSocketUnit::resolvePort(FPortStr, FProtoStr);
    if (!levelIs4()) {
      if (FAddrStr.Length() > kMaxLengthField)
        throw ESocketException("host name too long for socks 5");
      if (SocksAuthentication == socksAuthenticateUsercode &&
          (SocksUsercode.Length() > kMaxLengthField || SocksPassword.Length() > kMaxLengthField))
        throw ESocketException("socks user code or password too long");
    }
    FSocksState = socksNegociateMethods;
    FRcvCnt = 0;
  } catch (Exception& E) {
    RaiseException("connect: " + E.Message());
    return;
  }
  // Refused before any socket existed (no Addr, say): no negotiation may wait for a later
  // connection, and the proxy's port and address must not pass for the destination's.
  auto forgetProxy = [this] {
    if (FState != wsClosed) return;
    FSocksState = socksData;
    FPortResolved = false;
    FAddrResolved = false;
  };
  try {
    TCustomWSocket::Connect();
  } catch (...) {
    forgetProxy();
    throw;
  }
  forgetProxy();
}

void TCustomSocksWSocket::Listen() {
  if (FSocksServerAssigned) {
    RaiseException("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

// --- Receiving: bytes that came with a level 5 reply are served first ---

int TCustomSocksWSocket::GetRcvdCount() {
  if (FSocksRcvdCnt > 0) return FSocksRcvdCnt;
  return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  if (FSocksRcvdCnt <= 0) return TCustomWSocket::DoRecv(Buffer, BufferSize, Flags);
  int count = std::min(BufferSize, FSocksRcvdCnt);
  if (count <= 0) return 0;
  std::memcpy(Buffer, FRcvBuf + FSocksRcvdPtr, static_cast<std::size_t>(count));
  FSocksRcvdPtr += count;
  FSocksRcvdCnt -= count;
  return count;
}

// --- The negotiation ---

void TCustomSocksWSocket::TriggerSessionConnectedSpecial(WORD ErrCode) {
  if (FSocksState != socksNegociateMethods) {
    TCustomWSocket::TriggerSessionConnectedSpecial(ErrCode);
    return;
  }
  TriggerSocksConnected(ErrCode);
  if (ErrCode != 0) {
    TCustomWSocket::TriggerSessionConnectedSpecial(ErrCode);
    return;
  }
  if (levelIs4()) {
    SocksDoConnect();
    return;
  }
  FSocksMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
  std::string greeting;
  greeting += '\x05';                           // SOCKS version 5
  greeting += '\x01';                           // one method offered
  greeting += static_cast<char>(FSocksMethod);  // 0 no authentication, 2 username/password
  sendRequest(greeting);
}

void TCustomSocksWSocket::sendRequest(const std::string& request) {
  try {
    Send(request.data(), static_cast<int>(request.size()));
  } catch (...) {
    // A failed send shows as a closed session; the negotiation does not raise.
  }
}

void TCustomSocksWSocket::SocksDoAuthenticate() {
  FSocksState = socksAuthenticate;
  TriggerSocksAuthState(socksAuthStart);
  std::string request;
  request += '\x01';  // username/password sub-negotiation version 1
  request += static_cast<char>(SocksUsercode.Length());
  request += SocksUsercode.str();
  request += static_cast<char>(SocksPassword.Length());
  request += SocksPassword.str();
  sendRequest(request);
}

void TCustomSocksWSocket::SocksDoConnect() {
  FSocksState = socksConnect;
  std::string request;
  if (levelIs4()) {
    std::uint32_t address = 0;
    if (FSocksLevel == "4A") {
      address = WSockCall::htonl(1);  // 0.0.0.1: the proxy resolves the name that follows
    } else {
      try {
        address = WSocketUnit::resolveHost(FAddrStr);
      } catch (Exception& E) {
        TriggerSocksError(20017, exceptionClassName(E) + " " + E.Message());
        InternalClose(true, 20017);
        return;
      }
    }
    request += '\x04';  // SOCKS version 4
    request += '\x01';  // CONNECT
    appendPort(request, FSocksDestPort);
    request.append(reinterpret_cast<const char*>(&address), 4);  // network order already
    request += SocksUsercode.str();
    request += '\0';
    if (FSocksLevel == "4A") {
      request += FAddrStr.str();
      request += '\0';
    }
  } else {
    request += '\x05';  // SOCKS version 5
    request += '\x01';  // CONNECT
    request += '\x00';  // reserved
    request += '\x03';  // ATYP: a domain name, also for a dotted address
    request += static_cast<char>(FAddrStr.Length());
    request += FAddrStr.str();
    appendPort(request, FSocksDestPort);
  }
  sendRequest(request);
}

bool TCustomSocksWSocket::TriggerDataAvailable(WORD ErrCode) {
  if (FSocksState == socksData) return TCustomWSocket::TriggerDataAvailable(ErrCode);
  if (ErrCode != 0) {
    DataAvailableError(ErrCode, "data receive error");
    return false;
  }
  int room = kReplyBufferUsable - FRcvCnt;
  if (FSocksState == socksConnect && levelIs4()) room = kLevel4ReplyLength - FRcvCnt;
  if (room > 0) {
    int got = TCustomWSocket::DoRecv(FRcvBuf + FRcvCnt, room, 0);
    if (got > 0) FRcvCnt += got;
  }
  switch (FSocksState) {
    case socksNegociateMethods:
      return judgeMethodReply();
    case socksAuthenticate:
      return judgeAuthReply();
    case socksConnect:
      return levelIs4() ? judgeLevel4Reply() : judgeLevel5Reply();
    default:
      return DataAvailableError(20013, "internal error");
  }
}

bool TCustomSocksWSocket::judgeMethodReply() {
  if (levelIs4()) return DataAvailableError(20001, "TWSocket logic error");
  if (FRcvCnt < 2) return true;
  FRcvCnt = 0;  // bytes beyond the two are dropped
  if (FRcvBuf[0] != 0x05) return DataAvailableError(20002, "socks version error");
  switch (static_cast<BYTE>(FRcvBuf[1])) {
    case 0:
      if (FSocksMethod == 2) TriggerSocksAuthState(socksAuthNotRequired);
      SocksDoConnect();
      return true;
    case 2:
      SocksDoAuthenticate();
      return true;
    default:
      return DataAvailableError(20003, "authentification method not acceptable");
  }
}

bool TCustomSocksWSocket::judgeAuthReply() {
  if (FRcvCnt >= 1 && FRcvBuf[0] != 0x01) return DataAvailableError(20002, "socks version error");
  if (FRcvCnt > 2) return DataAvailableError(20001, "too much data availaible");
  if (FRcvCnt < 2) return true;
  if (FRcvBuf[1] != 0) return DataAvailableError(20015, "socks authentication failed");
  FRcvCnt = 0;
  TriggerSocksAuthState(socksAuthSuccess);
  SocksDoConnect();
  return true;
}

bool TCustomSocksWSocket::judgeLevel4Reply() {
  if (FRcvCnt < kLevel4ReplyLength) return true;
  FRcvCnt = 0;
  if (FRcvBuf[0] != 0) return DataAvailableError(20002, "socks version error");
  int code = static_cast<BYTE>(FRcvBuf[1]);
  switch (code) {
    case 90:
      return granted(kLevel4ReplyLength);
    case 91:
      return DataAvailableError(20016, "request rejected or failed");
    case 92:
      return DataAvailableError(20008, "connection refused");
    case 93:
      return DataAvailableError(20015, "authentification failed");
    default:
      return DataAvailableError(20012, "unassigned error #" + decimal(code));
  }
}

bool TCustomSocksWSocket::judgeLevel5Reply() {
  if (FRcvCnt >= 1 && FRcvBuf[0] != 0x05) return DataAvailableError(20002, "socks version error");
  if (FRcvCnt >= 2 && FRcvBuf[1] != 0) {
    int rep = static_cast<BYTE>(FRcvBuf[1]);
    if (rep <= 8) return DataAvailableError(20003 + rep, kLevel5Replies[rep - 1]);
    return DataAvailableError(20012, "unassigned error #" + decimal(rep));
  }
  if (FRcvCnt < 5) return true;
  int atyp = static_cast<BYTE>(FRcvBuf[3]);
  int hostLength = static_cast<BYTE>(FRcvBuf[4]);
  int needed = atyp == 1 ? 10 : atyp == 3 ? hostLength + 7 : 5;
  if (FRcvCnt < needed) return true;
  int portAt = 0;
  if (atyp == 1) {
    in_addr bound{};
    std::memcpy(&bound.S_addr, FRcvBuf + 4, 4);
    FBoundAddr = AnsiString(WSockCall::inet_ntoa(bound));
    portAt = 8;
  } else if (atyp == 3) {
    FBoundAddr = AnsiString(FRcvBuf + 5, hostLength);
    portAt = 5 + hostLength;
  } else {
    return DataAvailableError(20011, "address type not supported");
  }
  int port = (static_cast<BYTE>(FRcvBuf[portAt]) << 8) | static_cast<BYTE>(FRcvBuf[portAt + 1]);
  FBoundPort = decimal(port);
  return granted(needed);
}

bool TCustomSocksWSocket::granted(int replyLength) {
  FSocksState = socksData;
  TriggerSessionConnectedSpecial(0);
  if (!levelIs4()) {
    FSocksRcvdCnt = std::max(0, FRcvCnt - replyLength);
    FSocksRcvdPtr = replyLength;
  }
  FRcvCnt = 0;
  return TriggerDataAvailable(0);
}

bool TCustomSocksWSocket::DataAvailableError(int Error, const AnsiString& Msg) {
  TriggerSocksError(Error, Msg);
  FSocksState = socksData;
  TriggerSessionConnectedSpecial(static_cast<WORD>(Error));
  InternalClose(true, static_cast<WORD>(Error));
  return false;
}

// A proxy that closes before it granted the connection (what it sent is judged first) fails
// the negotiation like any other failure: OnSocksError, OnSessionConnected and the close, all
// with one code.
void TCustomSocksWSocket::Do_FD_CLOSE(TMessage& msg) {
  if (FSocksState != socksData && FState != wsConnecting) {
    TWSocketOptions options = ComponentOptions;
    ASyncReceive(0, options.Exclude(wsoNoReceiveLoop));
    if (FSocksState != socksData && FState != wsClosed) {
      if (FSocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
      DataAvailableError(kSocksClosedError, "socks server closed the connection");
      return;
    }
  }
  TCustomWSocket::Do_FD_CLOSE(msg);
}

// --- Events ---

void TCustomSocksWSocket::TriggerSessionClosed(WORD ErrCode) {
  if (FSocksState == socksAuthenticate) TriggerSocksAuthState(socksAuthFailure);
  TCustomWSocket::TriggerSessionClosed(ErrCode);
}

void TCustomSocksWSocket::TriggerSocksConnected(WORD ErrCode) {
  if (OnSocksConnected) OnSocksConnected(this, ErrCode);
}

void TCustomSocksWSocket::TriggerSocksError(int Error, const AnsiString& Msg) {
  if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState AuthState) {
  if (OnSocksAuthState) OnSocksAuthState(this, AuthState);
}
