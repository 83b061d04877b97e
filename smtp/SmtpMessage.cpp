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
  FFctRunning = smtpFctMailFrom;
  AnsiString name, email;
  ParseEmail(FromName, name, email);
  ExecAsync(smtpMailFrom, "MAIL FROM:<" + email + ">", {250}, nullptr);
}

void TCustomSmtpClient::RcptTo() {
  if (FRcptName->Count() == 0) throw SmtpException("RcptName list is empty");
  FRcptNameIdx = -1;
  RcptToNext();
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
  AnsiString name, email;
  ParseEmail(FRcptName->Strings(FRcptNameIdx), name, email);
  const bool last = FRcptNameIdx >= FRcptName->Count() - 1;
  ExecAsync(smtpRcptTo, "RCPT TO:<" + email + ">", {250, 251},
            last ? nullptr : &TCustomSmtpClient::RcptToDone);
}

void TCustomSmtpClient::RcptToDone() {
  FState = smtpInternalReady;
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
  FState = smtpInternalReady;
  DataNext();
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
  // One spare byte so that a full-length body line still fits with a doubled leading dot.
  char line[kSmtpLineBufSize + 1] = {};
  ++FHdrIndex;
  if (FHdrIndex < FHdrLines->Count()) {
    // Header lines longer than the line buffer are cut to fit it.
    std::strncpy(line, FHdrLines->Strings(FHdrIndex).c_str(), kSmtpLineBufSize - 1);
    TriggerHeaderLine(line, kSmtpLineBufSize);
    line[kSmtpLineBufSize - 1] = '\0';
    sendLine(line);
    return;
  }
  if (FMoreLines) {
    ++FLineNum;
    try {
      TriggerGetData(FLineNum, line + 1, kSmtpLineBufSize - 1, FMoreLines);
    } catch (const Exception& E) {
      bodyFailed(E.Message());
      return;
    } catch (const std::exception& E) {
      bodyFailed(E.what());
      return;
    }
    line[kSmtpLineBufSize] = '\0';  // a handler that wrote no terminator
  }
  if (!FConnected) {
    FWSocket->OnDataSent = nullptr;
    return;
  }
  if (FMoreLines) {
    char* text = line + 1;
    if (text[0] == '.') *--text = '.';  // data lines that begin with "." get a second one
    sendLine(text);
    return;
  }
  FWSocket->OnDataSent = nullptr;
  // The ending "." may follow the DATA reply directly (an empty body under OwnHeaders).
  if (FState == smtpWaitingResponse) FState = smtpInternalReady;
  gatherLines(*FWSocket, false);
  ExecAsync(smtpData, ".", {250}, nullptr);
}
