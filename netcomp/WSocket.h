#pragma once
// Unit WSocket: asynchronous TCP, UDP and raw sockets on hidden windows, with Windows Sockets
// bound at run time by name ("wsock32.dll", and "ws2_32.dll" for WSAIoctl).
//
// - The binding: Winsock is loaded and started by the first socket operation (not by
//   constructing a socket) and unloaded with the last socket, unless force-loaded.
// - Every socket has a hidden window of the class "XSocketWindowClass"; Winsock's notices
//   arrive there as messages and become the socket's events.
// - Name, port and protocol resolution, the asynchronous DNS look-ups and the Winsock error
//   texts.
// - TCustomWSocket: connect, listen, accept, dup, close, abort, the receive loop and the send
//   queue of 1460-byte blocks (TBuffer, unit WSockBuf).
// - Between it and TWSocket: SOCKS 4, 4A and 5 (TCustomSocksWSocket), line mode
//   (TCustomLineWSocket) and the blocking wait with ReadLine (TCustomSyncWSocket).
#include <sys/time.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "lib/AnsiString.h"
#include "lib/Classes.h"
#include "lib/Exceptions.h"
#include "lib/StringList.h"
#include "netcomp/WSockBuf.h"
#include "win32/message.h"
#include "win32/types.h"
#include "win32/windows.h"
#include "winsock/winsock.h"

class ESocketException : public Exception {
 public:
  using Exception::Exception;
};

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsSocksConnected,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay, wsoSIO_RCVALL };

// A set of TWSocketOption.
class TWSocketOptions {
 public:
  constexpr TWSocketOptions() = default;
  constexpr TWSocketOptions(std::initializer_list<TWSocketOption> options) {
    for (auto o : options) bits_ |= bit(o);
  }
  constexpr bool Contains(TWSocketOption o) const { return (bits_ & bit(o)) != 0; }
  constexpr TWSocketOptions& Include(TWSocketOption o) { return bits_ |= bit(o), *this; }
  constexpr TWSocketOptions& Exclude(TWSocketOption o) { return bits_ &= ~bit(o), *this; }
  constexpr bool operator==(const TWSocketOptions&) const = default;

 private:
  static constexpr unsigned bit(TWSocketOption o) { return 1u << static_cast<unsigned>(o); }
  unsigned bits_ = 0;
};

// Messages of the socket window.
inline constexpr UINT WM_ASYNCSELECT = WM_USER + 1;
inline constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
inline constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
inline constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
inline constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;
inline constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;
inline constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;

class TCustomWSocket;

using TDataAvailable = std::function<void(TObject* Sender, WORD ErrCode)>;
using TDataSent = TDataAvailable;
using TSessionClosed = TDataAvailable;
using TSessionAvailable = TDataAvailable;
using TSessionConnected = TDataAvailable;
using TDnsLookupDone = TDataAvailable;
using TSendData = std::function<void(TObject* Sender, int BytesSent)>;
using TChangeState =
    std::function<void(TObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent = std::function<void(TObject* Sender, Exception& E, bool& CanClose)>;
using TWSocketDisplay = std::function<void(TObject* Sender, const AnsiString& Msg)>;

// --- The binding ---

FARPROC WSocketGetProc(const AnsiString& ProcName);
FARPROC WSocket2GetProc(const AnsiString& ProcName);
void WSocketForceLoadWinsock();
void WSocketCancelForceLoadWinsock();
void WSocketUnloadWinsock();
void WinsockInfo(WSAData& Data);
BYTE GetReqVerLow();
BYTE GetReqVerHigh();

// The public Winsock interface: each raises the live-socket count for the length of the call.
#define WSOCKET_DECLARE_PUBLIC(name, result, params, args) result WSocket_##name params;
WINSOCK_ENTRY_POINTS(WSOCKET_DECLARE_PUBLIC)
#undef WSOCKET_DECLARE_PUBLIC

// The internal callers the component uses: the cached entry point, fetched on first use.
namespace WSockCall {
#define WSOCKET_DECLARE_INTERNAL(name, result, params, args) result name params;
WINSOCK_ENTRY_POINTS(WSOCKET_DECLARE_INTERNAL)
#undef WSOCKET_DECLARE_INTERNAL
}  // namespace WSockCall

// --- Hidden windows ---

HWND XSocketAllocateHWnd(TObject* Obj);
BOOL XSocketDeallocateHWnd(HWND Wnd);
void WSocketUnregisterClass();
LRESULT socketWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// A utility window whose messages go to Method (the HTTP and SMTP clients' windows).
using TWndMethod = std::function<void(TMessage& Msg)>;
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Wnd);

