// The envelope (MAIL FROM, RCPT TO) and the message (DATA: header, body, ".").
#include <cstring>

#include "smtp/SmtpProt.h"

namespace {
constexpr const char* kMailerVersion = "2.48";

// The message goes out a line at a time, each line asked for when the last has left. While
// it does, Nagle's rule lets the system gather the lines into full segments; the final "."
// is pushed out at once with everything still gathered (TCP_NODELAY), instead of waiting for
// the server's delayed acknowledgement of the body, which would cost tens of milliseconds a
// mail. Commands are answered before the next one goes, so they never wait either way.
void gatherLines(TWSocket& socket, bool gather) {
  const int noDelay = gather ? 0 : 1;
  WSocket_setsockopt(socket.HSocket(), IPPROTO_TCP, TCP_NODELAY,
                     reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}
}  // namespace

void TCustomSmtpClient::MailFrom() {
  RefuseLineBreaks(FromName, "FromName");
  // The first step of Mail checks the whole transaction before its first command goes out.
  if (FHighLevelFlag && FRequestType == smtpMail) {
    refuseRecipients();
    CheckMessageValues();
  }
  FFctRunning = smtpFctMailFrom;
  AnsiString name, email;
  ParseEmail(FromName, name, email);
  ExecAsync(smtpMailFrom, "MAIL FROM:<" + email + ">", {250}, nullptr);
}

void TCustomSmtpClient::RcptTo() {
  if (FRcptName->Count() == 0) throw SmtpException("RcptName list is empty");
  refuseRecipients();  // all of them, before the first one goes out
  FRcptNameIdx = -1;
  RcptToNext();
}

void TCustomSmtpClient::refuseRecipients() const {
  for (int i = 0; i < FRcptName->Count(); ++i) RefuseLineBreaks(FRcptName->Strings(i), "RcptName");
}

void TCustomSmtpClient::RcptToNext() {
  if (FRcptNameIdx >= 0 && FRequestResult != 0) {
    // No handler: the refusal ends the request (retrying without one could loop for ever).
    TSmtpRcptToErrorAction action = srteAbort;
    if (OnRcptToError) OnRcptToError(this, static_cast<WORD>(FRequestResult), FRcptNameIdx, action);
    if (action == srteAbort) {
      TriggerRequestDone(static_cast<WORD>(FRequestResult));
      return;
    }
    if (action == srteIgnore) ++FRcptNameIdx;
  } else {
    ++FRcptNameIdx;
  }
  FFctRunning = smtpFctRcptTo;
  try {
    // OnRcptToError may have rewritten the recipient it retries, or the next one.
    RefuseLineBreaks(FRcptName->Strings(FRcptNameIdx), "RcptName");
  } catch (const SmtpException& E) {
    connectionFailed("500 " + E.Message(), 500, 500);
    return;
  }
  AnsiString name, email;
  ParseEmail(FRcptName->Strings(FRcptNameIdx), name, email);
  const bool last = FRcptNameIdx >= FRcptName->Count() - 1;
  ExecAsync(smtpRcptTo, "RCPT TO:<" + email + ">", {250, 251},
            last ? nullptr : &TCustomSmtpClient::RcptToDone);
}

void TCustomSmtpClient::RcptToDone() {
  changeStateWithoutEvent(smtpInternalReady);
  RcptToNext();
}

void TCustomSmtpClient::buildHeader() {
  if (!HdrReplyTo.Trim().IsEmpty()) addAddressLines("Reply-To: ", HdrReplyTo);
  if (!HdrReturnPath.Trim().IsEmpty()) FHdrLines->Add("Return-Path: " + HdrReturnPath);
  if (!HdrFrom.IsEmpty()) FHdrLines->Add("From: " + HdrFrom);
  if (!HdrTo.IsEmpty()) addAddressLines("To: ", HdrTo);
  if (!HdrCc.IsEmpty()) addAddressLines("Cc: ", HdrCc);
  FHdrLines->Add("Subject: " + HdrSubject);
  if (!HdrSender.Trim().IsEmpty())
    FHdrLines->Add("Sender: " + HdrSender);
  else if (!HdrFrom.Trim().IsEmpty())
    FHdrLines->Add("Sender: " + HdrFrom);
  FHdrLines->Add("Mime-Version: 1.0");
  FHdrLines->Add("Content-Type: " + FContentTypeText + "; charset=\"" + CharSet + "\"");
  FHdrLines->Add("Date: " + Rfc822DateTime(Now()));
  if (HdrPriority != smtpPriorityNone) {
    FHdrLines->Add("X-Priority: " + AnsiString(static_cast<int>(HdrPriority)));
    switch (HdrPriority) {
      case smtpPriorityHighest:
      case smtpPriorityHigh:
        FHdrLines->Add("Priority: urgent");
        FHdrLines->Add("X-MSMail-Priority: High");
        break;
      case smtpPriorityNormal:
        FHdrLines->Add("Priority: Normal");
        FHdrLines->Add("X-MSMail-Priority: Normal");
        break;
      default:
        FHdrLines->Add("Priority: non-urgent");
        FHdrLines->Add("X-MSMail-Priority: Low");
        break;
    }
  }
  FMessageID = GenerateMessageID();
  FHdrLines->Add("Message-ID: <" + FMessageID + ">");
  if (ConfirmReceipt && !HdrFrom.Trim().IsEmpty())
    FHdrLines->Add("Disposition-Notification-To: " + HdrFrom.Trim());
  FHdrLines->Add(AnsiString("X-Mailer: NetComp SMTP Component V") + kMailerVersion);
}

void TCustomSmtpClient::Data() {
  CheckMessageValues();
  FLineNum = 0;
  FMoreLines = true;
  FHdrIndex = -1;
  if (FHdrLines)
    FHdrLines->Clear();
  else
    FHdrLines = std::make_unique<TStringList>();
  if (OwnHeaders) {
    FHdrIndex = 0;
  } else {
    buildHeader();
    TriggerProcessHeader(FHdrLines.get());
    FHdrLines->Add("");
  }
  FFctRunning = smtpFctData;
  ExecAsync(smtpData, "DATA", {354}, &TCustomSmtpClient::DataStart);
}

void TCustomSmtpClient::DataStart() {
  // A refused DATA ends the request: the message must not reach the server as commands.
  if (FRequestResult != 0) {
    TriggerRequestDone(static_cast<WORD>(FRequestResult));
    return;
  }
  FWSocket->OnDataSent = [this](TObject*, WORD E) { WSocketDataSent(E); };
  gatherLines(*FWSocket, true);
  DataNext();
}

void TCustomSmtpClient::WSocketDataSent(WORD) {
  changeStateWithoutEvent(smtpInternalReady);
  DataNext();
}

// A line break inside a line (CR LF, a bare LF or a bare CR) ends a line of its own on the
// wire, and every line that begins with "." gets a second one (the SMTP rule for data lines),
// so that no text ends the message early or reaches the server as a command.
void TCustomSmtpClient::sendDataLine(const char* Text) {
  if (Text[0] != '.' && !std::strpbrk(Text, "\r\n")) {
    sendLine(Text);
    return;
  }
  std::string wire;
  for (const char* p = Text;;) {
    if (*p == '.') wire += '.';
    const std::size_t length = std::strcspn(p, "\r\n");
    wire.append(p, length);
    p += length;
    if (*p == '\0') break;
    p += p[0] == '\r' && p[1] == '\n' ? 2 : 1;
    wire += "\r\n";
  }
  sendLine(wire);
}

void TCustomSmtpClient::sendLine(const AnsiString& Line) {
  TriggerDisplay("> " + Line);
  try {
    FWSocket->PutDataInSendBuffer(Line.c_str(), Line.Length());
    FWSocket->SendStr("\r\n");
  } catch (const ESocketException& E) {
    sendFailed(E.Message());
  }
}

// The body could not be produced: the request fails with the reason, and the connection is
// dropped, so that the server discards the unfinished message instead of delivering it cut
// short.
void TCustomSmtpClient::bodyFailed(const AnsiString& Reason) {
  FWSocket->OnDataSent = nullptr;
  CloseFileStream();
  FLastResponse = "500 " + Reason;
  FStatusCode = 500;
  SetErrorMessage();
  FRequestResult = 500;
  TriggerRequestDone(500);
  try {
    FWSocket->Abort();
  } catch (const Exception&) {
  }
}

void TCustomSmtpClient::DataNext() {
  if (!FConnected) {
    FWSocket->OnDataSent = nullptr;
    return;
  }
  char line[kSmtpLineBufSize] = {};
  ++FHdrIndex;
  if (FHdrIndex < FHdrLines->Count()) {
    // Header lines longer than the line buffer are cut to fit it.
    std::strncpy(line, FHdrLines->Strings(FHdrIndex).c_str(), kSmtpLineBufSize - 1);
    TriggerHeaderLine(line, kSmtpLineBufSize);
    line[kSmtpLineBufSize - 1] = '\0';
    sendDataLine(line);
    return;
  }
  if (FMoreLines) {
    ++FLineNum;
    try {
      TriggerGetData(FLineNum, line, kSmtpLineBufSize - 1, FMoreLines);
    } catch (const Exception& E) {
      bodyFailed(E.Message());
      return;
    } catch (const std::exception& E) {
      bodyFailed(E.what());
      return;
    }
    line[kSmtpLineBufSize - 1] = '\0';  // a handler that wrote no terminator
  }
  if (!FConnected) {
    FWSocket->OnDataSent = nullptr;
    return;
  }
  if (FMoreLines) {
    sendDataLine(line);
    return;
  }
  FWSocket->OnDataSent = nullptr;
  // The ending "." may follow the DATA reply directly (an empty body under OwnHeaders).
  if (FState == smtpWaitingResponse) changeStateWithoutEvent(smtpInternalReady);
  gatherLines(*FWSocket, false);
  ExecAsync(smtpData, ".", {250}, nullptr);
}
