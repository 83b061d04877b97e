// The exact bytes the client sends, and replies a real server does not give, against a
// scripted loopback peer.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ScriptedPeer.h"
#include "SmtpFixture.h"

namespace {

class SmtpScripted : public ::testing::Test {
 protected:
  void start(std::vector<PeerStep> steps) {
    peer = std::make_unique<ScriptedPeer>(std::move(steps));
    client.Host = "127.0.0.1";
    client.Port = AnsiString(std::to_string(peer->port()));
    client.SignOn = "my host";
    rec.attach(client);
  }
  std::unique_ptr<ScriptedPeer> peer;
  TCustomSmtpClient client{nullptr};
  SmtpRecorder rec;
};

TEST_F(SmtpScripted, SplitAndJoinedMultiLineRepliesAreReadAndCramMD5AnswersTheChallenge) {
  const std::string ehlo = "EHLO my_host\r\n";
  const std::string auth = "AUTH CRAM-MD5\r\n";
  // RFC 2195's example exchange.
  const std::string answer = "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n";
  start({replySlowly("220-first line\r\n220 ready\r\n"), expectCommand(ehlo),
         reply("250-peer\r\n250-AUTH=LOGIN PLAIN\r\n250-AUTH CRAM-MD5\r\n250 OK\r\n"),
         expectCommand(auth),
         reply("334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n"),
         expectCommand(answer), reply("235 welcome\r\n")});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  EXPECT_EQ(rec.responses, (std::vector<std::string>{"220-first line", "220 ready"}));
  client.Ehlo();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpEhlo, 0}));
  EXPECT_EQ(rec.responses.size(), 6u);
  EXPECT_EQ(client.AuthTypesSupported().Text().str(), "LOGIN\r\nPLAIN\r\nCRAM-MD5\r\n");
  client.AuthType = smtpAuthAutoSelect;
  client.Username = "tim";
  client.Password = "tanstaaftanstaaf";
  client.Auth();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpAuth, 0})) << client.ErrorMessage().str();
  EXPECT_EQ(peer->received(), ehlo + auth + answer);
}

TEST_F(SmtpScripted, ARefusedDataSendsNoMessageLinesAndEndsMailWithTheCode) {
  const std::string commands = "MAIL FROM:<a@b.test>\r\nRCPT TO:<c@d.test>\r\nDATA\r\n";
  start({reply("220 hi\r\n"), expectCommand("MAIL FROM:<a@b.test>\r\n"), reply("250 ok\r\n"),
         expectCommand("RCPT TO:<c@d.test>\r\n"), reply("250 ok\r\n"), expectCommand("DATA\r\n"),
         reply("554 no thanks\r\n"), pause(300)});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.FromName = "Someone <a@b.test>";
  client.RcptName()->Add("c@d.test");
  client.HdrSubject = "never sent";
  rec.body = {"body"};
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 554}));
  EXPECT_EQ(client.ErrorMessage().str(), "554 no thanks");
  pumpFor(200);
  EXPECT_EQ(peer->received(), commands);
}

TEST_F(SmtpScripted, ABannerOtherThan220ClosesAndEndsConnectWithInterrupted) {
  start({reply("554 go away\r\n")});
  client.Connect();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 10004}));
  EXPECT_EQ(client.ErrorMessage().str(), "554 go away");
  EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpScripted, OpenFallsBackToHeloWhenEhloIsRefusedAndSkipsTheLogin) {
  start({reply("220 hi\r\n"), expectCommand("EHLO my_host\r\n"), reply("502 what?\r\n"),
         expectCommand("HELO my_host\r\n"), reply("250 hello\r\n")});
  client.AuthType = smtpAuthLogin;
  client.Open();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, 0}));
  EXPECT_EQ(peer->received(), "EHLO my_host\r\nHELO my_host\r\n");
  EXPECT_FALSE(client.Esmtp());
  pumpFor(100);
  EXPECT_EQ(rec.ends.size(), 1u);  // one end for the whole operation
}