// --- Resolution and error texts ---

bool WSocketIsDottedIP(const AnsiString& S);
std::uint32_t WSocketResolveHost(const AnsiString& InAddr);  // network order
std::uint16_t WSocketResolvePort(const AnsiString& Port, const AnsiString& Proto);
int WSocketResolveProto(const AnsiString& Proto);
hostent* WSocketGetHostByAddr(const AnsiString& Addr);
AnsiString WSocketResolveIp(const AnsiString& IpAddr);
hostent* WSocketGetHostByName(const AnsiString& Name);
AnsiString LocalHostName();
TStringList* LocalIPList();
AnsiString WSocketErrorDesc(int ErrCode);

// --- The socket component ---

class TCustomWSocket : public TComponent {
 public:
  explicit TCustomWSocket(TComponent* AOwner);
  ~TCustomWSocket() override;

  // Connection.
  virtual void Connect();
  virtual void Listen();
  virtual SOCKET Accept();
  virtual void Dup(SOCKET NewHSocket);
  virtual void DupConnected();
  virtual void Close();
  virtual void CloseDelayed();
  virtual void Release();
  virtual void Abort();
  virtual void Flush();
  virtual void WaitForClose();
  virtual void Shutdown(int How);
  virtual void Pause();
  virtual void Resume();

