// TCustomWSocket: construction, settings, connect, listen, accept, dup, close, the notices
// and the receive loop, addresses, linger and the error path.
#include "netcomp/WSocket.h"

#include <cstdio>
#include <string>

#include "netcomp/WSocketUnit.h"

namespace {

AnsiString decimal(long long value) { return AnsiString(std::to_string(value)); }

AnsiString dottedText(std::uint32_t networkAddress) {
  in_addr a{networkAddress};
  return AnsiString(WSockCall::inet_ntoa(a));
}

constexpr long kConnectEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
constexpr long kListenEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
constexpr long kDupEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
const int kOptionOn = -1;

}  // namespace

// --- Life ---

TCustomWSocket::TCustomWSocket(TComponent* AOwner) : TComponent(AOwner) {
  AllocateSocketHWnd();
  FBufSize = 1460;
  FDnsResultList = std::make_unique<TStringList>();
  MultiCastIpTTL = 1;
  ListenBacklog = 5;
  AssignDefaultValue();
  WSocketUnit::raiseLiveSockets();
}

TCustomWSocket::~TCustomWSocket() {
  FDestroying = true;
  try {
    CancelDnsLookup();
  } catch (...) {
  }
  try {
    if (FState != wsClosed || FHSocket != INVALID_SOCKET) Close();
  } catch (...) {
  }
  if (WSocketUnit::lowerLiveSockets()) WSocketUnloadWinsock();
  DeleteBufferedData();
  DeallocateSocketHWnd();
  CriticalSectionLock guard(WSocketUnit::instance().winsockLock);
  if (WSocketUnit::liveSockets() <= 0) WSocketUnregisterClass();
}

void TCustomWSocket::AssignDefaultValue() {
  sin = sockaddr_in{};
  sin.sin_family = AF_INET;
  FAddrFormat = AF_INET;
  FAddrAssigned = false;
  FAddrResolved = false;
  FPortAssigned = false;
  FPortResolved = false;
  FProtoStr = "tcp";
  FProtoAssigned = true;
  FProtoResolved = false;
  FProto = IPPROTO_TCP;
  FType = SOCK_STREAM;
  FLocalPortStr = "0";
  FLocalPortResolved = false;
  FLocalAddr = "0.0.0.0";
  LingerOnOff = wsLingerOn;
  LingerTimeout = 0;
  FHSocket = INVALID_SOCKET;
  FSelectEvent = 0;
  FState = wsClosed;
  bAllSent = true;
  FPaused = false;
  FReadCount = 0;
  FCloseInvoked = false;
  FlushTimeout = 60;
}

// --- Settings ---

namespace {
// The shared rule of Addr, Port and Proto: an assigned setting given its own text does
// nothing; otherwise only a closed socket takes a new text.
template <typename Refuse>
void setRemoteSetting(TSocketState state, const AnsiString& value, AnsiString& text, bool& assigned,
                      bool& resolved, Refuse refuse) {
  if (assigned && value == text) return;
  if (state != wsClosed) {
    refuse();
    return;
  }
  text = value.Trim();
  assigned = !text.IsEmpty();
  if (assigned) resolved = false;
}
}  // namespace

void TCustomWSocket::SetAddr(const AnsiString& Value) {
  setRemoteSetting(FState, Value, FAddrStr, FAddrAssigned, FAddrResolved,
                   [this] { RaiseException("Cannot change Addr if not closed"); });
}

void TCustomWSocket::SetRemotePort(const AnsiString& Value) {
  setRemoteSetting(FState, Value, FPortStr, FPortAssigned, FPortResolved,
                   [this] { RaiseException("Cannot change Port if not closed"); });
}

void TCustomWSocket::SetProto(const AnsiString& Value) {
  setRemoteSetting(FState, Value, FProtoStr, FProtoAssigned, FProtoResolved,
                   [this] { RaiseException("Cannot change Proto if not closed"); });
}

void TCustomWSocket::SetLocalPort(const AnsiString& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalPort if not closed");
    return;
  }
  FLocalPortStr = Value;
  FLocalPortResolved = false;
}

void TCustomWSocket::SetLocalAddr(const AnsiString& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalAddr if not closed");
    return;
  }
  FLocalAddr = Value.IsEmpty() ? AnsiString("0.0.0.0") : Value;
}

