// The NTLM exchange with a server over one kept-alive connection, against a scripted peer:
// message 1 after the first 401, message 3 for the challenge, then the document.
#include <gtest/gtest.h>

#include "HttpSupport.h"
#include "ScriptedPeer.h"
#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"
#include "netcomp/NtlmMsgs.h"

namespace {
std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(unsigned v) { return le16(v & 0xFFFF) + le16(v >> 16); }

// A challenge message without target name or target information.
std::string challengeMessage() {
  std::string m("NTLMSSP\0", 8);
  m += le32(2) + le16(0) + le16(0) + le32(48) + le32(0x00000201);
  m += "\x01\x23\x45\x67\x89\xab\xcd\xef";
  m += std::string(8, '\0');
  m += le16(0) + le16(0) + le32(48);
  return m;
}

std::string head(int port, const std::string& extra, const std::string& auth) {
  return "GET /n HTTP/1.0\r\n"
         "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n" +
         extra + "User-Agent: Mozilla/4.0 (compatible; NetComp)\r\nHost: 127.0.0.1:" +
         std::to_string(port) + "\r\n" + auth + "\r\n";
}
}  // namespace

TEST(HttpNtlm, ServerChallengeIsAnsweredWithMessagesOneAndThree) {
  const std::string challenge = Base64Encode(AnsiString(challengeMessage())).str();
  const std::string m1 = "Authorization: NTLM " + NtlmGetMessage1("", "").str() + "\r\n";
  const std::string m3 =
      "Authorization: NTLM " +
      NtlmGetMessage3("", LocalHostName(), "joe", "pw", NtlmGetMessage2(challenge).Challenge)
          .str() +
      "\r\n";
  const std::string keep = "Connection: Keep-alive\r\n";
  const std::string deny =
      "HTTP/1.0 401 Unauthorized\r\nConnection: keep-alive\r\n"
      "Content-Length: 0\r\nWWW-Authenticate: NTLM";
  ScriptedPeer peer({expectBytes(head(10000, "", "").size()), reply(deny + "\r\n\r\n"),
                     expectBytes(head(10000, keep, m1).size()),
                     reply(deny + " " + challenge + "\r\n\r\n"),
                     expectBytes(head(10000, keep, m3).size()),
                     reply("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok"), hangUp()});
  RecordingClient c;
  c.cli.Username = "joe";
  c.cli.Password = "pw";
  ASSERT_TRUE(c.get("http://127.0.0.1:" + std::to_string(peer.port()) + "/n"));
  const int p = peer.port();
  EXPECT_EQ(peer.received(), head(p, "", "") + head(p, keep, m1) + head(p, keep, m3));
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data(), "ok");
  EXPECT_EQ(c.done, 1);
}
