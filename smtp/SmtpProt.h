#pragma once
// Unit SmtpProt: an asynchronous, event-driven SMTP client on one TWSocket. Every operation
// sends one command (or starts one exchange), returns at once and ends with one
// OnRequestDone, posted to the component's own hidden window. Open and Mail chain several
// commands into one request.
//
// Choices where the protocol leaves room:
// - A reply line that does not fit the 4096-byte receive buffer fails the request: the
//   error message becomes "500 Reply line too long" and the connection is closed (10004).
// - Header lines are cut to 1023 characters; a body line gets at most 1023 characters from
//   OnGetData and still fits with a doubled leading dot.
// - OnRcptToError's action starts as srteAbort, so a refused recipient without a handler
//   ends the request with its code.
// - With OwnHeaders and an empty body the final "." follows the DATA reply directly.
// - A step of Open or Mail that raises (an empty recipient list, a lost connection) ends
//   the operation with 500 and the exception's message after "500 ".
// - AUTH PLAIN logs in as Username; the PLAIN and LOGIN and CRAM-MD5 steps that are refused
//   end the request with the reply code.
// - Every request that starts ends with one OnRequestDone and an error code when it failed:
//   a socket that refuses its settings (a port that is no number), an empty Host, a server
//   that closes in the middle (10004, with "500 Connection closed by the server" as the error
//   message), a refused QUIT (its code, at once), an Abort before the connection is up (10004).
//   RequestResult keeps the failing code after Open and Mail too.
// - When the message body cannot be produced (OnGetData raises, an attachment cannot be
//   read), the message is not sent cut short: the request ends with 500 and the exception's
//   message, and the connection is dropped so that the server discards what it received.
// - The login methods kept from an EHLO reply are at most 64 words.
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
#include "netcomp/WSocket.h"

class SmtpException : public Exception {
 public:
  using Exception::Exception;
};

enum TSmtpState {
  smtpReady,
  smtpDnsLookup,
  smtpConnecting,
  smtpConnected,
  smtpInternalReady,
  smtpWaitingBanner,
  smtpWaitingResponse,
  smtpAbort
};
enum TSmtpRequest {
  smtpConnect,
  smtpHelo,
  smtpMailFrom,
  smtpVrfy,
  smtpRcptTo,
  smtpData,
  smtpQuit,
  smtpRset,
  smtpOpen,
  smtpMail,
  smtpEhlo,
  smtpAuth,
  smtpCustom
};
enum TSmtpFct {
  smtpFctNone,
  smtpFctHelo,
  smtpFctConnect,
  smtpFctMailFrom,
  smtpFctRcptTo,
  smtpFctData,
  smtpFctVrfy,
  smtpFctQuit,
  smtpFctRset,
  smtpFctEhlo,
  smtpFctAuth
};
enum TSmtpContentType { smtpHtml, smtpPlainText };
enum TSmtpAuthType {
  smtpAuthNone,
  smtpAuthPlain,
  smtpAuthLogin,
  smtpAuthCramMD5,
  smtpAuthCramSha1,
  smtpAuthAutoSelect
};
enum TSmtpShareMode {
  smtpShareCompat,
  smtpShareExclusive,
  smtpShareDenyWrite,
  smtpShareDenyRead,
  smtpShareDenyNone
};
enum TSmtpPriority {
  smtpPriorityNone,
  smtpPriorityHighest,
  smtpPriorityHigh,
  smtpPriorityNormal,
  smtpPriorityLow,
  smtpPriorityLowest
};
enum TSmtpRcptToErrorAction { srteAbort, srteRetry, srteIgnore };