TEST_F(SmtpScripted, AutoSelectMovesFromARefusedCramMD5ToLoginWithOneEndForEachMethod) {
  start({reply("220 hi\r\n"), expectCommand("EHLO my_host\r\n"), reply("250 OK\r\n"),
         expectCommand("AUTH CRAM-MD5\r\n"), reply("504 not that one\r\n"),
         expectCommand("AUTH LOGIN\r\n"), reply("334 VXNlcm5hbWU6\r\n"),
         expectCommand("dGFybg==\r\n"), reply("334 UGFzc3dvcmQ6\r\n"),
         expectCommand("czNjcmV0\r\n"), reply("235 in\r\n")});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.Ehlo();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpEhlo, 0}));
  useAutoSelectLogin(client);
  client.Auth();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpAuth, 504}));
  EXPECT_EQ(rec.next(), (RequestEnd{smtpAuth, 0}));
  EXPECT_EQ(peer->received(),
            "EHLO my_host\r\nAUTH CRAM-MD5\r\nAUTH LOGIN\r\ndGFybg==\r\nczNjcmV0\r\n");
}

TEST_F(SmtpScripted, AServerThatClosesDuringARequestEndsItWithInterrupted) {
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), hangUp()});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.Rset();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 10004}));
  EXPECT_FALSE(client.Connected());
}

}  // namespace

namespace {

TEST_F(SmtpScripted, OwnHeadersSendsOnlyTheBodyAndAnEmptyBodyEndsWithTheDot) {
  start({reply("220 hi\r\n"), expectCommand("DATA\r\n"), reply("354 go\r\n"),
         expectCommand(".\r\n"), reply("250 kept\r\n"), expectCommand("DATA\r\n"),
         reply("354 go\r\n"), expectCommand("Subject: mine\r\n\r\n..x\r\n.\r\n"),
         reply("250 kept\r\n")});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.OwnHeaders = true;
  client.Data();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpData, 0})) << client.ErrorMessage().str();
  rec.body = {"Subject: mine", "", ".x"};
  client.Data();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpData, 0})) << client.ErrorMessage().str();
  EXPECT_EQ(peer->received(), "DATA\r\n.\r\nDATA\r\nSubject: mine\r\n\r\n..x\r\n.\r\n");
}

TEST_F(SmtpScripted, AServerThatClosesInsideOpenEndsItWithInterruptedNotSuccess) {
  start({reply("220 hi\r\n"), expectCommand("HELO my_host\r\n"), hangUp()});
  client.Open();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, 10004}));
  EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpScripted, MailWithNoRecipientEndsWithAnErrorInsteadOfThrowingFromTheEventLoop) {
  start({reply("220 hi\r\n"), expectCommand("MAIL FROM:<a@b.test>\r\n"), reply("250 ok\r\n")});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.FromName = "a@b.test";
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 500}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 RcptName list is empty");
  EXPECT_EQ(client.State(), smtpReady);
}

}  // namespace

namespace {

TEST_F(SmtpScripted, AbortInsideOpenEndsItWith426) {
  start({reply("220 hi\r\n"), expectCommand("HELO my_host\r\n"), pause(2000)});
  client.Open();
  ASSERT_TRUE(pumpUntil([&] { return peer->received().size() == 14; }));
  client.Abort();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, 426}));
  EXPECT_EQ(client.ErrorMessage().str(), "426 Operation aborted.");
  EXPECT_EQ(client.State(), smtpReady);
  EXPECT_FALSE(client.Connected());
}

// Nothing is tried after an abort: not the HELO that follows a refused EHLO either, so the
// last reply stays the server's.
TEST_F(SmtpScripted, AbortDuringOpensEhloTriesNoHeloAndLeavesTheLastReplyAsItWas) {
  start({reply("220 hi\r\n"), expectCommand("EHLO my_host\r\n"), pause(2000)});
  client.AuthType = smtpAuthLogin;
  client.Open();
  ASSERT_TRUE(pumpUntil([&] { return peer->received().size() == 14; }));
  client.Abort();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, 426}));
  EXPECT_EQ(client.ErrorMessage().str(), "426 Operation aborted.");
  EXPECT_EQ(client.LastResponse().str(), "220 hi");
  EXPECT_EQ(client.State(), smtpReady);
  pumpFor(100);
  EXPECT_EQ(rec.ends.size(), 1u);
  EXPECT_EQ(peer->received(), "EHLO my_host\r\n");
}