BYTE TCustomWSocket::GetReqVerLow() const { return ::GetReqVerLow(); }
BYTE TCustomWSocket::GetReqVerHigh() const { return ::GetReqVerHigh(); }

void TCustomWSocket::SetReqVerLow(BYTE Value) {
  if (!WSocketUnit::setRequestedVersion(false, Value))
    SocketError("SetReqVerLow: WinSock version can't be changed now");
}

void TCustomWSocket::SetReqVerHigh(BYTE Value) {
  if (!WSocketUnit::setRequestedVersion(true, Value))
    SocketError("SetReqVerHigh: WinSock version can't be changed now");
}

// --- Connect ---

void TCustomWSocket::resolveForConnect() {
  if (!FProtoResolved) {
    FProto = WSocketUnit::resolveProto(FProtoStr);
    FType = FProto == IPPROTO_TCP ? SOCK_STREAM : FProto == IPPROTO_UDP ? SOCK_DGRAM : SOCK_RAW;
    FProtoResolved = true;
  }
  resolveRemote(true);
}

// Port and address of the remote address record (and the local port for a connect).
void TCustomWSocket::resolveRemote(bool withLocalPort) {
  if (!FPortResolved) {
    sin.sin_port = WSockCall::htons(WSocketUnit::resolvePort(FPortStr, FProtoStr));
    FPortResolved = true;
  }
  if (withLocalPort && !FLocalPortResolved) {
    FLocalPortNum = WSocketUnit::resolvePort(FLocalPortStr, FProtoStr);
    FLocalPortResolved = true;
  }
  if (!FAddrResolved) {
    sin.sin_addr.S_addr = WSocketUnit::resolveHost(FAddrStr);
    FAddrResolved = true;
  }
}

void TCustomWSocket::Connect() {
  if (!connectAllowed()) return;
  DeleteBufferedData();
  if (!openForConnect()) return;
  const bool optionsSet = FType == SOCK_DGRAM ? setDatagramOptions() : setStreamOptions();
  if (optionsSet) selectAndConnect();
}

bool TCustomWSocket::connectAllowed() {
  if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return false;
  }
  if (!FPortAssigned) {
    RaiseException("Connect: No Port Specified");
    return false;
  }
  if (!FAddrAssigned) {
    RaiseException("Connect: No IP Address Specified");
    return false;
  }
  if (!FProtoAssigned) {
    RaiseException("Connect: No Protocol Specified");
    return false;
  }
  try {
    resolveForConnect();
  } catch (Exception& E) {
    RaiseException("connect: " + E.Message());
    return false;
  }
  return true;
}

bool TCustomWSocket::openForConnect() {
  FHSocket = WSockCall::socket(FAddrFormat, FType, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("Connect (socket)");
    return false;
  }
  int value = 0, length = sizeof value;
  if (WSockCall::getsockopt(FHSocket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&value),
                            &length) == SOCKET_ERROR) {
    SocketError("getsockopt(SO_SNDBUF)");
    return false;
  }
  ChangeState(wsOpened);
  if (FState != wsOpened) {
    WSockCall::WSASetLastError(WSAEINVAL);
    SocketError("Connect (Invalid operation in OnChangeState)");
    return false;
  }
  return true;
}

bool TCustomWSocket::setConnectOption(int level, int name, const void* data, int size,
                                      const char* what) {
  if (WSockCall::setsockopt(FHSocket, level, name, static_cast<const char*>(data), size) !=
      SOCKET_ERROR)
    return true;
  SocketError(what);
  return false;
}

bool TCustomWSocket::setDatagramOptions() {
  BindSocket();
  if (MultiCast) {
    if (MultiCastIpTTL != 1 &&
        !setConnectOption(IPPROTO_IP, IP_MULTICAST_TTL, &MultiCastIpTTL, sizeof MultiCastIpTTL,
                          "setsockopt(IP_MULTICAST_TTL)"))
      return false;
    if (FLocalAddr != "0.0.0.0") {
      std::uint32_t local = WSocketUnit::resolveHost(FLocalAddr);
      if (!setConnectOption(IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local,
                            "setsockopt(IP_MULTICAST_IF)"))
        return false;
    }
  }
  if (sin.sin_addr.S_addr == INADDR_NONE) {
    int on = 1;
    if (!setConnectOption(SOL_SOCKET, SO_BROADCAST, &on, sizeof on, "setsockopt(SO_BROADCAST)"))
      return false;
  }
  return true;
}

