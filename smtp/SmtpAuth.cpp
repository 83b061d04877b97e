// The login: AUTH PLAIN, AUTH LOGIN and AUTH CRAM-MD5, chosen by AuthType or from the
// methods the EHLO reply announced.
#include <cstdio>

#include "netcomp/Mimeutil.h"
#include "smtp/NetMD5.h"
#include "smtp/SmtpProt.h"

void TCustomSmtpClient::Auth() {
  if (!FESmtpSupported) {
    FLastResponse = "500 ESMTP not supported.";
    SetErrorMessage();
    FRequestResult = 500;
    if (!FHighLevelFlag) {
      FRequestDoneFlag = false;
      FRequestType = smtpAuth;
    }
    TriggerRequestDone(500);
    return;
  }
  FFctRunning = smtpFctAuth;
  TSmtpAuthType method = AuthType;
  if (method == smtpAuthAutoSelect) {
    method = smtpAuthCramMD5;
    if (FAuthTypesSupported.IndexOf("PLAIN") >= 0) method = smtpAuthPlain;
    if (FAuthTypesSupported.IndexOf("LOGIN") >= 0) method = smtpAuthLogin;
    if (FAuthTypesSupported.IndexOf("CRAM-MD5") >= 0) method = smtpAuthCramMD5;
    if (FAuthTypesSupported.IndexOf("CRAM-SHA1") >= 0) method = smtpAuthCramSha1;
  }
  switch (method) {
    case smtpAuthNone:
      FLastResponse = "500 No Authentication Type Selected.";
      SetErrorMessage();
      FRequestResult = 500;
      if (!FHighLevelFlag) {
        FDoneAsync = nullptr;
        FNextRequest = nullptr;
        FRequestType = smtpAuth;
      }
      FRequestDoneFlag = false;
      TriggerRequestDone(500);
      return;
    case smtpAuthPlain:
      DoAuthPlain();
      return;
    case smtpAuthLogin:
      DoAuthLogin();
      return;
    case smtpAuthCramSha1:
      throw Exception("CRAM-SHA1 login is not available: this build has no SHA1");
    default:
      DoAuthCramMD5();
      return;
  }
}

void TCustomSmtpClient::DoAuthPlain() {
  // Authorisation identity, authentication identity and password (RFC 4616). The password
  // is Username's, so Username is the identity that logs in; putting the envelope sender
  // there would make every login with a sender address fail.
  AnsiString credentials = Username;
  credentials += '\0';
  credentials += Username;
  credentials += '\0';
  credentials += Password;
  ExecAsync(smtpAuth, "AUTH PLAIN " + Base64Encode(credentials), {235},
            &TCustomSmtpClient::AuthNextPlain);
}

void TCustomSmtpClient::DoAuthLogin() {
  ExecAsync(smtpAuth, "AUTH LOGIN", {334}, &TCustomSmtpClient::AuthNextLogin);
}

void TCustomSmtpClient::DoAuthCramMD5() {
  ExecAsync(smtpAuth, "AUTH CRAM-MD5", {334}, &TCustomSmtpClient::AuthNextCramMD5);
}

// The refusal of a method's first command. With auto-selection a 504 moves on to the
// fallback method (outside a high-level operation after ending this request with 504);
// true when the refusal was handled here.
bool TCustomSmtpClient::authRefused(TSmtpNextProc Fallback) {
  if (FRequestResult == 0) return false;
  if (AuthType == smtpAuthAutoSelect) {
    if (FRequestResult == 504 && Fallback) {
      if (!FHighLevelFlag) TriggerRequestDone(504);
      changeStateWithoutEvent(smtpInternalReady);
      (this->*Fallback)();
      return true;
    }
    // A 504 of the last method (PLAIN) is a plain refusal: its reply stays the message.
    if (FRequestResult != 504) FErrorMessage = "500 Authentication Type could not be determined.";
  }
  TriggerRequestDone(static_cast<WORD>(FRequestResult));
  return true;
}

void TCustomSmtpClient::AuthNextPlain() {
  if (!authRefused(nullptr)) TriggerRequestDone(0);
}

void TCustomSmtpClient::AuthNextLogin() {
  if (authRefused(&TCustomSmtpClient::DoAuthPlain)) return;
  changeStateWithoutEvent(smtpInternalReady);
  ExecAsync(smtpAuth, Base64Encode(Username), {334}, &TCustomSmtpClient::AuthNextLoginNext);
}

void TCustomSmtpClient::AuthNextLoginNext() {
  if (FRequestResult != 0) {
    TriggerRequestDone(static_cast<WORD>(FRequestResult));
    return;
  }
  changeStateWithoutEvent(smtpInternalReady);
  ExecAsync(smtpAuth, Base64Encode(Password), {235}, nullptr);
}

void TCustomSmtpClient::AuthNextCramMD5() {
  if (authRefused(&TCustomSmtpClient::DoAuthLogin)) return;
  if (FLastResponse.Length() < 5) {
    FLastResponse = "500 Malformed MD5 Challege: " + FLastResponse;
    SetErrorMessage();
    FRequestResult = 500;
    TriggerRequestDone(500);
    return;
  }
  const AnsiString challenge = Base64Decode(FLastResponse.SubString(5, FLastResponse.Length()));
  const TMD5Digest digest = HmacMD5(Password, challenge);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  changeStateWithoutEvent(smtpInternalReady);
  ExecAsync(smtpAuth, Base64Encode(Username + " " + AnsiString(hex, 32)), {235}, nullptr);
}
