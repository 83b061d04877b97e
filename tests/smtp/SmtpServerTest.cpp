// The client against a real SMTP server: Debian's aiosmtpd on 127.0.0.1.
#include <QProcess>
#include <QStandardPaths>
#include <fstream>
#include <memory>
#include <sstream>

#include "Peer.h"
#include "SmtpFixture.h"
#include "netcomp/Mimeutil.h"
#include "smtp/NetMD5.h"

namespace {

class AiosmtpdPeer {
 public:
  explicit AiosmtpdPeer(const std::string& mailbox) {
    process_.start("/usr/bin/python3", {SMTP_PEER_SCRIPT, QString::fromStdString(mailbox)});
    // The first line it prints is "READY <port>" (waits for the whole line).
    QByteArray line;
    while (!line.endsWith('\n') && process_.waitForReadyRead(10000)) line += process_.readLine();
    line = line.trimmed();
    if (line.startsWith("READY ")) port_ = line.mid(6).toInt();
    firstLine_ = line.toStdString();
  }
  ~AiosmtpdPeer() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill(), process_.waitForFinished(2000);
  }
  int port() const { return port_; }
  std::string errors() { return firstLine_ + " " + process_.readAllStandardError().toStdString(); }

 private:
  QProcess process_;
  int port_ = 0;
  std::string firstLine_;
};

class SmtpServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::remove(mailbox.c_str());
    peer = std::make_unique<AiosmtpdPeer>(mailbox);
    ASSERT_NE(peer->port(), 0) << "aiosmtpd did not start (scripts/install-deps.sh installs "
                                  "python3-aiosmtpd): "
                               << peer->errors();
    client.Host = "127.0.0.1";
    client.Port = AnsiString(std::to_string(peer->port()));
    client.SignOn = "client.test";
    rec.attach(client);
  }
  std::string delivered() const {
    std::ifstream in(mailbox, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void sendOneMessage() {
    client.FromName = "\"Tarn Wick\" <tarn@client.test>";
    client.RcptName()->Add("one@peer.test");
    client.HdrFrom = "tarn@client.test";
    client.HdrTo = "one@peer.test";
    client.HdrSubject = "Hello";
    rec.body = {"first line", "."};
    client.Mail();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 0})) << client.ErrorMessage().str();
  }

  const std::string mailbox = "mailbox.txt";
  std::unique_ptr<AiosmtpdPeer> peer;
  TCustomSmtpClient client{nullptr};
  SmtpRecorder rec;
};

TEST_F(SmtpServer, OpenMailAndQuitDeliverTheMessageWithItsHeaderAndBody) {
  client.Open();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpOpen, 0})) << client.ErrorMessage().str();
  EXPECT_EQ(client.State(), smtpReady);
  client.FromName = "\"Tarn Wick\" <tarn@client.test>";
  client.RcptNameAdd("one@peer.test, \"Two, Second\" <two@peer.test>", "", "");
  ASSERT_EQ(client.RcptName()->Count(), 2);
  client.HdrFrom = "Tarn Wick <tarn@client.test>";
  client.HdrTo = "one@peer.test; two@peer.test";
  client.HdrSubject = "Weekly report";
  client.HdrPriority = smtpPriorityHigh;
  rec.body = {"Dear reader,", ".", ".hidden", "", "Bye"};
  client.Mail();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpMail, 0})) << client.ErrorMessage().str();
  client.Quit();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
  EXPECT_FALSE(client.Connected());

  const std::string got = delivered();
  EXPECT_NE(got.find("FROM tarn@client.test\r\nTO one@peer.test\r\nTO two@peer.test\r\n"),
            std::string::npos)
      << got;
  // The To header folds onto a second line that starts with a TAB.
  EXPECT_NE(got.find("To: one@peer.test,\r\n\ttwo@peer.test\r\n"), std::string::npos) << got;
  EXPECT_NE(got.find("Subject: Weekly report\r\n"), std::string::npos);
  EXPECT_NE(got.find("Sender: Tarn Wick <tarn@client.test>\r\n"), std::string::npos);
  EXPECT_NE(got.find("Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"), std::string::npos);
  EXPECT_NE(got.find("X-Priority: 2\r\nPriority: urgent\r\nX-MSMail-Priority: High\r\n"),
            std::string::npos);
  EXPECT_NE(got.find("Message-ID: <" + client.MessageID().str() + ">\r\n"), std::string::npos);
  EXPECT_NE(got.find("X-Mailer: NetComp SMTP Component V2.48\r\n\r\n"), std::string::npos);
  // The dots the client doubled arrive as written.
  EXPECT_NE(got.find("\r\n\r\nDear reader,\r\n.\r\n.hidden\r\n\r\nBye\r\n\r\n=== END"),
            std::string::npos)
      << got;
  // What was shown: commands, replies and the sent lines.
  auto shown = [&](const std::string& line) {
    return std::find(rec.display.begin(), rec.display.end(), line) != rec.display.end();
  };
  EXPECT_TRUE(shown("> HELO client.test"));
  EXPECT_TRUE(shown("> .."));
  EXPECT_TRUE(shown("> ..hidden"));
  EXPECT_TRUE(shown("> QUIT"));
}