// A set of TSmtpFct, 16 bits, bit n for value n.
class TSmtpFctSet {
 public:
  constexpr TSmtpFctSet() = default;
  constexpr TSmtpFctSet(std::initializer_list<TSmtpFct> fcts) {
    for (auto f : fcts) Include(f);
  }
  constexpr bool Contains(TSmtpFct f) const { return (bits_ & bit(f)) != 0; }
  constexpr void Include(TSmtpFct f) { bits_ = static_cast<std::uint16_t>(bits_ | bit(f)); }
  constexpr void Exclude(TSmtpFct f) { bits_ = static_cast<std::uint16_t>(bits_ & ~bit(f)); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint16_t Bits() const { return bits_; }

 private:
  static constexpr std::uint16_t bit(TSmtpFct f) {
    return static_cast<std::uint16_t>(1u << static_cast<unsigned>(f));
  }
  std::uint16_t bits_ = 0;
};

class TCustomSmtpClient;

using TSmtpDisplay = std::function<void(TObject* Sender, const AnsiString& Msg)>;
// MsgLine points to MaxLen + 1 bytes: the handler writes one zero-terminated line there and
// clears More when the body has ended.
using TSmtpGetDataEvent =
    std::function<void(TObject* Sender, int LineNum, char* MsgLine, int MaxLen, bool& More)>;
using TSmtpHeaderLineEvent = std::function<void(TObject* Sender, char* Msg, int Size)>;
using TSmtpProcessHeaderEvent = std::function<void(TObject* Sender, TStringList* HdrLines)>;
using TSmtpRcptToErrorEvent = std::function<void(TObject* Sender, WORD ErrorCode, int RcptNameIdx,
                                                 TSmtpRcptToErrorAction& Action)>;
using TSmtpRequestDone = std::function<void(TObject* Sender, TSmtpRequest RqType, WORD ErrorCode)>;
using TSmtpNextProc = void (TCustomSmtpClient::*)();

inline constexpr UINT WM_SMTP_REQUEST_DONE = WM_USER + 1;
inline constexpr int kSmtpRcvBufSize = 4096;
inline constexpr int kSmtpLineBufSize = 1024;  // one header or body line and its zero

class TCustomSmtpClient : public TComponent {
 public:
  explicit TCustomSmtpClient(TComponent* AOwner);
  ~TCustomSmtpClient() override;

  // Requests.
  virtual void Connect();
  virtual void Helo();
  virtual void Ehlo();
  virtual void Auth();
  virtual void Vrfy();
  virtual void MailFrom();
  virtual void RcptTo();
  virtual void Data();
  virtual void Quit();
  virtual void Rset();
  virtual void Abort();
  virtual void Open();
  virtual void Mail();

  void ThreadAttach();
  void ThreadDetach();
  // Joins the three lists with ";" and adds each address (cut at "," or ";" outside double
  // quotes, trimmed, not empty) to RcptName.
  void RcptNameAdd(const AnsiString& ToList, const AnsiString& CcList, const AnsiString& BccList);
  void ClearErrorMessage() { FErrorMessage = ""; }

  // Properties.
  TSmtpShareMode GetShareMode() const;
  void SetShareMode(TSmtpShareMode Value);
  TStringList* RcptName() const { return FRcptName.get(); }
  void SetRcptName(const TStringList& Value);
  TStringList* MailMessage() const { return FMailMessage.get(); }
  void SetMailMessage(const TStringList& Value);
  TSmtpContentType GetContentType() const { return FContentType; }
  virtual void SetContentType(TSmtpContentType Value);
  TSmtpState State() const { return FState; }
  const AnsiString& ErrorMessage() const { return FErrorMessage; }
  const AnsiString& LastResponse() const { return FLastResponse; }
  int StatusCode() const { return FStatusCode; }
  int RequestResult() const { return FRequestResult; }
  bool Connected() const { return FConnected; }
  bool Esmtp() const { return FESmtpSupported; }
  // The login methods the last EHLO reply announced.
  const TStringList& AuthTypesSupported() const { return FAuthTypesSupported; }
  const AnsiString& MessageID() const { return FMessageID; }
  HWND Handle() const { return FWindowHandle; }

  AnsiString Host;
  AnsiString LocalAddr = "0.0.0.0";
  AnsiString Port = "smtp";
  AnsiString SignOn;
  AnsiString Username;
  AnsiString Password;
  TSmtpAuthType AuthType = smtpAuthNone;
  bool ConfirmReceipt = false;
  AnsiString FromName;
  AnsiString HdrFrom, HdrTo, HdrCc, HdrReplyTo, HdrReturnPath, HdrSubject, HdrSender;
  TSmtpPriority HdrPriority = smtpPriorityNone;
  AnsiString CharSet = "iso-8859-1";
  int Tag = 0;
  bool OwnHeaders = false;

  TSmtpDisplay OnDisplay;
  TSmtpDisplay OnCommand;
  TSmtpDisplay OnResponse;
  TSmtpGetDataEvent OnGetData;
  TSmtpHeaderLineEvent OnHeaderLine;
  TSmtpProcessHeaderEvent OnProcessHeader;
  TSmtpRcptToErrorEvent OnRcptToError;
  TSmtpRequestDone OnRequestDone;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TNotifyEvent OnStateChange;