// An Abort from a handler the client calls while it reads a reply ends the operation there:
// the reply it was reading is not taken for the operation's next step, the operation ends
// once with 426 and RequestResult says so, and the client is ready for the next one.
TEST_F(SmtpScripted, AnAbortFromAReplysHandlerEndsTheOperationThere) {
  struct Case {
    const char* name;
    const char* abortAt;  // the line shown when OnDisplay aborts
    TSmtpRequest request;
  };
  const Case cases[] = {{"the banner", "< 220 hi", smtpOpen},
                        {"a recipient's reply", "< 250 first", smtpMail}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    start({reply("220 hi\r\n"), expectCommand("MAIL FROM:<a@b.test>\r\n"), reply("250 ok\r\n"),
           expectCommand("RCPT TO:<c@d.test>\r\n"), reply("250 first\r\n"), pause(1000)});
    rec.ends.clear();  // start() attaches the recorder anew, OnDisplay too
    rec.taken = 0;
    client.FromName = "a@b.test";
    client.RcptName()->Clear();
    client.RcptName()->Add("c@d.test");
    client.RcptName()->Add("e@f.test");
    const auto shown = client.OnDisplay;
    client.OnDisplay = [&](TObject* sender, const AnsiString& line) {
      shown(sender, line);
      if (line.str() == c.abortAt) client.Abort();
    };
    if (c.request == smtpOpen) {
      client.Open();
    } else {
      client.Connect();
      ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
      client.Mail();
    }
    EXPECT_EQ(rec.next(), (RequestEnd{c.request, 426}));
    pumpFor(200);
    EXPECT_EQ(rec.ends.size(), c.request == smtpOpen ? 1u : 2u);
    EXPECT_EQ(client.State(), smtpReady);
    EXPECT_EQ(client.RequestResult(), 426);
    EXPECT_FALSE(client.Connected());
  }
}

TEST_F(SmtpScripted, AReplyLineLongerThanTheReceiveBufferFailsTheRequest) {
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), reply("250-" + std::string(5000, 'x')),
         pause(1000)});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.Rset();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 10004}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 Reply line too long");
  EXPECT_FALSE(client.Connected());
}

// The server answers the DATA command and, out of turn, refuses the message at once: the
// request ends with the refusal, no more of the message is sent, and the client is ready.
TEST_F(SmtpScripted, AReplyDuringTheMessageEndsMailStopsTheMessageAndLeavesTheClientReady) {
  start({reply("220 hi\r\n"), expectCommand("MAIL FROM:<a@b.test>\r\n"), reply("250 ok\r\n"),
         expectCommand("RCPT TO:<c@d.test>\r\n"), reply("250 ok\r\n"), expectCommand("DATA\r\n"),
         reply("354 go\r\n421 closing\r\n"), pause(500)});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.FromName = "a@b.test";
  client.RcptName()->Add("c@d.test");
  rec.body = std::vector<std::string>(50, "a line of the message");
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 421}));
  pumpFor(300);
  EXPECT_EQ(client.State(), smtpReady);
  EXPECT_EQ(peer->received().find("a line of the message"), std::string::npos);
  EXPECT_EQ(peer->received().find("\r\n.\r\n"), std::string::npos);
  EXPECT_NO_THROW(client.Rset());
}

// A line without a reply code answers no command with success.
// Also a code that the 16-bit error code would read as 0.
TEST_F(SmtpScripted, AReplyWithoutACodeFailsTheCommand) {
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), reply("ok, fine\r\n"),
         expectCommand("RSET\r\n"), reply("65536 fine too\r\n"), pause(300)});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  for (const char* answer : {"ok, fine", "65536 fine too"}) {
    client.ClearErrorMessage();
    client.Rset();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 500})) << answer;
    EXPECT_EQ(client.ErrorMessage().str(), answer);
    EXPECT_NE(client.RequestResult(), 0) << answer;
  }
}

TEST_F(SmtpScripted, HeaderHandlersMayEditTheHeaderBeforeItIsSent) {
  start({reply("220 hi\r\n"), expectBytes(6), reply("354 go\r\n"), pause(1500)});
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.HdrSubject = "original";
  client.OnProcessHeader = [](TObject*, TStringList* lines) { lines->Add("X-Extra: 1"); };
  client.OnHeaderLine = [](TObject*, char* line, int size) {
    if (std::strncmp(line, "Subject:", 8) == 0) std::snprintf(line, size, "Subject: edited");
  };
  client.Data();
  auto shown = [&](const std::string& line) {
    return std::find(rec.display.begin(), rec.display.end(), line) != rec.display.end();
  };
  ASSERT_TRUE(pumpUntil([&] { return shown("> ."); }));
  EXPECT_TRUE(shown("> Subject: edited"));
  EXPECT_FALSE(shown("> Subject: original"));
  const auto extra = std::find(rec.display.begin(), rec.display.end(), "> X-Extra: 1");
  ASSERT_NE(extra, rec.display.end());
  EXPECT_EQ(*(extra + 1), "> ");  // the header's end follows the lines the handler added
}

}  // namespace
