#pragma once
// Unit SmtpProt: an asynchronous, event-driven SMTP client on one TWSocket. Every operation
// sends one command (or starts one exchange), returns at once and ends with one
// OnRequestDone, posted to the component's own hidden window. Open and Mail chain several
// commands into one request.
//
// Choices where the protocol leaves room:
// - A reply line that does not fit the 4096-byte receive buffer fails the request: the
//   error message becomes "500 Reply line too long" and the connection is closed (10004).
//   So does a reply of more than 64 KiB (an endless multi-line reply), or as much talk that
//   no command asked for: "500 Reply too long".
// - Header lines are cut to 1023 characters; a body line gets at most 1023 characters from
//   OnGetData.
// - A value that goes into a command or a header line (SignOn, FromName, the RcptName lines,
//   the Hdr... values, CharSet, the attachments' names and content types) and holds CR, LF or
//   NUL is refused with SmtpException "<name> contains CR, LF or NUL" before its request
//   sends anything: it would end its line early and pass the rest off as commands or header
//   lines. Mail checks every value of the transaction before MAIL FROM goes out and ends with
//   500 and that message. A line break inside a header or body line the handlers give (CR LF,
//   a bare LF or a bare CR) ends a line of its own on the wire, and every such line that begins
//   with "." gets a second one, so no text ends the message early.
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
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "lib/AnsiString.h"
#include "lib/Classes.h"
#include "lib/DateTime.h"
#include "lib/Exceptions.h"
#include "lib/Streams.h"
#include "lib/StringList.h"
#include "netcomp/WSocket.h"
#include "win32/types.h"

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
inline constexpr int kSmtpLineBufSize = 1024;             // one header or body line and its zero
inline constexpr std::size_t kMaxReplyBytes = 64 * 1024;  // one reply, or talk between replies

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
  // Between the commands of one step (the lines of a login, a refused method's fallback, each
  // recipient, the data and its ending ".") the client becomes ready for the next command
  // without telling the user: the state changes and no OnStateChange fires.
  void changeStateWithoutEvent(TSmtpState NewState) { FState = NewState; }
  void CheckReady();
  void ExecAsync(TSmtpRequest RqType, const AnsiString& Cmd,
                 std::initializer_list<WORD> OkResponses, TSmtpNextProc DoneAsync);
  void SetErrorMessage();
  void DisplayLastResponse();
  void HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts);
  bool InHighLevel() const { return FHighLevelFlag; }
  // SmtpException "<What> contains CR, LF or NUL" when Value holds one of them.
  static void RefuseLineBreaks(const AnsiString& Value, const char* What);
  // Refuses the values the next message is made of (Data before DATA goes out, Mail before
  // its first command); the mailers add their attachments.
  virtual void CheckMessageValues();

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
  void receptionFailed(const char* Text);
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
  void sendDataLine(const char* Text);
  void refuseRecipients() const;
  void buildHeader();
  void addAddressLines(const AnsiString& Label, const AnsiString& Value);

  HWND FWindowHandle = nullptr;
  bool FESmtpSupported = false;
  TStringList FAuthTypesSupported;
  char FReceiveBuffer[kSmtpRcvBufSize + 1] = {};
  int FReceiveLen = 0;
  std::size_t FReplyBytes = 0;  // received since the last command or complete reply
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

// --- Attachments: TSmtpCli ---

enum TSmtpBeforeOpenFileAction {
  smtpBeforeOpenFileNone,
  smtpBeforeOpenFileNext,
  smtpBeforeOpenFileAbort
};
enum TSmtpAfterOpenFileAction {
  smtpAfterOpenFileNone,
  smtpAfterOpenFileNext,
  smtpAfterOpenFileRetry,
  smtpAfterOpenFileAbort
};

using TSmtpAttachmentContentType = std::function<void(
    TObject* Sender, int FileNumber, AnsiString& FileName, AnsiString& ContentType)>;
// HdrLines is the queue the part's header lines wait in (none in the HTML generator).
using TSmtpAttachHeader = std::function<void(TObject* Sender, int FileNumber,
                                             const AnsiString& FileName, TStringList* HdrLines)>;
using TSmtpBeforeFileOpenEvent = std::function<void(
    TObject* Sender, int Idx, const AnsiString& FileName, TSmtpBeforeOpenFileAction& Action)>;
// E is the open's exception, none after a successful open.
using TSmtpAfterFileOpenEvent =
    std::function<void(TObject* Sender, int Idx, const AnsiString& FileName, const Exception* E,
                       TSmtpAfterOpenFileAction& Action)>;

// Sends MailMessage, then the lines of OnGetData, then every file of EmailFiles as a base64
// attachment of a multipart/mixed message. Choices where the protocol leaves room:
// - A skipped last file (Next before or after its open) still closes the multipart body.
// - A MailMessage line longer than a line request is sent as several lines, not cut.
// - A file that cannot be opened while the message is sent, with no OnAfterFileOpen to take
//   it, fails the mail with 500 and the open error: the message is not delivered without it.
class TSmtpCli : public TCustomSmtpClient {
 public:
  explicit TSmtpCli(TComponent* AOwner);
  ~TSmtpCli() override;