 protected:
  virtual void TriggerDisplay(const AnsiString& Msg);
  virtual void TriggerCommand(const AnsiString& Msg);
  virtual void TriggerResponse(const AnsiString& Msg);
  virtual void TriggerRequestDone(WORD ErrorCode);
  virtual void TriggerStateChange();
  virtual void TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More);
  virtual void TriggerHeaderLine(char* Line, int Size);
  virtual void TriggerProcessHeader(TStringList* HdrLines);
  virtual void TriggerSessionConnected(WORD ErrCode);
  virtual void TriggerSessionClosed(WORD ErrCode);
  virtual void SendCommand(const AnsiString& Cmd);
  virtual void WndProc(TMessage& MsgRec);

  void StateChange(TSmtpState NewState);
  void CheckReady();
  void ExecAsync(TSmtpRequest RqType, const AnsiString& Cmd,
                 std::initializer_list<WORD> OkResponses, TSmtpNextProc DoneAsync);
  void SetErrorMessage();
  void DisplayLastResponse();
  void HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts);
  bool InHighLevel() const { return FHighLevelFlag; }

  // The attachment being encoded (opened and closed by the descendants, closed by Abort).
  void CloseFileStream();
  unsigned short ShareFlags() const { return FShareMode; }
  const AnsiString& ContentTypeText() const { return FContentTypeText; }

  std::unique_ptr<TWSocket> FWSocket;
  std::unique_ptr<TStream> FFileStream;
  TSmtpState FState = smtpReady;
  bool FConnected = false;
  TSmtpRequest FRequestType = smtpConnect;
  bool FRequestDoneFlag = false;
  int FRequestResult = 0;
  int FStatusCode = 0;
  AnsiString FErrorMessage;
  AnsiString FLastResponse;
  TSmtpFct FFctRunning = smtpFctNone;

 private:
  // Reception and command steps.
  void WSocketDnsLookupDone(WORD Error);
  void WSocketSessionConnected(WORD Error);
  void WSocketDataAvailable(WORD Error);
  void WSocketDataSent(WORD Error);
  void WSocketSessionClosed(WORD Error);
  void handleReplyLine();
  bool parseReplyCode(const AnsiString& Line);  // true for a continuation line
  void NextExecAsync();
  void WMSmtpRequestDone(TMessage& Msg);
  AnsiString greetingName() const;
  void readAuthTypes(const AnsiString& Line);
  void EhloNext();
  void connectionFailed(const AnsiString& Text, int Result, WORD DoneCode);
  void bodyFailed(const AnsiString& Reason);
  void sendFailed(const AnsiString& Reason);
  bool requestRunning() const { return !FRequestDoneFlag && FState != smtpReady; }
  // High-level chain.
  void DoHighLevelAsync();
  // Login.
  void DoAuthPlain();
  void DoAuthLogin();
  void DoAuthCramMD5();
  bool authRefused(TSmtpNextProc Fallback);
  void AuthNextPlain();
  void AuthNextLogin();
  void AuthNextLoginNext();
  void AuthNextCramMD5();
  // Recipients and message.
  void RcptToNext();
  void RcptToDone();
  void DataStart();
  void DataNext();
  void sendLine(const AnsiString& Line);
  void buildHeader();
  void addAddressLines(const AnsiString& Label, const AnsiString& Value);

  HWND FWindowHandle = nullptr;
  bool FESmtpSupported = false;
  TStringList FAuthTypesSupported;
  char FReceiveBuffer[kSmtpRcvBufSize + 1] = {};
  int FReceiveLen = 0;
  WORD FOkResponses[16] = {};
  TSmtpNextProc FNext = nullptr;
  TSmtpNextProc FDoneAsync = nullptr;
  TSmtpNextProc FNextRequest = nullptr;
  TSmtpFctSet FFctSet;
  int FHighLevelResult = 0;
  bool FHighLevelFlag = false;
  bool FContinuationLine = false;
  std::unique_ptr<TStringList> FHdrLines;
  int FLineNum = 0;
  int FHdrIndex = -1;
  bool FMoreLines = false;
  AnsiString FMessageID;
  int FRcptNameIdx = -1;
  std::unique_ptr<TStringList> FRcptName;
  std::unique_ptr<TStringList> FMailMessage;
  TSmtpContentType FContentType = smtpPlainText;
  AnsiString FContentTypeText = "text/plain";
  unsigned short FShareMode = 32;
};

// Splits "Name <address>", "\"Name\" <address>", "address" and "word address".
void ParseEmail(const AnsiString& FromData, AnsiString& FriendlyName, AnsiString& Email);
// "Sun, 6 Nov 1994 08:49:37 GMT" for a local time.
AnsiString Rfc822DateTime(TDateTime t);
// The UTC time to the millisecond, four random hex groups and the local host name.
AnsiString GenerateMessageID();
// The local time zone's bias (UTC minus local) as a fraction of a day.
TDateTime TimeZoneBias();
