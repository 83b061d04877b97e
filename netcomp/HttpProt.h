#pragma once
// Unit HttpProt: THttpCli, the HTTP/1.0 and 1.1 client component on the line socket.
//
// Every request is asynchronous: it returns at once and runs on window messages (the owned
// socket's and the client's own hidden window) until OnRequestDone. The blocking requests
// (Get, Head, Post, Put, Close) start the same request and pump messages until it has ended:
// the client is ready again, and not only for the moment in which it answers a challenge
// (a request then is still busy, and an Abort aborts it). The sending half (request start,
// connection, head, body) and the receiving half (reply lines, body, relocation, Basic and
// NTLM authentication, Abort) share the class.
//
// What a broken or hostile server cannot do: make one request follow more than 20
// relocations or answer more than 6 authentication challenges between two relocations, send
// a reply header (or a trailer) of more than 1000 lines or 256 KiB, pass off a reply cut short
// by the close or a reset, a reply without a status line, a reply whose Content-Length values
// differ, or chunks whose framing does not hold (a size line without a size, of more than 16
// digits or past 63 bits, data without its line end), as a whole one, or have bytes past a
// reply read as the next reply on a kept-alive connection. Each ends the request with StatusCode
// 404 (the code a blocking request raises and OnRequestDone carries, unless the socket gave one)
// and a reason of its own; the bytes received stay in RcvdStream, and the connection is not
// used again. Nor can it have the user's credentials sent to another host than the URL's, or
// the proxy's anywhere when no proxy is set, or change Username and Password, or put raw bytes
// of a location into the request line, or make an interim (1xx) reply's fields act. Byte
// counts are 64-bit.
//
// Connections persist as HTTP/1.1 says: an HTTP/1.0 reply closes its connection unless it
// says keep-alive, and a body whose transfer coding does not end in chunked is read until the
// close. A connection that an NTLM exchange authenticated carries only requests of the same
// user and password (and with NTLM allowed): any other opens a connection of its own.
//
// An Abort from any handler ends the request there: after it only the ends of what had begun
// (OnHeaderEnd, OnDocEnd, OnSendEnd), the close, the state changes and the one OnRequestDone
// fire. An Abort from OnStateChange at ready leaves the request that ended as it ended.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "lib/AnsiString.h"
#include "lib/Classes.h"
#include "lib/DateTime.h"
#include "lib/Exceptions.h"
#include "lib/Streams.h"
#include "lib/StringList.h"
#include "netcomp/NtlmMsgs.h"
#include "netcomp/WSocket.h"

enum THttpState {
  httpReady,
  httpNotConnected,
  httpConnected,
  httpDnsLookup,
  httpDnsLookupDone,
  httpWaitingHeader,
  httpWaitingBody,
  httpBodyReceived,
  httpWaitingProxyConnect,
  httpClosing,
  httpAborting
};
enum THttpRequest { httpABORT, httpGET, httpPOST, httpPUT, httpHEAD, httpCLOSE };
enum THttpChunkState {
  httpChunkGetSize,
  httpChunkGetExt,
  httpChunkGetData,
  httpChunkSkipDataEnd,
  httpChunkDone
};
enum THttpNTLMState { ntlmNone, ntlmMsg1, ntlmMsg2, ntlmMsg3, ntlmDone };
enum THttpBasicState { basicNone, basicMsg1, basicDone };
enum TNTLMAuthType { ntlmAuthProxy, ntlmAuthNormal };
enum TBasicAuthType { basicAuthProxy, basicAuthNormal };
enum THttpEncoding { encUUEncode, encBase64, encMime };
enum THttpCliOption { httpoNoBasicAuth, httpoNoNTLMAuth };

// A set of THttpCliOption.
class THttpCliOptions {
 public:
  constexpr THttpCliOptions() = default;
  constexpr THttpCliOptions(std::initializer_list<THttpCliOption> options) {
    for (auto o : options) bits_ |= 1u << static_cast<unsigned>(o);
  }
  constexpr bool Contains(THttpCliOption o) const {
    return (bits_ & (1u << static_cast<unsigned>(o))) != 0;
  }