  void Data() override;

  TStringList* EmailFiles() const { return FEmailFiles.get(); }
  // Empties the list, then adds each trimmed, non-empty path; SmtpException "File not found
  // '...'" for a path that is no file (the paths before it stay).
  void SetEmailFiles(const TStringList& Value);

  TSmtpAttachmentContentType OnAttachContentType;
  TSmtpAttachHeader OnAttachHeader;
  TSmtpBeforeFileOpenEvent OnBeforeFileOpen;
  TSmtpAfterFileOpenEvent OnAfterFileOpen;

 protected:
  virtual void TriggerAttachContentType(int FileNumber, AnsiString& FileName,
                                        AnsiString& ContentType);
  virtual void TriggerAttachHeader(int FileNumber, const AnsiString& FileName,
                                   TStringList* HdrLines);
  virtual void PrepareEMail();
  void TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) override;
  void TriggerHeaderLine(char* Line, int Size) override;
  void CheckMessageValues() override;

  // The name and content type the header of part FileNumber shows for the file at Path: the
  // file's own, or what OnAttachContentType made of them (refused with a line break in them).
  void NamePart(int FileNumber, const AnsiString& Path, AnsiString& FileName,
                AnsiString& ContentType);

  // How the open events answered for one file.
  enum class FileOpening { Opened, Next, Retry, Aborted };
  // Opens FileName into the attachment stream as the open events say; the open error
  // goes on when no OnAfterFileOpen takes it.
  FileOpening OpenAttachment(int Idx, const AnsiString& FileName);
  // Copies Line into the zero-terminated MsgLine, at most MaxLen (and 1023) characters.
  static void CopyLine(char* MsgLine, int MaxLen, const AnsiString& Line);
  // Moves the first queued line into MsgLine; false when the queue is empty.
  bool TakeQueuedLine(char* MsgLine, int MaxLen);
  void ClearBoundary() { FBoundary = ""; }
  // The path-list setters: List gets each trimmed, non-empty path of Value that is a file.
  static void AssignPaths(TStringList& List, const TStringList& Value);

  bool FBodyFlag = false;  // OnGetData (or the plain text) still gives body lines

 private:
  void queueText(const AnsiString& Line);
  void nextFile();
  void startFile(char* MsgLine, bool& More);

  std::unique_ptr<TStringList> FEmailFiles;
  TStringList FLines;  // lines waiting to be sent, from the FLinesSent-th on
  int FLinesSent = 0;  // lines of FLines already taken
  int FFileIndex = 0;
  int FBodyLineCount = 0;  // the lines OnGetData gave
  AnsiString FBoundary;
  bool FEncoding = false;  // a file is being sent
};

// --- HTML mail: THtmlSmtpCli ---

enum TSmtpMimeState {
  smtpMimeIntro,
  smtpMimePlainText,
  smtpMimeHtmlText,
  smtpMimeImages,
  smtpMimeDone
};

// With ContentType smtpHtml: a multipart/related message of a multipart/alternative part
// (PlainText and HtmlText, quoted-printable), the inline images of EmailImages (Content-ID
// IMAGE1, IMAGE2 ...) and the files of EmailFiles (X-File-ID FILE1 ...). With smtpPlainText:
// MailMessage, PlainText unencoded, then the files as TSmtpCli sends them. Choices where the
// protocol leaves room:
// - A text line whose encoded form does not fit one line request goes on in the next ones
//   (whole soft-broken lines each), so nothing is lost; a long PlainText line in plain mode
//   is sent as several lines.
// - Next at a part's open leaves that part empty; Retry opens the same file again at the
//   next line.
// - HTML mode clears the attachment boundary of an earlier plain message, so the main
//   header stays multipart/related.
class THtmlSmtpCli : public TSmtpCli {
 public:
  explicit THtmlSmtpCli(TComponent* AOwner);
  ~THtmlSmtpCli() override;

  TStringList* EmailImages() const { return FEmailImages.get(); }
  void SetEmailImages(const TStringList& Value);  // as SetEmailFiles
  TStringList* PlainText() const { return FPlainText.get(); }
  void SetPlainText(const TStringList* Value);  // copies the lines; none empties the list
  TStringList* HtmlText() const { return FHtmlText.get(); }
  void SetHtmlText(const TStringList* Value);

  // Streams held for the user (not owned, not read by the generator).
  int GetImageStreamCount() const { return static_cast<int>(FStreamArray.size()); }
  TStream* GetImageStream(int Index) const;         // none past the end
  void SetImageStream(int Index, TStream* Stream);  // none is ignored; the list grows to Index
  void ClearImageStreamArray() { FStreamArray.clear(); }