  // Receiving.
  virtual int Receive(void* Buffer, int BufferSize);
  virtual AnsiString ReceiveStr();
  virtual int ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, int& FromLen);
  int PeekData(void* Buffer, int BufferSize);
  virtual int GetRcvdCount();

  // Sending.
  virtual int Send(const void* Data, int Len);
  virtual int SendStr(const AnsiString& Str);
  void SendText(const AnsiString& Str);
  virtual int SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len);
  virtual void PutDataInSendBuffer(const void* Data, int Len);
  void PutStringInSendBuffer(const AnsiString& Str);
  void DeleteBufferedData();
  bool AllSent() const { return bAllSent; }
  void SetSendFlags(TSocketSendFlags Value);
  TSocketSendFlags GetSendFlags();

  // Look-ups.
  virtual void DnsLookup(const AnsiString& HostName);
  virtual void ReverseDnsLookup(const AnsiString& HostAddr);
  virtual void CancelDnsLookup();
  const AnsiString& DnsResult() const { return FDnsResult; }
  TStringList* DnsResultList() const { return FDnsResultList.get(); }

  // Addresses.
  virtual AnsiString GetPeerAddr();
  virtual AnsiString GetPeerPort();
  virtual int GetPeerName(sockaddr_in& Name, int NameLen);
  virtual int GetSockName(sockaddr_in& saddr, int& saddrlen);
  virtual AnsiString GetXPort();
  virtual AnsiString GetXAddr();
  virtual bool TimerIsSet(const timeval& tv);
  virtual void TimerClear(timeval& tv);
  virtual bool TimerCmp(const timeval& tv, const timeval& uv, bool IsEqual);

  // Settings.
  const AnsiString& GetAddr() const { return FAddrStr; }
  void SetAddr(const AnsiString& Value);
  const AnsiString& GetRemotePort() const { return FPortStr; }
  virtual void SetRemotePort(const AnsiString& Value);
  const AnsiString& GetProto() const { return FProtoStr; }
  virtual void SetProto(const AnsiString& Value);
  const AnsiString& GetLocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const AnsiString& Value);
  const AnsiString& GetLocalPort() const { return FLocalPortStr; }
  void SetLocalPort(const AnsiString& Value);
  BYTE GetReqVerLow() const;
  void SetReqVerLow(BYTE Value);
  BYTE GetReqVerHigh() const;
  void SetReqVerHigh(BYTE Value);

  TSocketState State() const { return FState; }
  std::int64_t ReadCount() const { return FReadCount; }
  int LastError() const { return FLastError; }
  SOCKET HSocket() const { return FHSocket; }
  HWND Handle() const { return FWindowHandle; }
  bool Terminated() const { return FTerminated; }

  bool MultiCast = false;
  AnsiString MultiCastAddrStr;
  int MultiCastIpTTL = 1;
  bool ReuseAddr = false;
  TWSocketOptions ComponentOptions;
  int ListenBacklog = 5;
  int FlushTimeout = 60;
  TSocketLingerOnOff LingerOnOff = wsLingerOn;
  int LingerTimeout = 0;
  bool MultiThreaded = false;

  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TSessionClosed OnSessionClosed;
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TChangeState OnChangeState;
  TDnsLookupDone OnDnsLookupDone;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;
  TWSocketDisplay OnDisplay;

  // Hidden window and pumps.
  virtual void WndProc(TMessage& MsgRec);
  bool ProcessMessage();
  void ProcessMessages();
  void MessageLoop();
  virtual void MessagePump();
  void ThreadAttach();
  void ThreadDetach();

 protected:
  virtual void AllocateSocketHWnd();
  virtual void DeallocateSocketHWnd();
  virtual void TryToSend();
  virtual void AssignDefaultValue();
  virtual void InternalClose(bool bShut, WORD Error);
  virtual void InternalAbort(WORD ErrCode);
  virtual void BindSocket();
  virtual int RealSend(const char* Data, int Len);
  virtual void RaiseExceptionFmt(const char* Fmt, int Arg);
  virtual void RaiseExceptionFmt(const char* Fmt, const AnsiString& Text, int Arg);
  virtual void RaiseException(const AnsiString& Msg);
  virtual void HandleBackGroundException(Exception& E);
  virtual bool TriggerDataAvailable(WORD ErrCode);
  virtual void TriggerSessionAvailable(WORD ErrCode);
  virtual void TriggerSessionConnectedSpecial(WORD ErrCode);
  virtual void TriggerSessionConnected(WORD ErrCode);
  virtual void TriggerSessionClosed(WORD ErrCode);
  virtual void TriggerDataSent(WORD ErrCode);
  virtual void TriggerChangeState(TSocketState OldState, TSocketState NewState);
  virtual void TriggerDNSLookupDone(WORD ErrCode);
  virtual void TriggerError();
  void TriggerSendData(int BytesSent);
  void TriggerDisplay(const AnsiString& Msg);
  virtual int DoRecv(void* Buffer, int BufferSize, int Flags);
  virtual int DoRecvFrom(SOCKET FHSocket, void* Buffer, int BufferSize, int Flags,
                         sockaddr_in& From, int& FromLen);
  virtual void Do_FD_CONNECT(TMessage& msg);
  virtual void Do_FD_READ(TMessage& msg);
  virtual void Do_FD_WRITE(TMessage& msg);
  virtual void Do_FD_ACCEPT(TMessage& msg);
  virtual void Do_FD_CLOSE(TMessage& msg);

  void ChangeState(TSocketState NewState);
  void SocketError(const AnsiString& FunctionName);
  void SocketErrorAndClose(const AnsiString& FunctionName);
  void SetLingerOption();
  void ASyncReceive(WORD Error, TWSocketOptions MySocketOptions);
  void WMASyncSelect(TMessage& msg);
  void WMAsyncGetHostByName(TMessage& msg);
  void WMAsyncGetHostByAddr(TMessage& msg);
  void WMCloseDelayed(TMessage& msg);
  void WMRelease(TMessage& msg);
  bool Destroying() const { return FDestroying; }

  // Socket.
  SOCKET FHSocket = INVALID_SOCKET;
  SOCKET FASocket = INVALID_SOCKET;
  int FAddrFormat = AF_INET;
  int FType = SOCK_STREAM;
  int FProto = IPPROTO_TCP;
  sockaddr_in sin{};
  // Settings.
  AnsiString FAddrStr;
  bool FAddrAssigned = false;
  bool FAddrResolved = false;
  AnsiString FPortStr;
  bool FPortAssigned = false;
  bool FPortResolved = false;
  AnsiString FProtoStr;
  bool FProtoAssigned = false;
  bool FProtoResolved = false;
  AnsiString FLocalPortStr;
  bool FLocalPortResolved = false;
  int FLocalPortNum = 0;
  AnsiString FLocalAddr;
  // Send queue.
  // Drained from the front, filled at the back: a deque, so dropping the head costs nothing.
  std::deque<std::unique_ptr<TBuffer>> FBufList;
  int FBufSize = 1460;
  bool bAllSent = true;
  int FSendFlags = 0;
  // Receive side and control.
  std::int64_t FReadCount = 0;
  // Bytes (and datagrams) taken from Winsock, whoever read them: the receive loop ends when a
  // data handler took none.
  std::uint64_t FBytesTaken = 0;
  int FLastError = 0;
  TSocketState FState = wsClosed;
  long FSelectEvent = 0;
  bool FPaused = false;
  bool FCloseInvoked = false;
  // Window.
  HWND FWindowHandle = nullptr;
  DWORD FThreadId = 0;
  bool FTerminated = false;
  // Look-ups.
  AnsiString FDnsResult;
  std::unique_ptr<TStringList> FDnsResultList;
  HANDLE FDnsLookupHandle = nullptr;
  alignas(hostent) char FDnsLookupBuffer[MAXGETHOSTSTRUCT + 1] = {};
  bool FDnsLookupCheckMsg = false;
  TMessage FDnsLookupTempMsg{};

 private:
  void resolveForConnect();
  // The steps of Connect: each false after it has raised or reported the failure.
  bool connectAllowed();  // not in use, port, address and protocol given and resolved
  bool openForConnect();  // the socket made and opened
  // One option of the socket; a failure is reported under the name what.
  bool setConnectOption(int level, int name, const void* data, int size, const char* what);
  bool setDatagramOptions();  // bound; multicast and broadcast options
  bool setStreamOptions();    // reuse, no delay, linger, keep-alive; bound when asked
  void selectAndConnect();    // the events selected, then connected (a datagram socket at once)
  void resolveForListen();
  void resolveRemote(bool withLocalPort);
  bool beginLookup(bool badName, const char* refusal);
  bool FDestroying = false;
};

