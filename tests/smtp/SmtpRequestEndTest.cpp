// Every request that starts ends once, with an error code when it failed, and leaves the
// component ready for the next one: against a scripted loopback peer.
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "ScriptedPeer.h"
#include "SmtpFixture.h"

namespace {

class SmtpRequestEnd : public ::testing::Test {
 protected:
  void start(std::vector<PeerStep> steps) {
    peer = std::make_unique<ScriptedPeer>(std::move(steps));
    useHost("127.0.0.1");
    client.SignOn = "me";
    rec.attach(client);
  }
  void useHost(const char* host) {
    client.Host = host;
    client.Port = AnsiString(std::to_string(peer->port()));
  }
  // The component takes a new connection to the peer after a failed start.
  void expectUsable() {
    useHost("127.0.0.1");
    client.Connect();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 0})) << client.ErrorMessage().str();
    EXPECT_TRUE(client.Connected());
  }
  std::unique_ptr<ScriptedPeer> peer;
  TCustomSmtpClient client{nullptr};
  SmtpRecorder rec;
};

TEST_F(SmtpRequestEnd, AConnectThatCannotStartEndsWithAnErrorAndLeavesTheComponentReady) {
  start({reply("220 hi\r\n")});
  struct {
    const char* host;
    const char* port;
    WORD code;
    const char* message;
  } const cases[] = {{"127.0.0.1", "no-such-port", 500, "500 ESocketException: "},
                     {"", nullptr, 10022, "500 "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    client.Host = c.host;
    if (c.port) client.Port = c.port;
    client.Connect();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, c.code}));
    EXPECT_EQ(client.ErrorMessage().Pos(c.message), 1) << client.ErrorMessage().str();
    EXPECT_EQ(client.State(), smtpReady);
    EXPECT_FALSE(client.Connected());
  }
  expectUsable();
}

TEST_F(SmtpRequestEnd, AbortWithTheLookUpsAnswerAlreadyQueuedEndsTheConnectAndConnectsNothing) {
  start({reply("220 hi\r\n")});  // the script serves one connection only
  useHost("localhost");
  client.Connect();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the answer waits, unread
  EXPECT_NO_THROW(client.Abort());
  EXPECT_EQ(client.State(), smtpReady);
  EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 10004}));
  pumpFor(300);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(rec.ends.size(), 1u);
  expectUsable();
}

// The end of a request that is still on its way when the next request starts names its own
// request, not the one now running.
TEST_F(SmtpRequestEnd, ARequestsEndThatArrivesDuringTheNextOneNamesItsOwnRequest) {
  start({reply("220 hi\r\n"), expectCommand("HELO me\r\n")});  // HELO is never answered
  client.Connect();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  client.Helo();
  client.Abort();
  useHost("127.0.0.1");
  client.Connect();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpHelo, 10004}));
  client.Abort();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 10004}));
}

TEST_F(SmtpRequestEnd, RequestResultKeepsTheCodeOfTheStepThatFailedOpenOrMail) {
  start({reply("220 hi\r\n"), expectCommand("HELO me\r\n"), reply("501 who?\r\n"),
         expectCommand("MAIL FROM:<from@client.test>\r\n"), reply("250 ok\r\n"),
         expectCommand("RCPT TO:<to@peer.test>\r\n"), reply("550 nobody\r\n")});
  client.Open();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, 501}));
  EXPECT_EQ(client.RequestResult(), 501);
  client.FromName = "from@client.test";
  client.RcptName()->Add("to@peer.test");
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 550}));
  EXPECT_EQ(client.RequestResult(), 550);
  EXPECT_EQ(client.ErrorMessage().str(), "550 nobody");
  EXPECT_EQ(peer->received(),
            "HELO me\r\nMAIL FROM:<from@client.test>\r\nRCPT TO:<to@peer.test>\r\n");
}

