#pragma once
// NTLM (version 1) authentication messages, base64-encoded for the HTTP authentication
// headers: the negotiation, the server's challenge as read, and the answer to it.
#include <string>

#include "lib/AnsiString.h"
#include "netcomp/NtlmResponses.h"

// What a challenge message holds. The texts carry one wide character per message byte
// through the Windows-1252 code page, so UTF-16LE names keep their zero bytes as characters.
struct TNTLM_Msg2_Info {
  bool Ready = false;  // a challenge was read
  std::u16string TargetName;
  std::u16string DomainName;  // target information entry of type 2
  std::u16string ServerName;  // target information entry of type 1
  TNtlmChallenge Challenge{};
};

// The negotiation message for host and domain (both upper-cased, empty for none).
AnsiString NtlmGetMessage1(const AnsiString& Host, const AnsiString& Domain);
// Reads a challenge message. Ready is false for an empty text or for one too short to hold
// a challenge; names and target information that lie outside the message are left empty.
TNTLM_Msg2_Info NtlmGetMessage2(const AnsiString& Message);
// The authentication message: domain, user and host widened to UTF-16LE, then the LM and NT
// responses of the password to the challenge.
AnsiString NtlmGetMessage3(const AnsiString& Domain, const AnsiString& Host, const AnsiString& User,
                           const AnsiString& Password, const TNtlmChallenge& Challenge);