bool TCustomWSocket::setStreamOptions() {
  if (!setConnectOption(SOL_SOCKET, SO_REUSEADDR, &kOptionOn, sizeof kOptionOn,
                        "setsockopt(SO_REUSEADDR)"))
    return false;
  if (ComponentOptions.Contains(wsoTcpNoDelay) &&
      !setConnectOption(IPPROTO_TCP, TCP_NODELAY, &kOptionOn, sizeof kOptionOn,
                        "setsockopt(IPPROTO_TCP, TCP_NODELAY)"))
    return false;
  SetLingerOption();
  if (!setConnectOption(SOL_SOCKET, SO_KEEPALIVE, &kOptionOn, sizeof kOptionOn,
                        "setsockopt(SO_KEEPALIVE)"))
    return false;
  if (FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") BindSocket();
  return true;
}

void TCustomWSocket::selectAndConnect() {
  FSelectEvent = kConnectEvents;
  if (WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
    SocketError("WSAAsyncSelect");
    return;
  }
  if (FType == SOCK_DGRAM) {
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(0);
    return;
  }
  if (WSockCall::connect(FHSocket, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) == 0 ||
      WSockCall::WSAGetLastError() == WSAEWOULDBLOCK) {
    ChangeState(wsConnecting);
  } else {
    FLastError = WSockCall::WSAGetLastError();
    SocketError("Connect");
  }
}

// --- Listen, accept, dup ---

void TCustomWSocket::resolveForListen() {
  if (!FProtoResolved) {
    if (FProtoStr.SubString(1, 4).LowerCase() == "raw_") {
      FType = SOCK_RAW;
      FProto = WSocketUnit::resolveProto(FProtoStr.SubString(5, 10));
    } else {
      FProto = WSocketUnit::resolveProto(FProtoStr);
      FType = FProto == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
    }
    FProtoResolved = true;
  }
  resolveRemote(false);
}

void TCustomWSocket::Listen() {
  auto refuse = [this](const char* what) {
    WSockCall::WSASetLastError(WSAEINVAL);
    SocketError(what);
  };
  if (!FPortAssigned) return refuse("listen: port not assigned");
  if (!FProtoAssigned) return refuse("listen: protocol not assigned");
  if (!FAddrAssigned) return refuse("listen: address not assigned");
  try {
    resolveForListen();
  } catch (Exception& E) {
    RaiseException("listen: " + E.Message());
    return;
  }
  DeleteBufferedData();
  FHSocket = WSockCall::socket(FAddrFormat, FType, FProto);
  if (FHSocket == INVALID_SOCKET) {
    SocketError("socket");
    return;
  }
  if (FType == SOCK_DGRAM && ReuseAddr &&
      WSockCall::setsockopt(FHSocket, SOL_SOCKET, SO_REUSEADDR,
                            reinterpret_cast<const char*>(&kOptionOn),
                            sizeof kOptionOn) == SOCKET_ERROR) {
    SocketErrorAndClose("setsockopt(SO_REUSEADDR)");
    return;
  }
  if (WSockCall::bind(FHSocket, reinterpret_cast<const sockaddr*>(&sin), sizeof sin) ==
      SOCKET_ERROR) {
    SocketErrorAndClose("Bind");
    return;
  }
  ChangeState(wsBound);
  if (FType == SOCK_STREAM) {
    if (WSockCall::listen(FHSocket, ListenBacklog) == SOCKET_ERROR) {
      SocketError("Listen");
      return;
    }
    ChangeState(wsListening);
  } else {
    if (FType == SOCK_DGRAM && MultiCast) {
      ip_mreq membership{};
      membership.imr_multiaddr.S_addr = WSockCall::inet_addr(MultiCastAddrStr.c_str());
      membership.imr_interface.S_addr = sin.sin_addr.S_addr;
      if (WSockCall::setsockopt(FHSocket, IPPROTO_IP, IP_ADD_MEMBERSHIP,
                                reinterpret_cast<const char*>(&membership),
                                sizeof membership) == SOCKET_ERROR) {
        SocketError("setsockopt(IP_ADD_MEMBERSHIP)");
        return;
      }
    }
    if (FType == SOCK_RAW && ComponentOptions.Contains(wsoSIO_RCVALL)) {
      DWORD in = 1, out = 0, returned = 0;
      if (WSockCall::WSAIoctl(FHSocket, SIO_RCVALL, &in, sizeof in, &out, sizeof out, &returned,
                              nullptr, nullptr) == SOCKET_ERROR) {
        SocketErrorAndClose("WSAIoctl(SIO_RCVALL)");
        return;
      }
    }
    ChangeState(wsListening);
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(0);
  }
  FSelectEvent = kListenEvents;
  if (WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0)
    SocketError("WSAASyncSelect");
}

SOCKET TCustomWSocket::Accept() {
  if (FState != wsListening) {
    WSockCall::WSASetLastError(WSAEINVAL);
    SocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  int length = sizeof sin;
  FASocket = WSockCall::accept(FHSocket, reinterpret_cast<sockaddr*>(&sin), &length);
  if (FASocket == INVALID_SOCKET) {
    SocketError("Accept");
    return INVALID_SOCKET;
  }
  return FASocket;
}

void TCustomWSocket::Dup(SOCKET NewHSocket) {
  if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
    WSockCall::WSASetLastError(WSAEINVAL);
    SocketError("Dup");
    return;
  }
  if (FState != wsClosed) {
    int result = WSockCall::closesocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    if (result != 0) {
      SocketError("Dup (closesocket)");
      return;
    }
    ChangeState(wsClosed);
  }
  FHSocket = NewHSocket;
  int value = 0, length = sizeof value;
  if (WSockCall::getsockopt(FHSocket, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&value),
                            &length) == SOCKET_ERROR) {
    SocketError("getsockopt(SO_SNDBUF)");
    return;
  }
  SetLingerOption();
  FSelectEvent = kDupEvents;
  if (WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent) != 0) {
    SocketError("WSAAsyncSelect");
    return;
  }
  DupConnected();
}