 private:
  unsigned bits_ = 0;
};

class EHttpException : public Exception {
 public:
  EHttpException(AnsiString Msg, WORD Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
  WORD ErrorCode;
};

inline constexpr UINT WM_HTTP_REQUEST_DONE = WM_USER + 1;
inline constexpr UINT WM_HTTP_SET_READY = WM_USER + 2;
inline constexpr UINT WM_HTTP_LOGIN = WM_USER + 3;

inline constexpr int kHttpBufferSize = 8193;
inline constexpr int kHttpMaxWaiting = 8190;  // bytes that wait in the receive buffer at most
inline constexpr int kHttpMaxRelocations = 20;
inline constexpr int kHttpMaxAuthRounds = 6;      // requests sent again with credentials
inline constexpr int kHttpMaxHeaderLines = 1000;  // of one request's replies
inline constexpr std::int64_t kHttpMaxHeaderBytes = 256 * 1024;
inline constexpr int kHttpMaxChunkSizeDigits = 16;   // of a chunk's size line, leading zeros too
inline constexpr int kHttpMaxChunkLineBytes = 4096;  // a chunk's size line, its extension too

using TOnCommand = std::function<void(TObject* Sender, AnsiString& S)>;
using TDocDataEvent = std::function<void(TObject* Sender, const char* Buffer, int Len)>;
using THttpRequestDone = std::function<void(TObject* Sender, THttpRequest RqType, WORD ErrCode)>;
using TCookieRcvdEvent = std::function<void(TObject* Sender, const AnsiString& Data, bool& Accept)>;
using TBeforeHeaderSendEvent =
    std::function<void(TObject* Sender, const AnsiString& Method, TStringList* Headers)>;

class THttpCli : public TComponent {
 public:
  explicit THttpCli(TComponent* AOwner);
  ~THttpCli() override;

  // Blocking requests.
  void Get() { DoRequestSync(httpGET); }
  void Head() { DoRequestSync(httpHEAD); }
  void Post() { DoRequestSync(httpPOST); }
  void Put() { DoRequestSync(httpPUT); }
  void Close() { DoRequestSync(httpCLOSE); }
  // Asynchronous requests.
  void GetASync() { DoRequestAsync(httpGET); }
  void HeadASync() { DoRequestAsync(httpHEAD); }
  void PostASync() { DoRequestAsync(httpPOST); }
  void PutASync() { DoRequestAsync(httpPUT); }
  void CloseAsync() { DoRequestAsync(httpCLOSE); }
  void Abort();

  // Published properties.
  AnsiString URL;
  AnsiString LocalAddr = "0.0.0.0";
  AnsiString Proxy;
  AnsiString ProxyPort = "80";
  AnsiString Sender;
  AnsiString Agent = "Mozilla/4.0 (compatible; NetComp)";
  AnsiString Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  AnsiString AcceptLanguage;
  AnsiString Reference;
  AnsiString Connection;
  AnsiString ProxyConnection;
  AnsiString Username;
  AnsiString Password;
  AnsiString ProxyUsername;
  AnsiString ProxyPassword;
  bool NoCache = false;
  TDateTime ModifiedSince;
  AnsiString Cookie;
  AnsiString ContentTypePost = "application/x-www-form-urlencoded";
  AnsiString ContentRangeBegin;
  AnsiString ContentRangeEnd;
  const AnsiString& AcceptRanges() const { return FAcceptRanges; }
  bool GetMultiThreaded() const { return FMultiThreaded; }
  virtual void SetMultiThreaded(bool Value);
  const AnsiString& RequestVer() const { return FRequestVer; }
  void SetRequestVer(const AnsiString& Value);
  bool FollowRelocation = true;
  THttpCliOptions Options;
  AnsiString SocksServer;
  AnsiString SocksLevel;
  AnsiString SocksPort;
  AnsiString SocksUsercode;
  AnsiString SocksPassword;
  TSocksAuthentication SocksAuthentication = socksNoAuthentication;

