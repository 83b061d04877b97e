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

// Moves the exchanges on by the reply's status: a sent answer that was not refused again is
// done; a done exchange that is challenged again starts over.
template <class S>
void settleExchanges(S& server, S& proxy, S sent, S done, S none, int status) {
  if (server == sent && status != 401)
    server = done;
  else if (server == done && status == 401)
    server = none;
  if (proxy == sent && status != 407) {
    proxy = done;
  } else if (proxy == done && status == 407) {
    proxy = none;
    server = none;
  }
}
}  // namespace

// 401 or 407 when the reply offers the scheme and the credentials it asks for are set; else 0.
// The user's go to the named host alone, the proxy's to a proxy alone: without one, a 407
// comes from a server, which gets no proxy credentials.
int THttpCli::answerableChallenge(const char* Scheme) const {
  if (findChallenge(*FAuthChallenges, Scheme) < 0) return 0;
  if (FStatusCode == 401 && atNamedHost() && !serverUsername().IsEmpty() &&
      !serverPassword().IsEmpty())
    return 401;
  if (FStatusCode == 407 && !Proxy.IsEmpty() && !ProxyUsername.IsEmpty() &&
      !ProxyPassword.IsEmpty())
    return 407;
  return 0;
}

// The exchanges move on by the reply as when the client becomes ready, but no round starts:
// the request ended (an Abort at ready) with this reply.
void THttpCli::settleAuthentication() {
  if (!Options.Contains(httpoNoNTLMAuth))
    settleExchanges(FAuthNTLMState, FProxyAuthNTLMState, ntlmMsg3, ntlmDone, ntlmNone, FStatusCode);
  if (!Options.Contains(httpoNoBasicAuth))
    settleExchanges(FAuthBasicState, FProxyAuthBasicState, basicMsg1, basicDone, basicNone,
                    FStatusCode);
}

bool THttpCli::PrepareNTLMAuth() {
  if (Options.Contains(httpoNoNTLMAuth)) return false;
  settleExchanges(FAuthNTLMState, FProxyAuthNTLMState, ntlmMsg3, ntlmDone, ntlmNone, FStatusCode);
  const int status = answerableChallenge("NTLM");
  if (status == 401) StartAuthNTLM();
  if (status == 407) StartProxyAuthNTLM();
  return status != 0;
}

bool THttpCli::PrepareBasicAuth() {
  if (Options.Contains(httpoNoBasicAuth)) return false;
  settleExchanges(FAuthBasicState, FProxyAuthBasicState, basicMsg1, basicDone, basicNone,
                  FStatusCode);
  const int status = answerableChallenge("Basic");
  if (status == 401) StartAuthBasic();
  if (status == 407) StartProxyAuthBasic();
  return status != 0;
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

// Counts a round; past the bound the request ends with an error instead, and every exchange
// starts over with the next request.
bool THttpCli::tooManyAuthRounds() {
  if (++FAuthRounds <= kHttpMaxAuthRounds) return false;
  FAuthNTLMState = FProxyAuthNTLMState = ntlmNone;
  FAuthBasicState = FProxyAuthBasicState = basicNone;
  FAuthChallenges->Clear();
  failRequest(404, "Too many authentication rounds");
  if (FRequestDoneErrCode == 0) FRequestDoneErrCode = 404;
  TriggerRequestDone();
  return true;
}

void THttpCli::ntlmStep(THttpNTLMState& State, TNTLMAuthType Type, AnsiString& ConnectionLine,
                        TNTLM_Msg2_Info& Challenge, const char* Unexpected) {
  if ((State == ntlmNone || State == ntlmMsg1) && tooManyAuthRounds()) return;
  switch (State) {
    case ntlmNone:
      FNTLMAuthType = Type;
      againWithCredentials();
      State = ntlmMsg1;
      if (FRequestVer == "1.0") ConnectionLine = "Keep-alive";
      postLogin();
      break;
    case ntlmMsg1: {
      const int at = findChallenge(*FAuthChallenges, "NTLM");
      Challenge = NtlmGetMessage2(at >= 0 ? (*FAuthChallenges)[at].SubString(6, 1000) : "");
      againWithCredentials();
      State = ntlmMsg3;
      postLogin();
      break;
    }
    case ntlmMsg3:
      FAuthChallenges->Clear();
      State = ntlmNone;
      TriggerRequestDone();
      break;
    default:
      throw EHttpException(Unexpected, 6);
  }
}

void THttpCli::basicStep(THttpBasicState& State, TBasicAuthType Type, const char* Unexpected) {
  if (State == basicNone && tooManyAuthRounds()) return;
  switch (State) {
    case basicNone:
      FBasicAuthType = Type;
      againWithCredentials();
      State = basicMsg1;
      postLogin();
      break;
    case basicMsg1:
      FAuthChallenges->Clear();
      State = basicNone;
      TriggerRequestDone();
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
  return NtlmGetMessage3("", host, serverUsername(), serverPassword(), FNTLMMsg2Info.Challenge);
}

// The server credentials of the request: a followed location's, else the caller's.
const AnsiString& THttpCli::serverUsername() const {
  return FLocationCredentials ? FLocationUsername : Username;
}
const AnsiString& THttpCli::serverPassword() const {
  return FLocationCredentials ? FLocationPassword : Password;
}
