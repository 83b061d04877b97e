// The blocking calls: what they return, how long they wait, and the session they leave.
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <memory>
#include <thread>

#include "MailSink.h"
#include "ScriptedPeer.h"
#include "SmtpFixture.h"

namespace {

void pointAt(TCustomSmtpClient& client, int port) {
  client.Host = "127.0.0.1";
  client.Port = AnsiString(std::to_string(port));
  client.SignOn = "me";
}

TEST(SmtpSync, QuitWhileNotConnectedSucceedsAtOnceAndConnectWhileConnectedFails) {
  TSyncSmtpCli client(nullptr);
  EXPECT_TRUE(client.QuitSync());
  MailSink sink;
  pointAt(client, sink.port());
  ASSERT_TRUE(client.ConnectSync()) << client.ErrorMessage().str();
  EXPECT_FALSE(client.ConnectSync());  // "already connected" is swallowed
  EXPECT_TRUE(client.Connected());
  for (bool multiThreaded : {false, true}) {
    SCOPED_TRACE(multiThreaded);
    client.MultiThreaded = multiThreaded;
    EXPECT_TRUE(client.HeloSync());
    // No EHLO on this connection: the login ends at once and nothing is sent.
    client.AuthType = smtpAuthLogin;
    EXPECT_FALSE(client.AuthSync());
    EXPECT_EQ(client.ErrorMessage().str(), "500 ESMTP not supported.");
    EXPECT_TRUE(client.RsetSync());
  }
  EXPECT_TRUE(client.QuitSync());
  EXPECT_FALSE(client.Connected());
}

// A Timeout of many days, up to the largest the property holds (the usual "no limit"), still
// waits for the server: the calls and a mail succeed.
TEST(SmtpSync, ATimeoutOfManyDaysOrTheLargestOneStillWaitsForTheServer) {
  for (int timeout : {2147484, 2147483647}) {
    SCOPED_TRACE(timeout);
    MailSink sink;
    TSyncSmtpCli client(nullptr);
    pointAt(client, sink.port());
    client.Timeout = timeout;
    EXPECT_TRUE(client.OpenSync()) << client.ErrorMessage().str();
    client.FromName = "a@b.test";
    client.RcptName()->Add("c@d.test");
    client.MailMessage()->Add("a line");
    EXPECT_TRUE(client.MailSync()) << client.ErrorMessage().str();
    EXPECT_TRUE(client.QuitSync()) << client.ErrorMessage().str();
    EXPECT_EQ(sink.messages().size(), 1u);
  }
}

TEST(SmtpSync, AFailedStepOfOpenOrMailIsAFailure) {
  ScriptedPeer peer({reply("220 hi\r\n"), expectCommand("HELO me\r\n"), reply("501 who?\r\n"),
                     expectCommand("MAIL FROM:<a@b.test>\r\n"), reply("250 ok\r\n"),
                     expectCommand("RCPT TO:<c@d.test>\r\n"), reply("550 nobody\r\n")});
  TSyncSmtpCli client(nullptr);
  pointAt(client, peer.port());
  EXPECT_FALSE(client.OpenSync());
  EXPECT_EQ(client.ErrorMessage().str(), "501 who?");
  client.FromName = "a@b.test";
  client.RcptName()->Add("c@d.test");
  EXPECT_FALSE(client.MailSync());
  EXPECT_EQ(client.ErrorMessage().str(), "550 nobody");
  client.Abort();
  EXPECT_TRUE(client.QuitSync());  // not connected: no earlier failure shows through
}

TEST(SmtpSync, AServerThatHangsUpInsteadOfAnsweringFailsTheCall) {
  ScriptedPeer peer({reply("220 hi\r\n"), expectCommand("HELO me\r\n"), hangUp()});
  TSyncSmtpCli client(nullptr);
  pointAt(client, peer.port());
  ASSERT_TRUE(client.ConnectSync());
  EXPECT_FALSE(client.HeloSync());
  EXPECT_EQ(client.ErrorMessage().str(), "500 Connection closed by the server");
  EXPECT_FALSE(client.Connected());
}

// A server that accepts the connection and never says a word.
struct SilentServer {
  ScriptedPeer peer{{pause(2500)}};
};

TEST(SmtpSync, ASilentServerTimesOutWith426AndTheConnectionIsAborted) {
  SilentServer silent;
  TSyncSmtpCli client(nullptr);
  pointAt(client, silent.peer.port());
  client.Timeout = 1;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(client.ConnectSync());
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_LT(clock.elapsed(), 3000);
  EXPECT_EQ(client.ErrorMessage().str(), "426 Timeout");
  EXPECT_EQ(client.StatusCode(), 426);
  EXPECT_EQ(client.State(), smtpReady);
  EXPECT_FALSE(client.Connected());
}

TEST(SmtpSync, WithoutATimeoutTheCallWaitsUntilTheApplicationQuits) {
  SilentServer silent;
  TSyncSmtpCli client(nullptr);
  pointAt(client, silent.peer.port());
  client.Timeout = 0;
  QTimer::singleShot(1500, [] { PostQuitMessage(0); });
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(client.ConnectSync());
  EXPECT_GE(clock.elapsed(), 1400);
  EXPECT_EQ(client.ErrorMessage().str(), "426 Timeout");
  EXPECT_FALSE(client.Connected());
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(SmtpSync, EachBodyLineMovesTheDeadlineSoASlowBodyDoesNotTimeOut) {
  MailSink sink;
  TSyncSmtpCli client(nullptr);
  pointAt(client, sink.port());
  client.Timeout = 1;
  client.OwnHeaders = true;
  client.OnGetData = [](TObject*, int lineNum, char* line, int, bool& more) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    more = lineNum <= 12;  // about two seconds of lines in all
    std::snprintf(line, 16, "line %d", lineNum);
  };
  ASSERT_TRUE(client.ConnectSync());
  EXPECT_TRUE(client.DataSync()) << client.ErrorMessage().str();
  ASSERT_EQ(sink.messages().size(), 1u);
  EXPECT_EQ(sink.messages()[0].size(), 12u);
  EXPECT_TRUE(client.QuitSync());
}

}  // namespace