  // Published events.
  TNotifyEvent OnTrace;
  TNotifyEvent OnSessionConnected;
  TNotifyEvent OnSessionClosed;
  TNotifyEvent OnHeaderData;
  TOnCommand OnCommand;
  TNotifyEvent OnHeaderBegin;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnRequestHeaderBegin;
  TNotifyEvent OnRequestHeaderEnd;
  TNotifyEvent OnDocBegin;
  TDocDataEvent OnDocData;
  TNotifyEvent OnDocEnd;
  TNotifyEvent OnSendBegin;
  TDocDataEvent OnSendData;
  TNotifyEvent OnSendEnd;
  TNotifyEvent OnStateChange;
  THttpRequestDone OnRequestDone;
  TNotifyEvent OnLocationChange;
  TCookieRcvdEvent OnCookie;
  TDataAvailable OnDataPush;
  TNotifyEvent OnDataPush2;
  TSessionConnected OnSocksConnected;
  TSocksAuthStateEvent OnSocksAuthState;
  TSocksErrorEvent OnSocksError;
  TNotifyEvent OnSocketError;
  TBeforeHeaderSendEvent OnBeforeHeaderSend;

  // Public state.
  THttpState State() const { return FState; }
  THttpRequest RequestType() const { return FRequestType; }
  int StatusCode() const { return FStatusCode; }
  const AnsiString& ReasonPhrase() const { return FReasonPhrase; }
  const AnsiString& DocName() const { return FDocName; }
  TStream* RcvdStream = nullptr;
  TStream* SendStream = nullptr;
  TStringList* RcvdHeaderLines() const { return FRcvdHeaderLines.get(); }
  std::int64_t ContentLength() const { return FContentLength; }
  const AnsiString& ContentType() const { return FContentType; }
  const AnsiString& TransferEncoding() const { return FTransferEncoding; }
  const AnsiString& Location() const { return FLocation; }
  const AnsiString& ReplyVersion() const { return FReplyVersion; }
  std::int64_t RcvdBodyCount() const { return FRcvdBodyCount; }
  std::int64_t SentBodyCount() const { return FSentBodyCount; }
  TWSocket* CtrlSocket() const { return FCtrlSocket; }

 protected:
  virtual void CreateSocket();
  virtual void DoBeforeConnect();
  virtual void SendRequest(const AnsiString& Method, const AnsiString& Version);
  virtual void GetHeaderLineNext();
  virtual void GetBodyLineNext();
  virtual void SendCommand(const AnsiString& Cmd);
  virtual void Login();
  virtual void Logout();
  virtual void InternalClear();
  virtual void StartRelocation();
  virtual void StartAuthNTLM();
  virtual void StartProxyAuthNTLM();
  virtual void StartAuthBasic();
  virtual void StartProxyAuthBasic();
  virtual void SocketDNSLookupDone(TObject* Sender, WORD ErrCode);
  virtual void SocketSessionClosed(TObject* Sender, WORD ErrCode);
  virtual void SocketSessionConnected(TObject* Sender, WORD ErrCode);
  virtual void SocketDataSent(TObject* Sender, WORD ErrCode);
  virtual void SocketDataAvailable(TObject* Sender, WORD ErrCode);
  virtual void LocationSessionClosed(TObject* Sender, WORD ErrCode);
  virtual void DoRequestAsync(THttpRequest Rq);
  virtual void DoRequestSync(THttpRequest Rq);
  virtual void StateChange(THttpState NewState);
  virtual void TriggerStateChange();
  virtual void TriggerCookie(const AnsiString& Data, bool& bAccept);
  virtual void TriggerSessionConnected();
  virtual void TriggerSessionClosed();
  virtual void TriggerBeforeHeaderSend(const AnsiString& Method, TStringList* Headers);
  virtual void TriggerRequestHeaderBegin();
  virtual void TriggerRequestHeaderEnd();
  virtual void TriggerHeaderBegin();
  virtual void TriggerHeaderEnd();
  virtual void TriggerDocBegin();
  virtual void TriggerDocData(const char* Data, int Len);
  virtual void TriggerDocEnd();
  virtual void TriggerSendBegin();
  virtual void TriggerSendData(const char* Data, int Len);
  virtual void TriggerSendEnd();
  virtual void TriggerRequestDone();
  virtual void WndProc(TMessage& MsgRec);
  virtual void SetReady();
  virtual void AdjustDocName();
  virtual HWND HTTPCliAllocateHWnd();