void TCustomWSocket::DupConnected() { ChangeState(wsConnected); }

// --- Close ---

void TCustomWSocket::Close() { InternalClose(true, 0); }
void TCustomWSocket::Abort() { InternalAbort(0); }

void TCustomWSocket::CloseDelayed() { PostMessageA(FWindowHandle, WM_CLOSE_DELAYED, 0, 0); }
void TCustomWSocket::Release() { PostMessageA(FWindowHandle, WM_WSOCKET_RELEASE, 0, 0); }

void TCustomWSocket::Shutdown(int How) {
  if (FHSocket != INVALID_SOCKET) WSockCall::shutdown(FHSocket, How);
}

void TCustomWSocket::InternalClose(bool bShut, WORD Error) {
  if (FHSocket == INVALID_SOCKET) {
    if (FState != wsClosed) {
      ChangeState(wsClosed);
      AssignDefaultValue();
    }
    return;
  }
  if (FState == wsClosed) {
    // A handle that never left wsClosed (a Listen whose bind failed): only given back.
    WSockCall::closesocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    return;
  }
  if (bShut) Shutdown(1);
  while (WSockCall::closesocket(FHSocket) != 0) {
    FLastError = WSockCall::WSAGetLastError();
    if (FLastError == WSAEWOULDBLOCK) {
      MessagePump();
      continue;
    }
    if (FLastError == WSANOTINITIALISED) break;
    FHSocket = INVALID_SOCKET;
    SocketError("Disconnect (closesocket)");
    return;
  }
  FHSocket = INVALID_SOCKET;
  ChangeState(wsClosed);
  if (!FDestroying && !FCloseInvoked) {
    FCloseInvoked = true;
    TriggerSessionClosed(Error);
  }
  try {
    AssignDefaultValue();
  } catch (...) {
  }
}

void TCustomWSocket::InternalAbort(WORD ErrCode) {
  CancelDnsLookup();
  DeleteBufferedData();
  if (FState == wsConnected && FProto == IPPROTO_TCP) {
    LingerOnOff = wsLingerOff;
    SetLingerOption();
  }
  InternalClose(false, ErrCode);
}