// A subject that would end the message and start a transaction of its own is refused, and
// nothing reaches the server; line breaks inside body lines arrive as lines of their own.
TEST_F(SmtpServer, AnInjectingSubjectDeliversNothingAndBodyLineBreaksArriveAsLines) {
  client.Open();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpOpen, 0})) << client.ErrorMessage().str();
  client.FromName = "tarn@client.test";
  client.RcptName()->Add("one@peer.test");
  client.HdrSubject =
      "hello\r\n.\r\nMAIL FROM:<evil@client.test>\r\nRCPT TO:<evil@peer.test>\r\nDATA";
  rec.body = {"first"};
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 500}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 HdrSubject contains CR, LF or NUL");
  client.HdrSubject = "clean";
  rec.body = {"one\ntwo", ".\r\nMAIL FROM:<evil@client.test>", "three\rfour", ".five"};
  client.Mail();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpMail, 0})) << client.ErrorMessage().str();
  client.Quit();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
  const std::string got = delivered();
  EXPECT_EQ(got.find("FROM "), got.rfind("FROM ")) << got;  // one message
  EXPECT_EQ(got.find("evil@peer.test"), std::string::npos) << got;
  EXPECT_NE(got.find("Subject: clean\r\n"), std::string::npos) << got;
  EXPECT_NE(got.find("\r\n\r\none\r\ntwo\r\n.\r\nMAIL FROM:<evil@client.test>\r\nthree\r\nfour\r\n"
                     ".five\r\n\r\n=== END"),
            std::string::npos)
      << got;
}

struct LoginCase {
  TSmtpAuthType type;
  const char* password;
  WORD code;
};

TEST_F(SmtpServer, OpenLogsInWithEachMethodAndRefusesAWrongPassword) {
  const LoginCase cases[] = {{smtpAuthPlain, "s3cret", 0},
                             {smtpAuthLogin, "s3cret", 0},
                             {smtpAuthAutoSelect, "s3cret", 0},
                             {smtpAuthLogin, "wrong", 535},
                             {smtpAuthPlain, "wrong", 535}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    client.AuthType = c.type;
    client.Username = "tarn";
    client.Password = c.password;
    // The envelope sender plays no part in the login.
    client.FromName = "\"Tarn Wick\" <tarn@client.test>";
    client.Open();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpOpen, c.code}))
        << client.ErrorMessage().str() << rec.display.back();
    EXPECT_TRUE(client.Esmtp());
    EXPECT_GE(client.AuthTypesSupported().IndexOf("LOGIN"), 0);
    EXPECT_GE(client.AuthTypesSupported().IndexOf("PLAIN"), 0);
    if (c.code != 0) {
      // The failed login quits nothing by itself; the first refusal is kept.
      EXPECT_EQ(client.ErrorMessage().SubString(1, 3).str(), "535");
    } else {
      sendOneMessage();
      EXPECT_NE(delivered().find("AUTH True"), std::string::npos);
    }
    client.Quit();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
    std::remove(mailbox.c_str());
  }
}