  bool PrepareNTLMAuth();
  bool PrepareBasicAuth();
  AnsiString GetNTLMMessage1();
  AnsiString GetNTLMMessage3(bool ForProxy);
  void CleanupRcvdStream();
  void CleanupSendStream();

  // Which step takes the next received line or body bytes.
  enum class TLineHandler { None, Header, Body };

  TWSocket* FCtrlSocket = nullptr;  // owned through the component tree
  HWND FWindowHandle = nullptr;
  THttpState FState = httpReady;
  THttpRequest FRequestType = httpGET;
  bool FMultiThreaded = false;
  AnsiString FRequestVer = "1.0";
  AnsiString FAcceptRanges;
  int FStatusCode = 0;
  AnsiString FReasonPhrase;
  AnsiString FDocName;
  std::unique_ptr<TStringList> FRcvdHeaderLines;
  std::unique_ptr<TStringList> FAuthChallenges;
  AnsiString FRequestStream;
  std::int64_t FContentLength = -1;
  AnsiString FContentType;
  AnsiString FTransferEncoding;
  AnsiString FLocation;
  AnsiString FReplyVersion;
  std::int64_t FRcvdBodyCount = 0;
  std::int64_t FSentBodyCount = 0;
  char FSendBuffer[kHttpBufferSize] = {};
  char FReceiveBuffer[kHttpBufferSize] = {};
  int FReceiveLen = 0;
  AnsiString FPath;
  AnsiString FTargetHost;
  AnsiString FTargetPort;
  AnsiString FConnHost;
  AnsiString FConnPort;
  AnsiString FProtocol;
  AnsiString FResolvedAddr;
  AnsiString FConnectedHost;
  AnsiString FConnectedPort;
  AnsiString FConnectedProtocol;
  bool FCloseAfterReply = true;
  bool FRelocationPending = false;
  bool FInHeader = false;
  bool FAllowedToSend = false;
  bool FRequested = false;  // a request was made; data before the first one is dropped
  TLineHandler FNextLineHandler = TLineHandler::None;
  AnsiString FLastLine;
  int FHeaderLineCount = 0;
  int FBodyLineCount = 0;
  const char* FBodyData = nullptr;  // the bytes GetBodyLineNext is given
  int FBodyDataLen = 0;
  std::int64_t FChunkSize = 0;
  std::int64_t FChunkRcvd = 0;
  THttpChunkState FChunkState = httpChunkGetSize;
  // Bytes of the chunk line being read that count for its framing: the digits of a size line,
  // the CR after chunk data, the bytes (CR aside) of a trailer line.
  int FChunkLineBytes = 0;
  WORD FRequestDoneErrCode = 0;
  THttpNTLMState FAuthNTLMState = ntlmNone;
  THttpNTLMState FProxyAuthNTLMState = ntlmNone;
  TNTLMAuthType FNTLMAuthType = ntlmAuthNormal;
  THttpBasicState FAuthBasicState = basicNone;
  THttpBasicState FProxyAuthBasicState = basicNone;
  TBasicAuthType FBasicAuthType = basicAuthNormal;
  TNTLM_Msg2_Info FNTLMMsg2Info;
  TNTLM_Msg2_Info FProxyNTLMMsg2Info;
  // Posted steps (ready, login) carry the serial of their request: one that a later request or
  // an Abort made stale is dropped.
  WPARAM FRequestSerial = 0;
  int FRelocationCount = 0;  // relocations followed by this request
  int FAuthRounds = 0;       // authentication rounds since the request or its last relocation
  struct THostId {
    AnsiString Protocol, Host, Port;  // letter case aside
  };
  THostId FNamedHost;        // the host of the caller's URL
  int FHeaderLinesSeen = 0;  // header lines of this request's replies, interim ones too
  std::int64_t FHeaderBytes = 0;
  AnsiString FReplyFailure;  // the reason the request ends with once ready; empty: none
  // The open connection: whether it carried a reply read whole (the next one on it must start
  // with a status line), and whether it is spent (bytes came on it that answer no request, or
  // it switched to another protocol), so that no request goes on it again.
  bool FConnectionCarriedReply = false;
  bool FConnectionSpent = false;
  // The user and password a followed location named: they answer challenges for the rest of
  // the request in place of Username and Password, which stay as the caller set them.
  bool FLocationCredentials = false;
  AnsiString FLocationUsername;
  AnsiString FLocationPassword;
  // The identity an NTLM exchange authenticated the open connection for, with the server and
  // with the proxy: set when its message 3 goes out on the connection, cleared with each new
  // connection.
  struct TNtlmIdentity {
    bool Set = false;
    AnsiString Username, Password;
  };
  TNtlmIdentity FConnectionNtlm;
  TNtlmIdentity FConnectionProxyNtlm;
  // The reply's Content-Length fields named differing lengths.
  bool FContentLengthsDiffer = false;
  // OnStateChange is told of the arrival at ready: the request has ended, and an Abort from
  // the handler changes nothing of how.
  bool FAnnouncingReady = false;
  // A posted login of the request has yet to run: the client is ready while it answers a
  // challenge, but the request goes on.
  bool FLoginPending = false;