 protected:
  virtual void GenerateBoundaries();
  void TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) override;
  void TriggerProcessHeader(TStringList* HdrLines) override;
  void PrepareEMail() override;
  void CheckMessageValues() override;

 private:
  void plainTextGetData(int LineNum, char* MsgLine, int MaxLen, bool& More);
  // One line of the HTML generator; false when an open answer ended the call.
  bool htmlLine(int LineNum, AnsiString& Line, int MaxLen, bool& More);
  // The line of one MIME state (K counts from the state's first line): true when Line is made,
  // false when the state is over and the next one makes it.
  bool introLine(int LineNum, AnsiString& Line);
  bool plainTextLine(int LineNum, int K, AnsiString& Line, int MaxLen);
  bool htmlTextLine(int LineNum, int K, AnsiString& Line, int MaxLen);
  // Line K of the current image or file part; false when an open answer ended the call.
  bool partLine(int LineNum, int K, AnsiString& Line, bool& More);
  AnsiString textLine(const AnsiString& Text, int MaxLen);

  std::unique_ptr<TStringList> FEmailImages;
  std::unique_ptr<TStringList> FPlainText;
  std::unique_ptr<TStringList> FHtmlText;
  std::vector<TStream*> FStreamArray;
  AnsiString FOutsideBoundary;
  AnsiString FInsideBoundary;
  TSmtpMimeState FMimeState = smtpMimeIntro;
  AnsiString FHtmlCharSet = "iso-8859-1";
  int FLineOffset = 0;
  int FImageNumber = 0;  // the part being sent, images first, from 1
  AnsiString FFileName;
  AnsiString FContentType;
  AnsiString FCarry;    // the encoded rest of a text line that did not fit its request
  int FPlainIndex = 0;  // plain mode: the PlainText line being sent
  int FPlainAt = 0;     // plain mode: the characters of it already sent
};

// --- The blocking wrapper ---

// Blocking calls over a mail component: each ...Sync runs its request and pumps the thread's
// messages until the component is ready again; True when the request succeeded. An
// exception of the request is swallowed (False). A call ends after Timeout seconds without
// progress (each body line produced moves the deadline), or when the application (with
// MultiThreaded, the thread) is quitting: the session is then aborted, ErrorMessage is
// "426 Timeout" and StatusCode 426. Timeout 0 or less waits without limit.
template <class Mailer>
class TSyncSmtp : public Mailer {
 public:
  explicit TSyncSmtp(TComponent* AOwner) : Mailer(AOwner) {}

  int Timeout = 15;
  bool MultiThreaded = false;  // pump only the socket's thread messages

  virtual bool WaitUntilReady();
  virtual bool ConnectSync() { return Synchronize(&TCustomSmtpClient::Connect); }
  virtual bool HeloSync() { return Synchronize(&TCustomSmtpClient::Helo); }
  virtual bool EhloSync() { return Synchronize(&TCustomSmtpClient::Ehlo); }
  virtual bool AuthSync() { return Synchronize(&TCustomSmtpClient::Auth); }
  virtual bool VrfySync() { return Synchronize(&TCustomSmtpClient::Vrfy); }
  virtual bool MailFromSync() { return Synchronize(&TCustomSmtpClient::MailFrom); }
  virtual bool RcptToSync() { return Synchronize(&TCustomSmtpClient::RcptTo); }
  virtual bool DataSync() { return Synchronize(&TCustomSmtpClient::Data); }
  virtual bool QuitSync() { return Synchronize(&TCustomSmtpClient::Quit); }
  virtual bool RsetSync() { return Synchronize(&TCustomSmtpClient::Rset); }
  virtual bool AbortSync() { return Synchronize(&TCustomSmtpClient::Abort); }
  virtual bool OpenSync() { return Synchronize(&TCustomSmtpClient::Open); }
  virtual bool MailSync() { return Synchronize(&TCustomSmtpClient::Mail); }

 protected:
  // Runs the operation (through its virtual slot) and waits for its end.
  bool Synchronize(void (TCustomSmtpClient::*Operation)());
  void TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) override;

 private:
  void restartWait();        // the deadline moves to Timeout seconds from now
  bool waitedTooLong();      // true once Timeout (above 0) seconds have passed since
  DWORD FLastTick = 0;       // the tick count when the wait last looked
  std::int64_t FWaited = 0;  // milliseconds waited since the deadline last moved
};

extern template class TSyncSmtp<TSmtpCli>;
extern template class TSyncSmtp<THtmlSmtpCli>;

// The blocking wrapper of the attachment mailer (the portal carries one).
class TSyncSmtpCli : public TSyncSmtp<TSmtpCli> {
 public:
  using TSyncSmtp::TSyncSmtp;
};
// The same blocking calls for HTML mail.
using TSyncHtmlSmtpCli = TSyncSmtp<THtmlSmtpCli>;

// --- Unit functions ---

// Splits "Name <address>", "\"Name\" <address>", "address" and "word address".
void ParseEmail(const AnsiString& FromData, AnsiString& FriendlyName, AnsiString& Email);
// "Sun, 6 Nov 1994 08:49:37 GMT" for a local time.
AnsiString Rfc822DateTime(TDateTime t);
// The UTC time to the millisecond, four random hex groups and the local host name.
AnsiString GenerateMessageID();
// The local time zone's bias (UTC minus local) as a fraction of a day.
TDateTime TimeZoneBias();
// A number from 0 to Range - 1 from the unit's generator, seeded from the clock once.
int SmtpRandom(int Range);