void TCustomWSocket::WaitForClose() {
  while (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    MessagePump();
    std::uint32_t waiting = 0;
    if (WSockCall::ioctlsocket(FHSocket, FIONREAD, &waiting) == SOCKET_ERROR) break;
    if (waiting > 0) TriggerDataAvailable(0);
    char scratch;
    if (DoRecv(&scratch, 0, 0) <= 0) {
      FLastError = WSockCall::WSAGetLastError();
      if (FLastError != WSAEWOULDBLOCK) break;
    }
    MessagePump();
  }
}

void TCustomWSocket::Pause() {
  FPaused = true;
  if (FHSocket != INVALID_SOCKET) WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, 0, 0);
}

void TCustomWSocket::Resume() {
  FPaused = false;
  if (FHSocket != INVALID_SOCKET)
    WSockCall::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, FSelectEvent);
}

// --- Notices ---

void TCustomWSocket::WMASyncSelect(TMessage& msg) {
  // A late notice for a closed socket (handles are never reused) or one queued before a pause.
  if (FHSocket == INVALID_SOCKET || msg.WParam != static_cast<WPARAM>(FHSocket) || FPaused) return;
  WORD events = LOWORD(msg.LParam);
  if (events & FD_CONNECT) Do_FD_CONNECT(msg);
  if (events & FD_READ) Do_FD_READ(msg);
  if (events & FD_WRITE) Do_FD_WRITE(msg);
  if (events & FD_ACCEPT) Do_FD_ACCEPT(msg);
  if (events & FD_CLOSE) Do_FD_CLOSE(msg);
}

void TCustomWSocket::Do_FD_CONNECT(TMessage& msg) {
  if (FState == wsConnected) return;
  WORD error = HIWORD(msg.LParam);
  ChangeState(wsConnected);
  TriggerSessionConnectedSpecial(error);
  if (error != 0 && FState != wsClosed) Close();
}

void TCustomWSocket::Do_FD_READ(TMessage& msg) {
  WORD error = HIWORD(msg.LParam);
  if (FState != wsConnected) {
    ChangeState(wsConnected);
    TriggerSessionConnectedSpecial(error);
  }
  ASyncReceive(error, ComponentOptions);
}

void TCustomWSocket::Do_FD_WRITE(TMessage& msg) {
  const SOCKET handle = FHSocket;
  TryToSend();
  // A send that met a lost connection closed the session: nothing was sent to tell of.
  if (bAllSent && handle != INVALID_SOCKET && FHSocket == handle)
    TriggerDataSent(HIWORD(msg.LParam));
}

void TCustomWSocket::Do_FD_ACCEPT(TMessage& msg) { TriggerSessionAvailable(HIWORD(msg.LParam)); }

void TCustomWSocket::Do_FD_CLOSE(TMessage& msg) {
  if (FState == wsConnecting) return;
  TWSocketOptions options = ComponentOptions;
  ASyncReceive(0, options.Exclude(wsoNoReceiveLoop));
  if (!FCloseInvoked) {
    FCloseInvoked = true;
    TriggerSessionClosed(HIWORD(msg.LParam));
  }
  if (FState != wsClosed) Close();
}

// Offers what is waiting while data waits: one FIONREAD after each offer. A data handler
// that takes nothing from the socket ends the loop (the bytes stay waiting) instead of being
// offered the same bytes forever.
void TCustomWSocket::ASyncReceive(WORD Error, TWSocketOptions MySocketOptions) {
  try {
    for (;;) {
      const std::uint64_t takenBefore = FBytesTaken;
      FLastError = 0;
      if (!TriggerDataAvailable(Error)) {
        char scratch[1024];
        if (DoRecv(scratch, sizeof scratch, 0) < 0) {
          FLastError = WSockCall::WSAGetLastError();
          if (FLastError == WSAEWOULDBLOCK) {
            FLastError = 0;
            break;
          }
        }
      }
      if (MySocketOptions.Contains(wsoNoReceiveLoop)) break;
      if (FLastError != 0) {
        if (FLastError == -1) FLastError = 0;
        break;
      }
      std::uint32_t waiting = 0;
      if (WSockCall::ioctlsocket(FHSocket, FIONREAD, &waiting) == SOCKET_ERROR) {
        FLastError = WSockCall::WSAGetLastError();
        break;
      }
      if (waiting == 0 || FBytesTaken == takenBefore) break;
    }
  } catch (...) {
    // The loop swallows whatever its handlers raise.
  }
}

// --- Receiving ---

int TCustomWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  const int result = WSockCall::recv(FHSocket, static_cast<char*>(Buffer), BufferSize, Flags);
  if (result > 0 && !(Flags & MSG_PEEK)) FBytesTaken += static_cast<std::uint64_t>(result);
  return result;
}

int TCustomWSocket::DoRecvFrom(SOCKET Socket, void* Buffer, int BufferSize, int Flags,
                               sockaddr_in& From, int& FromLen) {
  const int result = WSockCall::recvfrom(Socket, static_cast<char*>(Buffer), BufferSize, Flags,
                                         reinterpret_cast<sockaddr*>(&From), &FromLen);
  if (result >= 0 && !(Flags & MSG_PEEK)) ++FBytesTaken;  // a datagram, empty ones too
  return result;
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize) {
  int result = DoRecv(Buffer, BufferSize, 0);
  if (result < 0)
    FLastError = WSockCall::WSAGetLastError();
  else
    FReadCount += result;
  return result;
}

int TCustomWSocket::ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen) {
  int result = DoRecvFrom(FHSocket, Buffer, BufferSize, 0, From, FromLen);
  if (result < 0)
    FLastError = WSockCall::WSAGetLastError();
  else
    FReadCount += result;
  return result;
}

int TCustomWSocket::PeekData(void* Buffer, int BufferSize) {
  int result = DoRecv(Buffer, BufferSize, MSG_PEEK);
  if (result < 0) FLastError = WSockCall::WSAGetLastError();
  return result;
}

AnsiString TCustomWSocket::ReceiveStr() {
  int count = GetRcvdCount();
  if (count < 0) return AnsiString();
  if (count == 0) count = 255;
  std::string text(count, '\0');
  int result = Receive(text.data(), count);
  if (result <= 0) return AnsiString();
  text.resize(result);
  return AnsiString(std::move(text));
}

int TCustomWSocket::GetRcvdCount() {
  std::uint32_t waiting = 0;
  if (WSockCall::ioctlsocket(FHSocket, FIONREAD, &waiting) == SOCKET_ERROR) {
    SocketError("ioctlSocket");
    return -1;
  }
  return static_cast<int>(waiting);
}

// --- Addresses ---

AnsiString TCustomWSocket::GetPeerAddr() {
  if (FState != wsConnected) return "error";
  sockaddr_in peer{};
  int length = sizeof peer;
  if (WSockCall::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    SocketError("GetPeerAddr");
    return "error";
  }
  return dottedText(peer.sin_addr.S_addr);
}

AnsiString TCustomWSocket::GetPeerPort() {
  if (FState != wsConnected) return "error";
  sockaddr_in peer{};
  int length = sizeof peer;
  if (WSockCall::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    SocketError("GetPeerPort");
    return "error";
  }
  return decimal(WSockCall::ntohs(peer.sin_port));
}

int TCustomWSocket::GetPeerName(sockaddr_in& Name, int NameLen) {
  if (FState != wsConnected) return SOCKET_ERROR;
  return WSockCall::getpeername(FHSocket, reinterpret_cast<sockaddr*>(&Name), &NameLen);
}

int TCustomWSocket::GetSockName(sockaddr_in& saddr, int& saddrlen) {
  return WSockCall::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&saddr), &saddrlen);
}

AnsiString TCustomWSocket::GetXPort() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  sockaddr_in local{};
  int length = sizeof local;
  if (GetSockName(local, length) != 0) return "error";
  return decimal(WSockCall::ntohs(local.sin_port));
}

AnsiString TCustomWSocket::GetXAddr() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  sockaddr_in local{};
  int length = sizeof local;
  if (GetSockName(local, length) != 0) return "error";
  return dottedText(local.sin_addr.S_addr);
}

bool TCustomWSocket::TimerIsSet(const timeval& tv) { return tv.tv_sec != 0 || tv.tv_usec != 0; }
void TCustomWSocket::TimerClear(timeval& tv) { tv.tv_sec = tv.tv_usec = 0; }
bool TCustomWSocket::TimerCmp(const timeval& tv, const timeval& uv, bool IsEqual) {
  bool equal = tv.tv_sec == uv.tv_sec && tv.tv_usec == uv.tv_usec;
  return equal == IsEqual;
}

// --- Binding and linger ---

