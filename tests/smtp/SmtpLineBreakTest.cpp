// Line breaks in what the caller gives the client: a value that would end a command or a
// header line early is refused before anything goes out, and a body line that holds line
// breaks goes out as several lines, each with its leading dot doubled. The exact bytes are
// read by a scripted loopback peer.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ScriptedPeer.h"
#include "SmtpFixture.h"

namespace {

class SmtpLineBreaks : public ::testing::Test {
 protected:
  void start(std::vector<PeerStep> steps) {
    peer = std::make_unique<ScriptedPeer>(std::move(steps));
    client.Host = "127.0.0.1";
    client.Port = AnsiString(std::to_string(peer->port()));
    client.SignOn = "me";
    client.FromName = "a@b.test";
    client.RcptName()->Add("c@d.test");
    rec.attach(client);
    client.Connect();
    ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  }
  std::unique_ptr<ScriptedPeer> peer;
  TCustomSmtpClient client{nullptr};
  SmtpRecorder rec;
};

const AnsiString kNul("x\0y", 3);

struct RefusedValue {
  const char* name;  // the property the error names
  std::function<void(TCustomSmtpClient&)> set;
  void (TCustomSmtpClient::*request)();
};

// Every value that goes into a command or a header line, each with CR LF, a bare LF, a bare
// CR or a NUL in it: the request raises at once and sends nothing; the session goes on.
TEST_F(SmtpLineBreaks, AValueWithALineBreakOrANulIsRefusedBeforeAnythingIsSent) {
  using C = TCustomSmtpClient;
  const RefusedValue cases[] = {
      {"SignOn", [](C& c) { c.SignOn = "me\r\nMAIL FROM:<x@evil.test>"; }, &C::Helo},
      {"SignOn", [](C& c) { c.SignOn = "me\nRSET"; }, &C::Ehlo},
      {"HdrTo", [](C& c) { c.HdrTo = "a@b.test\rRSET"; }, &C::Vrfy},
      {"FromName", [](C& c) { c.FromName = "x <a@b.test\r\nRSET\r\nMAIL FROM:<e@evil.test>"; },
       &C::MailFrom},
      {"FromName", [](C& c) { c.FromName = kNul; }, &C::MailFrom},
      // The second recipient is refused before the first one goes out.
      {"RcptName",
       [](C& c) { c.RcptName()->Add("x <a@b.test\r\nRSET\r\nRCPT TO:<evil@evil.test>"); },
       &C::RcptTo},
      {"HdrSubject", [](C& c) { c.HdrSubject = "hello\r\n.\r\nMAIL FROM:<x@evil.test>"; },
       &C::Data},
      {"HdrFrom", [](C& c) { c.HdrFrom = kNul; }, &C::Data},
      {"HdrTo", [](C& c) { c.HdrTo = "a@b.test\nBcc: e@evil.test"; }, &C::Data},
      {"HdrCc", [](C& c) { c.HdrCc = "a@b.test\rX: y"; }, &C::Data},
      {"HdrReplyTo", [](C& c) { c.HdrReplyTo = "a@b.test\r\nX: y"; }, &C::Data},
      {"HdrReturnPath", [](C& c) { c.HdrReturnPath = "a@b.test\r\nX: y"; }, &C::Data},
      {"HdrSender", [](C& c) { c.HdrSender = "a@b.test\r\nX: y"; }, &C::Data},
      {"CharSet", [](C& c) { c.CharSet = "utf-8\"\r\nX: y"; }, &C::Data},
  };
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), reply("250 ok\r\n")});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.set(client);
    try {
      (client.*c.request)();
      ADD_FAILURE() << "not refused";
    } catch (const SmtpException& e) {
      EXPECT_EQ(e.Message().str(), std::string(c.name) + " contains CR, LF or NUL");
    }
    EXPECT_EQ(client.State(), smtpReady);
    // Back to sound values for the next case.
    client.SignOn = "me";
    client.FromName = "a@b.test";
    client.HdrTo = client.HdrSubject = client.HdrFrom = client.HdrCc = "";
    client.HdrReplyTo = client.HdrReturnPath = client.HdrSender = "";
    client.CharSet = "iso-8859-1";
    while (client.RcptName()->Count() > 1) client.RcptName()->Delete(1);
  }
  client.Rset();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 0}));
  EXPECT_EQ(rec.ends.size(), 2u);  // the refused requests never started
  EXPECT_EQ(peer->received(), "RSET\r\n");
}

