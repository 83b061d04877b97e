#include "netcomp/NtlmMsgs.h"

#include <cstdint>
#include <string>

#include "lib/Cp1252.h"
#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"

namespace {

constexpr char kSignature[] = "NTLMSSP";  // with its terminating zero: 8 bytes
constexpr std::uint32_t kNegotiateFlags =
    0x8207;  // Unicode, OEM, request target, NTLM, always sign
constexpr std::uint32_t kDomainSupplied = 0x1000;
constexpr std::uint32_t kWorkstationSupplied = 0x2000;
constexpr std::uint32_t kAuthenticateFlags = 0x8205;  // Unicode, request target, NTLM, always sign
constexpr std::size_t kChallengeHeader = 32;  // signature, type, target name, flags, challenge
constexpr std::size_t kTargetInfoField = 44;

void Put16(std::string& out, std::size_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::size_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, (value >> 16) & 0xFFFF);
}

// A field descriptor: length, the same length again, offset.
void PutField(std::string& out, std::size_t length, std::size_t offset) {
  Put16(out, length);
  Put16(out, length);
  Put32(out, offset);
}

void PutHeader(std::string& out, std::uint32_t type) {
  out.append(kSignature, sizeof kSignature);
  Put32(out, type);
}

std::uint32_t Get16(const std::string& in, std::size_t at) {
  return static_cast<std::uint8_t>(in[at]) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(in[at + 1])) << 8;
}

std::uint32_t Get32(const std::string& in, std::size_t at) {
  return Get16(in, at) | Get16(in, at + 2) << 16;
}

// Each 8-bit character as one 16-bit unit of the same value.
std::string WidenToUtf16(const AnsiString& text) {
  std::string out;
  for (char c : text.str()) {
    out += c;
    out += '\0';
  }
  return out;
}

std::u16string BytesToWide(const std::string& bytes, std::size_t at, std::size_t length) {
  std::u16string out;
  for (std::size_t i = at; i < at + length; ++i)
    out += static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(bytes[i])));
  return out;
}

bool Inside(const std::string& bytes, std::size_t at, std::size_t length) {
  return at <= bytes.size() && length <= bytes.size() - at;
}

// The entries of the target information: type, length and bytes, ended by type 0 length 0.
void ReadTargetInfo(const std::string& bytes, std::size_t at, TNTLM_Msg2_Info& info) {
  while (Inside(bytes, at, 4)) {
    const std::uint32_t type = Get16(bytes, at);
    const std::uint32_t length = Get16(bytes, at + 2);
    at += 4;
    if (type == 0 && length == 0) return;
    if (!Inside(bytes, at, length)) return;
    if (type == 1) info.ServerName = BytesToWide(bytes, at, length);
    if (type == 2) info.DomainName = BytesToWide(bytes, at, length);
    at += length;
  }
}

}  // namespace

AnsiString NtlmGetMessage1(const AnsiString& Host, const AnsiString& Domain) {
  const std::string host = UpperCase(Host).str();
  const std::string domain = UpperCase(Domain).str();
  std::uint32_t flags = kNegotiateFlags;
  if (!domain.empty()) flags |= kDomainSupplied;
  if (!host.empty()) flags |= kWorkstationSupplied;
  std::string message;
  PutHeader(message, 1);
  Put32(message, flags);
  PutField(message, domain.size(), domain.empty() ? 0 : 32 + host.size());
  PutField(message, host.size(), host.empty() ? 0 : 32);
  message += host;
  message += domain;
  return Base64Encode(AnsiString(std::move(message)));
}

TNTLM_Msg2_Info NtlmGetMessage2(const AnsiString& Message) {
  TNTLM_Msg2_Info info;
  if (Message.IsEmpty()) return info;
  const std::string bytes = Base64Decode(Message).str();
  if (bytes.size() < kChallengeHeader) return info;  // no challenge to answer
  info.Ready = true;
  for (std::size_t i = 0; i < info.Challenge.size(); ++i)
    info.Challenge[i] = static_cast<std::uint8_t>(bytes[24 + i]);
  const std::size_t nameLength = Get16(bytes, 12);
  const std::size_t nameOffset = Get32(bytes, 16);
  if (Inside(bytes, nameOffset, nameLength))
    info.TargetName = BytesToWide(bytes, nameOffset, nameLength);
  if (Inside(bytes, kTargetInfoField, 4))
    ReadTargetInfo(bytes, Get32(bytes, kTargetInfoField), info);
  return info;
}

AnsiString NtlmGetMessage3(const AnsiString& Domain, const AnsiString& Host, const AnsiString& User,
                           const AnsiString& Password, const TNtlmChallenge& Challenge) {
  const std::string domain = WidenToUtf16(Domain);
  const std::string user = WidenToUtf16(User);
  const std::string host = WidenToUtf16(Host);
  const TNtlmResponse lm = NtlmChallengeResponse(NtlmLmHash(Password), Challenge);
  const TNtlmResponse nt = NtlmChallengeResponse(NtlmNtHash(Password), Challenge);

  const std::size_t domainOffset = 64;
  const std::size_t userOffset = domainOffset + domain.size();
  const std::size_t hostOffset = userOffset + user.size();
  const std::size_t lmOffset = hostOffset + host.size();
  const std::size_t ntOffset = lmOffset + lm.size();

  std::string message;
  PutHeader(message, 3);
  PutField(message, lm.size(), lmOffset);
  PutField(message, nt.size(), ntOffset);
  PutField(message, domain.size(), domainOffset);
  PutField(message, user.size(), userOffset);
  PutField(message, host.size(), hostOffset);
  PutField(message, 0, 0);  // no session key
  Put32(message, kAuthenticateFlags);
  message += domain + user + host;
  message.append(lm.begin(), lm.end());
  message.append(nt.begin(), nt.end());
  return Base64Encode(AnsiString(std::move(message)));
}