TEST_F(SmtpServer, ARefusedRecipientIsIgnoredOnRequestAndALastRefusalEndsTheRequest) {
  client.Open();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpOpen, 0}));
  std::vector<std::pair<int, int>> asked;
  client.OnRcptToError = [&](TObject*, WORD code, int idx, TSmtpRcptToErrorAction& action) {
    asked.emplace_back(code, idx);
    action = srteIgnore;
  };
  client.FromName = "tarn@client.test";
  client.MailFrom();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpMailFrom, 0}));
  client.RcptNameAdd("a@peer.test;b@refused.example;c@peer.test", "", "");
  client.RcptTo();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRcptTo, 0}));
  EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{550, 1}}));

  client.RcptName()->Clear();
  client.RcptNameAdd("d@peer.test", "e@refused.example", "");
  client.RcptTo();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpRcptTo, 550}));
  EXPECT_EQ(client.ErrorMessage().SubString(1, 3).str(), "550");
  EXPECT_EQ(asked.size(), 1u);  // the last recipient's refusal asks nothing
  client.Quit();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
}

TEST_F(SmtpServer, AuthAfterHeloEndsAtOnceWithoutSendingAndTheBusyComponentRefusesCommands) {
  client.Connect();
  EXPECT_THROW(client.Helo(), SmtpException);  // still connecting: not ready
  ASSERT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  EXPECT_THROW(client.Connect(), SmtpException);
  client.Helo();
  ASSERT_EQ(rec.next(), (RequestEnd{smtpHelo, 0}));
  const std::size_t shown = rec.display.size();
  client.AuthType = smtpAuthLogin;
  client.Auth();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpAuth, 500}));
  EXPECT_EQ(client.ErrorMessage().str(), "500 ESMTP not supported.");
  EXPECT_EQ(rec.display.size(), shown);
  client.Quit();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
}

TEST(SmtpConnection, QuitWhileNotConnectedEndsWithZeroThroughThePostedMessage) {
  TCustomSmtpClient client(nullptr);
  SmtpRecorder rec;
  rec.attach(client);
  client.Quit();
  EXPECT_TRUE(rec.ends.empty());  // never from inside the call
  EXPECT_EQ(rec.next(), (RequestEnd{smtpQuit, 0}));
  EXPECT_THROW(client.Helo(), SmtpException);
  EXPECT_THROW(client.RcptTo(), SmtpException);
}

TEST(SmtpConnection, ARefusedConnectionEndsTheRequestWithTheWinsockCode) {
  const int port = peer::unusedPort();
  TCustomSmtpClient client(nullptr);
  SmtpRecorder rec;
  rec.attach(client);
  client.Host = "127.0.0.1";
  client.Port = AnsiString(std::to_string(port));
  client.Connect();
  EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 10061}));
  EXPECT_EQ(client.LastResponse().SubString(1, 4).str(), "500 ");
  EXPECT_NE(client.LastResponse().Pos("(Winsock error #10061)"), 0);
  EXPECT_FALSE(client.Connected());
  EXPECT_EQ(client.State(), smtpReady);
}

// --- The mailers against the real server, the message read back by Python's email package ---

// The MIME tree of a delivered message, as tests/smtp/mime_tree.py prints it.
std::string mimeTree(const std::string& file) {
  QProcess python;
  python.start("/usr/bin/python3", {MIME_TREE_SCRIPT, QString::fromStdString(file)});
  python.waitForFinished(20000);
  return (python.readAllStandardOutput() + python.readAllStandardError()).toStdString();
}

// A file of every byte value, size bytes long; returns its MD5 as mime_tree.py prints it.
std::string writeBytes(const std::string& name, std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>((i * 7 + 3) % 256);
  std::ofstream(name, std::ios::binary) << bytes;
  return StrMD5(bytes).str();
}

std::string type(const char* fileName) { return FilenameToContentType(fileName).str(); }

TStringList listOf(std::initializer_list<const char*> lines) {
  TStringList list;
  for (const char* line : lines) list.Add(line);
  return list;
}