// --- SOCKS, line mode and the blocking wait ---

enum TSocksState { socksData, socksNegociateMethods, socksAuthenticate, socksConnect };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

using TSocksErrorEvent = std::function<void(TObject* Sender, int Error, const AnsiString& Msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* Sender, TSocksAuthState AuthState)>;
using TLineLimitEvent = std::function<void(TObject* Sender, int RcvdLength, bool& ClearData)>;

inline constexpr int kSocksReplyBufferSize = 264;

// Connects through a SOCKS 4, 4A or 5 proxy (username/password at level 5). The negotiation
// is hidden from the user of the socket: OnSessionConnected fires only when the proxy has
// granted the connection (0) or when the connection or the negotiation failed (the code;
// 20001-20017 for the negotiation, see OnSocksError).
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  explicit TCustomSocksWSocket(TComponent* AOwner) : TCustomWSocket(AOwner) {}

  void Connect() override;
  void Listen() override;
  int GetRcvdCount() override;

  const AnsiString& GetSocksServer() const { return FSocksServer; }
  virtual void SetSocksServer(const AnsiString& Value);
  const AnsiString& GetSocksPort() const { return FSocksPort; }
  virtual void SetSocksPort(const AnsiString& Value);
  const AnsiString& GetSocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const AnsiString& Value);
  TSocksState SocksState() const { return FSocksState; }
  // From a level 5 reply: the address and port the proxy bound for the connection.
  const AnsiString& BoundAddr() const { return FBoundAddr; }
  const AnsiString& BoundPort() const { return FBoundPort; }

  TSocksAuthentication SocksAuthentication = socksNoAuthentication;
  AnsiString SocksUsercode;
  AnsiString SocksPassword;
  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

 protected:
  virtual void TriggerSocksConnected(WORD ErrCode);
  virtual void TriggerSocksError(int Error, const AnsiString& Msg);
  void TriggerSocksAuthState(TSocksAuthState AuthState);
  void AssignDefaultValue() override;
  int DoRecv(void* Buffer, int BufferSize, int Flags) override;
  bool TriggerDataAvailable(WORD ErrCode) override;
  void TriggerSessionConnectedSpecial(WORD ErrCode) override;
  void TriggerSessionClosed(WORD ErrCode) override;
  void Do_FD_CLOSE(TMessage& msg) override;

  TSocksState FSocksState = socksData;

 private:
  void assignSocksDefaults();
  void setSocksSetting(AnsiString& text, bool& assigned, const AnsiString& Value,
                       const char* refusal);
  void SocksDoConnect();
  void SocksDoAuthenticate();
  bool DataAvailableError(int Error, const AnsiString& Msg);
  bool judgeMethodReply();
  bool judgeAuthReply();
  bool judgeLevel4Reply();
  bool judgeLevel5Reply();
  bool granted(int replyLength);
  void sendRequest(const std::string& request);
  bool levelIs4() const { return FSocksLevel.Length() > 0 && FSocksLevel[1] == '4'; }

  AnsiString FSocksServer;
  AnsiString FSocksPort;
  AnsiString FSocksLevel = "5";
  bool FSocksServerAssigned = false;
  bool FSocksPortAssigned = false;
  BYTE FSocksMethod = 0;
  std::uint16_t FSocksDestPort = 0;  // host order
  char FRcvBuf[kSocksReplyBufferSize] = {};
  int FRcvCnt = 0;
  int FSocksRcvdCnt = 0;  // bytes that followed a level 5 reply, served before the socket
  int FSocksRcvdPtr = 0;
  AnsiString FBoundAddr;
  AnsiString FBoundPort;
};

