// The main window's SMTP client SyncSmtpCli1: made from the stored layout with its settings;
// the mail account's values are the deployment's configuration, the section "mail" of
// "tarnwick.ini" (keys named after the properties, empty when absent). No operation of the
// portal calls it.
#include "lib/IniFile.h"
#include "portal/Unit1.h"
#include "smtp/SmtpProt.h"

void TfrmMain::buildSmtpClient() {
  SyncSmtpCli1 = new TSyncSmtpCli(this);
  SyncSmtpCli1->SetName("SyncSmtpCli1");
  SyncSmtpCli1->SetShareMode(smtpShareDenyWrite);
  SyncSmtpCli1->LocalAddr = "0.0.0.0";
  SyncSmtpCli1->Port = "smtp";
  SyncSmtpCli1->AuthType = smtpAuthNone;
  SyncSmtpCli1->ConfirmReceipt = false;
  SyncSmtpCli1->HdrPriority = smtpPriorityNone;
  SyncSmtpCli1->CharSet = "iso-8859-1";
  SyncSmtpCli1->SetContentType(smtpPlainText);
  SyncSmtpCli1->OwnHeaders = false;
  SyncSmtpCli1->Timeout = 15;
  SyncSmtpCli1->MultiThreaded = false;

  TIniFile account("tarnwick.ini");
  const auto value = [&account](const char* key) { return account.ReadString("mail", key, ""); };
  SyncSmtpCli1->Host = value("Host");
  SyncSmtpCli1->SignOn = value("SignOn");
  SyncSmtpCli1->Username = value("Username");
  SyncSmtpCli1->Password = value("Password");
  SyncSmtpCli1->FromName = value("FromName");
  const AnsiString recipient = value("RcptName");
  if (!recipient.IsEmpty()) SyncSmtpCli1->RcptName()->Add(recipient);
  SyncSmtpCli1->HdrFrom = value("HdrFrom");
  SyncSmtpCli1->HdrTo = value("HdrTo");
  SyncSmtpCli1->HdrSender = value("HdrSender");
}