// Logs in with the blocking calls and addresses one message.
template <class Client>
void openAndAddress(Client& client, int port) {
  client.Host = "127.0.0.1";
  client.Port = AnsiString(std::to_string(port));
  client.SignOn = "client.test";
  client.AuthType = smtpAuthAutoSelect;
  client.Username = "tarn";
  client.Password = "s3cret";
  ASSERT_TRUE(client.OpenSync()) << client.ErrorMessage().str();
  client.FromName = "tarn@client.test";
  client.RcptName()->Add("one@peer.test");
  client.HdrFrom = "Tarn <tarn@client.test>";
  client.HdrTo = "one@peer.test";
  client.HdrSubject = "With files";
}

class SmtpServerMailers : public SmtpServer {};

TEST_F(SmtpServerMailers, TwoAttachmentsArriveAsAMixedMessageAndDecodeToTheirFiles) {
  const std::string first = writeBytes("report.pdf", 1000);
  const std::string second = writeBytes("table.bin", 540);  // a multiple of 54
  TSyncSmtpCli mailer(nullptr);
  ASSERT_NO_FATAL_FAILURE(openAndAddress(mailer, peer->port()));
  mailer.SetMailMessage(listOf({"Two files.", ".", "Bye"}));
  mailer.SetEmailFiles(listOf({"report.pdf", "table.bin"}));
  ASSERT_TRUE(mailer.MailSync()) << mailer.ErrorMessage().str();
  EXPECT_TRUE(mailer.QuitSync());
  EXPECT_EQ(mimeTree(mailbox + ".1.eml"),
            "multipart/mixed\n"
            "  text/plain text='Two files.\\n.\\nBye\\n'\n"
            "  " +
                type("report.pdf") + " disposition=attachment filename=report.pdf md5=" + first +
                "\n  " + type("table.bin") +
                " disposition=attachment filename=table.bin md5=" + second + "\ndefects 0\n");
}

TEST_F(SmtpServerMailers, AnHtmlMailHoldsTheAlternativeTextsThenTheImagesThenTheFile) {
  const std::string logo = writeBytes("logo.gif", 2000);
  const std::string photo = writeBytes("photo.jpg", 3003);
  const std::string notes = writeBytes("notes.zip", 108);
  TSyncHtmlSmtpCli mailer(nullptr);
  ASSERT_NO_FATAL_FAILURE(openAndAddress(mailer, peer->port()));
  const TStringList plain = listOf({"Plain words, caf\xE9.", ".", std::string(200, 'p').c_str()});
  mailer.SetPlainText(&plain);
  const TStringList html =
      listOf({"<html><body>", "<p>See <img src=\"cid:IMAGE1\"> and <img src=\"cid:IMAGE2\">.</p>",
              (std::string(100, 'h') + " = " + std::string(100, 'h')).c_str(), "</body></html>"});
  mailer.SetHtmlText(&html);
  mailer.SetEmailImages(listOf({"logo.gif", "photo.jpg"}));
  mailer.SetEmailFiles(listOf({"notes.zip"}));
  ASSERT_TRUE(mailer.MailSync()) << mailer.ErrorMessage().str();
  EXPECT_TRUE(mailer.QuitSync());
  const std::string longPlain(200, 'p');
  const std::string longHtml = std::string(100, 'h') + " = " + std::string(100, 'h');
  EXPECT_EQ(mimeTree(mailbox + ".1.eml"),
            "multipart/related\n"
            "  multipart/alternative\n"
            "    text/plain text='Plain words, caf\\xe9.\\n.\\n" +
                longPlain +
                "\\n'\n"
                "    text/html text='<html><body>\\n<p>See <img src=\"cid:IMAGE1\"> and <img "
                "src=\"cid:IMAGE2\">.</p>\\n" +
                longHtml +
                "\\n</body></html>\\n'\n"
                "  image/gif Content-ID=<IMAGE1> disposition=inline filename=logo.gif md5=" +
                logo +
                "\n  image/jpeg Content-ID=<IMAGE2> disposition=inline filename=photo.jpg md5=" +
                photo + "\n  " + type("notes.zip") +
                " X-File-ID=<FILE1> disposition=attachment filename=notes.zip md5=" + notes +
                "\ndefects 0\n");
}

}  // namespace