TEST_F(SmtpRequestEnd, AServerThatClosesInsideDataEndsMailWithAnErrorAndAMessage) {
  // The peer takes the envelope and a little of the message, then hangs up while the client
  // is still sending.
  start({reply("220 hi\r\n"), expectCommand("MAIL FROM:<from@client.test>\r\n"),
         reply("250 ok\r\n"), expectCommand("RCPT TO:<to@peer.test>\r\n"), reply("250 ok\r\n"),
         expectCommand("DATA\r\n"), reply("354 go\r\n"), expectBytes(2000), hangUp()});
  ASSERT_NO_FATAL_FAILURE(expectUsable());
  client.FromName = "from@client.test";
  client.RcptName()->Add("to@peer.test");
  rec.body.assign(50000, std::string(100, 'b'));
  client.Mail();
  const RequestEnd end = rec.next(10000);
  EXPECT_EQ(end.request, smtpMail);
  EXPECT_NE(end.code, 0);
  EXPECT_NE(end.code, 65535) << "the request did not end";
  EXPECT_NE(client.RequestResult(), 0);
  EXPECT_FALSE(client.ErrorMessage().IsEmpty());
  EXPECT_EQ(client.State(), smtpReady);
  EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpRequestEnd, ABodyThatCannotBeMadeIsNotSentCutShort) {
  start({reply("220 hi\r\n"), expectCommand("DATA\r\n"), reply("354 go\r\n"), expectBytes(100000)});
  ASSERT_NO_FATAL_FAILURE(expectUsable());
  client.OwnHeaders = true;
  client.OnGetData = [](TObject*, int lineNum, char* line, int, bool&) {
    if (lineNum == 3) throw std::runtime_error("disk gone");
    std::snprintf(line, 16, "line %d", lineNum);
  };
  client.Data();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpData, 500}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 disk gone");
  EXPECT_EQ(client.RequestResult(), 500);
  ASSERT_TRUE(pumpUntil([&] { return peer->done(); }));
  // The server saw the connection drop before the message's end: it delivers nothing.
  EXPECT_EQ(peer->received(), "DATA\r\nline 1\r\nline 2\r\n");
  EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpRequestEnd, AReplyThatNeverEndsFailsTheRequestOnceItPasses64KiB) {
  std::string endless;
  while (endless.size() < 70000) endless += "250-and there is more\r\n";
  start({reply("220 hi\r\n"), expectCommand("RSET\r\n"), reply(endless), pause(1000)});
  ASSERT_NO_FATAL_FAILURE(expectUsable());
  client.Rset();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRset, 10004}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 Reply too long");
  EXPECT_LT(rec.responses.size(), 3000u);  // about 64 KiB of it was read, not all of it
  EXPECT_FALSE(client.Connected());
}

TEST_F(SmtpRequestEnd, ARefusedQuitEndsAtOnceWithItsCode) {
  start({reply("220 hi\r\n"), expectCommand("QUIT\r\n"), reply("502 stay\r\n"), pause(1500)});
  ASSERT_NO_FATAL_FAILURE(expectUsable());
  client.Quit();
  EXPECT_EQ(rec.next(1000), (RequestEnd{smtpQuit, 502}));
  EXPECT_EQ(client.State(), smtpReady);
  client.Abort();
}

struct PlainRefusal {
  const char* reply;
  WORD code;
  const char* message;
};

TEST_F(SmtpRequestEnd, UnderAutoSelectionOnlyAPlainRefusalOtherThan504IsUndetermined) {
  const PlainRefusal cases[] = {
      {"504 not that one\r\n", 504, "504 not that one"},
      {"535 bad password\r\n", 535, "500 Authentication Type could not be determined."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const std::string plain = "AUTH PLAIN dGFybgB0YXJuAHMzY3JldA==\r\n";
    start({reply("220 hi\r\n"), expectCommand("EHLO me\r\n"),
           reply("250-peer\r\n250 AUTH PLAIN\r\n"), expectCommand(plain), reply(c.reply)});
    ASSERT_NO_FATAL_FAILURE(expectUsable());
    client.Ehlo();
    ASSERT_EQ(rec.next(), (RequestEnd{smtpEhlo, 0}));
    useAutoSelectLogin(client);
    client.Auth();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpAuth, c.code}));
    EXPECT_EQ(client.ErrorMessage().str(), c.message);
    EXPECT_EQ(peer->received(), "EHLO me\r\n" + plain);
    client.Abort();
    peer.reset();
  }
}

}  // namespace