// Mail checks the recipients and the header before its first command: the subject of the
// attack would end the message early and start a transaction of its own.
TEST_F(SmtpLineBreaks, MailWithABadRecipientOrSubjectEndsWith500AndSendsNoCommand) {
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), reply("250 ok\r\n")});
  for (int round = 0; round < 2; ++round) {
    if (round == 0) client.RcptName()->Add("x <a@b.test\r\nRSET\r\nRCPT TO:<evil@evil.test>");
    if (round == 1) client.HdrSubject = "hello\r\n.\r\nMAIL FROM:<x@evil.test>";
    client.ClearErrorMessage();
    client.Mail();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 500}));
    EXPECT_EQ(client.ErrorMessage().str(), round == 0 ? "500 RcptName contains CR, LF or NUL"
                                                      : "500 HdrSubject contains CR, LF or NUL");
    while (client.RcptName()->Count() > 1) client.RcptName()->Delete(1);
  }
  client.Rset();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 0}));
  EXPECT_EQ(peer->received(), "RSET\r\n");
}

// A recipient OnRcptToError rewrites for its retry is checked before it goes out too: one
// with a line break ends the request with 500 and sends no more commands.
TEST_F(SmtpLineBreaks, ARecipientRewrittenForARetryIsCheckedBeforeItGoesOut) {
  start({reply("220 hi\r\n"), expectCommand("RCPT TO:<c@d.test>\r\n"), reply("450 later\r\n"),
         pause(500)});
  client.RcptName()->Add("e@f.test");
  client.OnRcptToError = [&](TObject*, WORD, int index, TSmtpRcptToErrorAction& action) {
    client.RcptName()->SetStrings(index, "x <c@d.test\r\nRSET\r\nRCPT TO:<evil@evil.test>");
    action = srteRetry;
  };
  client.RcptTo();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRcptTo, 500}));
  EXPECT_EQ(client.ErrorMessage().str(), "450 later");  // the request's first error
  EXPECT_EQ(client.LastResponse().str(), "500 RcptName contains CR, LF or NUL");
  EXPECT_EQ(client.State(), smtpReady);
  pumpFor(300);
  std::vector<std::string> commands;
  for (const auto& line : rec.display)
    if (line.rfind("> ", 0) == 0) commands.push_back(line);
  EXPECT_EQ(commands, std::vector<std::string>{"> RCPT TO:<c@d.test>"});
}

// Bare LF, bare CR and CR LF inside a body line each end a line of their own; every line
// that begins with a dot gets a second one, also after a break, so no body can end the
// message early. Header lines the user adds are sent the same way.
TEST_F(SmtpLineBreaks, ABodyLineWithLineBreaksGoesOutAsSeveralLinesWithTheirDotsDoubled) {
  const std::string body =
      "one\r\ntwo\r\n"
      "..dot\r\n..\r\nMAIL FROM:<x@evil.test>\r\n"
      "bare\r\ncr\r\n"
      "lf then cr\r\n\r\n..x\r\n"
      "end\r\n\r\n";
  const std::string message = "X-A: 1\r\n..X-B: 2\r\n\r\n" + body + ".\r\n";
  start({reply("220 hi\r\n"), expectCommand("DATA\r\n"), reply("354 go\r\n"),
         expectBytes(message.size()), reply("250 kept\r\n")});
  client.OwnHeaders = true;
  rec.body = {
      "X-A: 1\n.X-B: 2",  "",     "one\r\ntwo", ".dot\n.\r\nMAIL FROM:<x@evil.test>", "bare\rcr",
      "lf then cr\n\r.x", "end\n"};
  client.Data();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpData, 0})) << client.ErrorMessage().str();
  EXPECT_EQ(peer->received(), "DATA\r\n" + message);
}

}  // namespace
