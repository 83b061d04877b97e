// THttpCli: answering Basic and NTLM challenges of servers (401) and proxies (407) by sending
// the request again, decided each time the client becomes ready.
#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"

namespace {
// The last challenge whose first characters are the scheme (letter case ignored); -1: none.
int findChallenge(const TStringList& challenges, const AnsiString& scheme) {
  for (int i = challenges.Count() - 1; i >= 0; --i)
    if (SameText(challenges[i].SubString(1, scheme.Length()), scheme)) return i;
  return -1;
}
}  // namespace

bool THttpCli::PrepareNTLMAuth() {
  if (Options.Contains(httpoNoNTLMAuth)) return false;
  if (FAuthNTLMState == ntlmMsg3 && FStatusCode != 401)
    FAuthNTLMState = ntlmDone;
  else if (FAuthNTLMState == ntlmDone && FStatusCode == 401)
    FAuthNTLMState = ntlmNone;
  if (FProxyAuthNTLMState == ntlmMsg3 && FStatusCode != 407) {
    FProxyAuthNTLMState = ntlmDone;
  } else if (FProxyAuthNTLMState == ntlmDone && FStatusCode == 407) {
    FProxyAuthNTLMState = ntlmNone;
    FAuthNTLMState = ntlmNone;
  }
  const bool offered = findChallenge(*FAuthChallenges, "NTLM") >= 0;
  if (FStatusCode == 401 && offered && !Username.IsEmpty() && !Password.IsEmpty()) {
    StartAuthNTLM();
    return true;
  }
  if (FStatusCode == 407 && offered && !ProxyUsername.IsEmpty() && !ProxyPassword.IsEmpty()) {
    StartProxyAuthNTLM();
    return true;
  }
  return false;
}

bool THttpCli::PrepareBasicAuth() {
  if (Options.Contains(httpoNoBasicAuth)) return false;
  if (FAuthBasicState == basicMsg1 && FStatusCode != 401)
    FAuthBasicState = basicDone;
  else if (FAuthBasicState == basicDone && FStatusCode == 401)
    FAuthBasicState = basicNone;
  if (FProxyAuthBasicState == basicMsg1 && FStatusCode != 407) {
    FProxyAuthBasicState = basicDone;
  } else if (FProxyAuthBasicState == basicDone && FStatusCode == 407) {
    FProxyAuthBasicState = basicNone;
    FAuthBasicState = basicNone;
  }
  const bool offered = findChallenge(*FAuthChallenges, "Basic") >= 0;
  if (FStatusCode == 401 && offered && !Username.IsEmpty() && !Password.IsEmpty()) {
    StartAuthBasic();
    return true;
  }
  if (FStatusCode == 407 && offered && !ProxyUsername.IsEmpty() && !ProxyPassword.IsEmpty()) {
    StartProxyAuthBasic();
    return true;
  }
  return false;
}

// Makes the request ready to go again with credentials: the replaced reply and the sent body
// are taken back, and the request is cleared as at its start but keeps its document name.
void THttpCli::againWithCredentials() {
  CleanupRcvdStream();
  CleanupSendStream();
  FReceiveLen = 0;
  const AnsiString docName = FDocName;
  InternalClear();
  FDocName = docName;
}

void THttpCli::ntlmStep(THttpNTLMState& State, TNTLMAuthType Type, AnsiString& ConnectionLine,
                        TNTLM_Msg2_Info& Challenge, const char* Unexpected) {
  switch (State) {
    case ntlmNone:
      FNTLMAuthType = Type;
      againWithCredentials();
      State = ntlmMsg1;
      if (FRequestVer == "1.0") ConnectionLine = "Keep-alive";
      PostMessageA(FWindowHandle, WM_HTTP_LOGIN, 0, 0);
      break;
    case ntlmMsg1: {
      const int at = findChallenge(*FAuthChallenges, "NTLM");
      Challenge = NtlmGetMessage2(at >= 0 ? (*FAuthChallenges)[at].SubString(6, 1000) : "");
      againWithCredentials();
      State = ntlmMsg3;
      PostMessageA(FWindowHandle, WM_HTTP_LOGIN, 0, 0);
      break;
    }
    case ntlmMsg3:
      FAuthChallenges->Clear();
      State = ntlmNone;
      PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, 0, 0);
      break;
    default:
      throw EHttpException(Unexpected, 6);
  }
}

void THttpCli::basicStep(THttpBasicState& State, TBasicAuthType Type, const char* Unexpected) {
  switch (State) {
    case basicNone:
      FBasicAuthType = Type;
      againWithCredentials();
      State = basicMsg1;
      PostMessageA(FWindowHandle, WM_HTTP_LOGIN, 0, 0);
      break;
    case basicMsg1:
      FAuthChallenges->Clear();
      State = basicNone;
      PostMessageA(FWindowHandle, WM_HTTP_REQUEST_DONE, 0, 0);
      break;
    default:
      throw EHttpException(Unexpected, 6);
  }
}

void THttpCli::StartAuthNTLM() {
  ntlmStep(FAuthNTLMState, ntlmAuthNormal, Connection, FNTLMMsg2Info, "Unexpected AuthNTLMState");
}

void THttpCli::StartProxyAuthNTLM() {
  ntlmStep(FProxyAuthNTLMState, ntlmAuthProxy, ProxyConnection, FProxyNTLMMsg2Info,
           "Unexpected ProxyAuthNTLMState");
}

void THttpCli::StartAuthBasic() {
  basicStep(FAuthBasicState, basicAuthNormal, "Unexpected AuthBasicState");
}

void THttpCli::StartProxyAuthBasic() {
  basicStep(FProxyAuthBasicState, basicAuthProxy, "Unexpected ProxyAuthBasicState");
}

AnsiString THttpCli::GetNTLMMessage1() { return NtlmGetMessage1("", ""); }

AnsiString THttpCli::GetNTLMMessage3(bool ForProxy) {
  AnsiString host;
  try {
    host = LocalHostName();
  } catch (const Exception&) {
    host = AnsiString();
  }
  if (ForProxy)
    return NtlmGetMessage3("", host, ProxyUsername, ProxyPassword, FProxyNTLMMsg2Info.Challenge);
  return NtlmGetMessage3("", host, Username, Password, FNTLMMsg2Info.Challenge);
}