// Line mode: received bytes are collected and offered to the data handler one whole line
// (terminator included) at a time; optional echo and backspace/tab editing of what arrives.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  explicit TCustomLineWSocket(TComponent* AOwner);

  void WndProc(TMessage& MsgRec) override;
  int GetRcvdCount() override;
  virtual int SendLine(const AnsiString& Str);

  bool GetLineMode() const { return FLineMode; }
  virtual void SetLineMode(bool Value);

  int LineLimit = 65536;  // 0 or less: no limit
  AnsiString LineEnd = "\r\n";
  bool LineEcho = false;
  bool LineEdit = false;
  TLineLimitEvent OnLineLimitExceeded;

 protected:
  virtual void TriggerLineLimitExceeded(int Cnt, bool& ClearData);
  virtual void EditLine(int& Len);
  int DoRecv(void* Buffer, int BufferSize, int Flags) override;
  bool TriggerDataAvailable(WORD ErrCode) override;
  void TriggerSessionClosed(WORD ErrCode) override;
  void WMTriggerDataAvailable(TMessage& msg);
  // Offers the complete lines now buffered (the next scan starts at the buffer's front).
  void OfferBufferedLines();
  // Empties the receive buffer and returns what it held.
  AnsiString TakeBuffered();

  bool FLineMode = false;
  std::vector<char> FRcvdBuf;  // its size is the capacity; a zero byte follows the count
  int FRcvdCnt = 0;
  int FLineLength = 0;  // the line on offer, terminator included; 0: none
  bool FLineReceivedFlag = false;
  bool FLineFound = false;
  bool FLineClearData = false;
  bool FRescan = false;  // the buffered bytes have not all been searched in line mode
  int FTimeout = 0;      // milliseconds; 0 or less: no time-out
  DWORD FTimeStop = 0;

 private:
  void deliverLines(int searchFrom);
  int findLineEnd(int from) const;
  void offerLastLine();
  int takeFront(void* Buffer, int BufferSize, int available, bool peek);
  int receiveArrival(char* Buffer, int Count);
};

// A blocking wait that pumps messages until a flag is set, and ReadLine.
class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  explicit TCustomSyncWSocket(TComponent* AOwner) : TCustomLineWSocket(AOwner) {}

  // Sets Done false, runs Proc (when given) and waits: 0 when Done became true, 12001 on
  // time-out, application end or a quit message.
  virtual int Synchronize(const std::function<void()>& Proc, bool& Done);
  virtual int WaitUntilReady(bool& Done);
  // Blocking read of one line: Timeout 0 waits 60 s, above 0 that many seconds, below 0 its
  // absolute value in milliseconds. Buffer gets the line with its terminator, or at time-out
  // what was buffered.
  void ReadLine(int Timeout, AnsiString& Buffer);

 private:
  void InternalDataAvailable();
  AnsiString* FLinePointer = nullptr;
  bool FLineTaken = false;
};

// The published socket component.
class TWSocket : public TCustomSyncWSocket {
 public:
  using TCustomSyncWSocket::TCustomSyncWSocket;
};

class TSocksWSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
};