 private:
  // An abort while ready passes through aborting back to ready without StateChange, whose
  // event would fire for each state and whose arrival at ready would end a request: the abort
  // fires the event once and tells of the request's end itself.
  void changeStateWithoutEvent(THttpState NewState) { FState = NewState; }
  void failRequest(int Status, const AnsiString& Reason);
  void failReply(const char* Reason);
  bool headerTooLarge() const;
  void postLogin();
  AnsiString proxyConnPort() const;
  void deliverWaitingBody();
  void afterBody();
  void endDocument();
  void handleField(const AnsiString& Name, const AnsiString& Value);
  void handleLocation(const AnsiString& Value);
  void headerEnded();
  void dropWaiting() { FReceiveLen = 0; }
  void removeFront(int Count);
  void chunkedBody(const char* Data, int Len);
  bool trailerByte(char c);
  void deliverBody(const char* Data, int Len);
  bool sendingFirstNtlmMessage() const;
  THttpNTLMState serverNtlmMessage() const;
  THttpNTLMState proxyNtlmMessage() const;
  void addAuthorization(TStringList& Headers);
  THostId targetHost() const;
  bool atNamedHost() const;
  bool tooManyAuthRounds();
  AnsiString cutReply(WORD ErrCode) const;
  bool chunked() const;
  std::int64_t bodyLength() const;
  void stopUnsentBody();
  void endSending();
  bool abortedSince(WPARAM Serial);
  bool running() const;
  bool interimReply() const;
  bool connectionReusable();
  bool ntlmIdentityHolds() const;
  void replyRead();
  const AnsiString& serverUsername() const;
  const AnsiString& serverPassword() const;
  void pointCloseAt(bool Location);
  void sendRelocated();
  void againWithCredentials();
  int answerableChallenge(const char* Scheme) const;
  void settleAuthentication();
  void ntlmStep(THttpNTLMState& State, TNTLMAuthType Type, AnsiString& ConnectionLine,
                TNTLM_Msg2_Info& Challenge, const char* Unexpected);
  void basicStep(THttpBasicState& State, TBasicAuthType Type, const char* Unexpected);
};

// Unit functions.
AnsiString RFC1123_Date(TDateTime aDate);
TDateTime RFC1123_StrToDate(const AnsiString& aDate);
void ReplaceExt(AnsiString& FName, const AnsiString& newExt);
AnsiString EncodeLine(THttpEncoding Encoding, const char* SrcData, int Size);
AnsiString EncodeStr(THttpEncoding Encoding, const AnsiString& Value);
int StrToIntDefault(const AnsiString& S, int Default);
AnsiString UrlDirectory(const AnsiString& Url);