void TCustomWSocket::BindSocket() {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = WSockCall::htons(static_cast<std::uint16_t>(FLocalPortNum));
  local.sin_addr.S_addr = WSocketUnit::resolveHost(FLocalAddr);
  if (WSockCall::bind(FHSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    RaiseExceptionFmt("winsock.bind failed, error #%d", WSockCall::WSAGetLastError());
    return;
  }
  int length = sizeof local;
  if (WSockCall::getsockname(FHSocket, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    RaiseExceptionFmt("winsock.getsockname failed, error #%d", WSockCall::WSAGetLastError());
    return;
  }
  FLocalPortNum = WSockCall::ntohs(local.sin_port);
  FLocalPortStr = decimal(FLocalPortNum);
}

void TCustomWSocket::SetLingerOption() {
  if (LingerOnOff == wsLingerNoSet) return;
  if (FHSocket == INVALID_SOCKET) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  linger value{static_cast<std::uint16_t>(LingerOnOff), static_cast<std::uint16_t>(LingerTimeout)};
  if (WSockCall::setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value),
                            sizeof value) == SOCKET_ERROR)
    SocketError("setsockopt(SO_LINGER)");
}

// --- State, events, errors ---

void TCustomWSocket::ChangeState(TSocketState NewState) {
  TSocketState old = FState;
  FState = NewState;
  if (old != NewState) TriggerChangeState(old, NewState);
}

bool TCustomWSocket::TriggerDataAvailable(WORD ErrCode) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, ErrCode);
  return true;
}

void TCustomWSocket::TriggerSessionAvailable(WORD ErrCode) {
  if (OnSessionAvailable) OnSessionAvailable(this, ErrCode);
}

void TCustomWSocket::TriggerSessionConnectedSpecial(WORD ErrCode) {
  TriggerSessionConnected(ErrCode);
}

void TCustomWSocket::TriggerSessionConnected(WORD ErrCode) {
  if (OnSessionConnected) OnSessionConnected(this, ErrCode);
}

void TCustomWSocket::TriggerSessionClosed(WORD ErrCode) {
  if (OnSessionClosed) OnSessionClosed(this, ErrCode);
}

void TCustomWSocket::TriggerDataSent(WORD ErrCode) {
  if (OnDataSent) OnDataSent(this, ErrCode);
}

void TCustomWSocket::TriggerChangeState(TSocketState OldState, TSocketState NewState) {
  if (OnChangeState) OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::TriggerDNSLookupDone(WORD ErrCode) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, ErrCode);
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}

void TCustomWSocket::TriggerSendData(int BytesSent) {
  if (OnSendData) OnSendData(this, BytesSent);
}

void TCustomWSocket::TriggerDisplay(const AnsiString& Msg) {
  if (OnDisplay) OnDisplay(this, Msg);
}

void TCustomWSocket::RaiseException(const AnsiString& Msg) {
  if (OnError)
    TriggerError();
  else
    throw ESocketException(Msg);
}

void TCustomWSocket::RaiseExceptionFmt(const char* Fmt, int Arg) {
  char text[256];
  std::snprintf(text, sizeof text, Fmt, Arg);
  RaiseException(AnsiString(text));
}

void TCustomWSocket::RaiseExceptionFmt(const char* Fmt, const AnsiString& Text, int Arg) {
  std::string text(Text.Length() + 256, '\0');
  int n = std::snprintf(text.data(), text.size(), Fmt, Text.c_str(), Arg);
  text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  RaiseException(AnsiString(std::move(text)));
}

// SocketError, with the socket closed afterwards also when SocketError raises (no OnError).
void TCustomWSocket::SocketErrorAndClose(const AnsiString& FunctionName) {
  try {
    SocketError(FunctionName);
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TCustomWSocket::SocketError(const AnsiString& FunctionName) {
  int ErrCode = WSockCall::WSAGetLastError();
  AnsiString line = "Error " + decimal(ErrCode) + " in function " + FunctionName + "\r\n" +
                    WSocketErrorDesc(ErrCode);
  if (ErrCode == WSAECONNRESET || ErrCode == WSAENOTCONN) {
    if (FHSocket != INVALID_SOCKET) WSockCall::closesocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    if (FState != wsClosed) TriggerSessionClosed(static_cast<WORD>(ErrCode));
    ChangeState(wsClosed);
  }
  FLastError = ErrCode;
  RaiseException(line);
}
