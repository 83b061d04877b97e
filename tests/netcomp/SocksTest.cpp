// SOCKS 4, 4A and 5 through Debian's dante-server and through scripted proxies on 127.0.0.1
// that check the exact request bytes and play the replies a real proxy rarely gives.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Dante.h"
#include "Pump.h"
#include "Recorder.h"
#include "ScriptedPeer.h"
#include "netcomp/WSocket.h"

namespace {

using Log = std::vector<std::string>;

// Records the socket's events and the SOCKS events, and collects the data offered.
struct SocksRecorder : Recorder {
  std::string data;
  void attachSocks(TWSocket& s) {
    attach(s);
    s.OnChangeState = nullptr;  // the states are the core's business
    s.OnDataSent = nullptr;
    s.OnSocksConnected = [this](TObject*, WORD e) {
      log.push_back("socks connected " + std::to_string(e));
    };
    s.OnSocksError = [this](TObject*, int e, const AnsiString& m) {
      log.push_back("socks error " + std::to_string(e) + " " + m.str());
    };
    s.OnSocksAuthState = [this](TObject*, TSocksAuthState a) {
      static const char* const names[] = {"start", "success", "failure", "not required"};
      log.push_back(std::string("auth ") + names[a]);
    };
    s.OnDataAvailable = [this, &s](TObject*, WORD) { data += s.ReceiveStr().str(); };
  }
};

void aimThroughProxy(TWSocket& s, int proxyPort, const char* level, const AnsiString& addr,
                     int port) {
  s.SetSocksServer("127.0.0.1");
  s.SetSocksPort(text(proxyPort));
  s.SetSocksLevel(level);
  s.SetAddr(addr);
  s.SetRemotePort(text(port));
}

std::string port80() { return bytes({0x00, 0x50}); }

}  // namespace

// --- Scripted proxies: exact bytes ---

TEST(Socks, Level5GrantServesTheBytesThatCameWithTheReplyBeforeTheSocket) {
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 0})), expectBytes(16),
                      reply(bytes({5, 0, 0, 3, 9}) + "localhost" + port80() + "extra"), pause(100),
                      reply("more")});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.data == "extramore"; })) << r.data;
  EXPECT_EQ(proxy.received(), bytes({5, 1, 0}) + bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + port80());
  EXPECT_EQ(r.log, (Log{"socks connected 0", "connected 0"}));
  EXPECT_EQ(s.BoundAddr(), "localhost");
  EXPECT_EQ(s.BoundPort(), "80");
  EXPECT_EQ(s.GetSocksLevel(), "5");
}

TEST(Socks, Level5UsernamePasswordRepliesJudgedOnlyWhenWhole) {
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 2})), expectBytes(13),
                      replySlowly(bytes({1, 0})), expectBytes(16),
                      reply(bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x90}))});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  s.SocksAuthentication = socksAuthenticateUsercode;
  s.SocksUsercode = "user";
  s.SocksPassword = "secret";
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("connected 0"); }));
  EXPECT_EQ(proxy.received(), bytes({5, 1, 2}) + bytes({1, 4}) + "user" + bytes({6}) + "secret" +
                                  bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + port80());
  EXPECT_EQ(r.log, (Log{"socks connected 0", "auth start", "auth success", "connected 0"}));
  EXPECT_EQ(s.BoundAddr(), "127.0.0.1");
  EXPECT_EQ(s.BoundPort(), "8080");
}

TEST(Socks, Level5OfferedPasswordButNotAskedForIt) {
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 0})), expectBytes(16),
                      reply(bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}))});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  s.SocksAuthentication = socksAuthenticateUsercode;
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("connected 0"); }));
  EXPECT_EQ(r.log, (Log{"socks connected 0", "auth not required", "connected 0"}));
}

// A bound host name longer than a small reply buffer would hold still completes the reply.
TEST(Socks, Level5ReplyWithALongBoundHostNameIsGranted) {
  std::string host(200, 'h');
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 0})), expectBytes(16),
                      reply(bytes({5, 0, 0, 3, 200}) + host + port80() + "tail")});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("connected 0") && r.data == "tail"; })) << r.data;
  EXPECT_EQ(s.BoundAddr(), AnsiString(host));
}

TEST(Socks, Level4And4ARequestBytes) {
  struct Case {
    const char* level;
    const char* user;
    const char* addr;
    std::string request;
  } cases[] = {
      {"4", "", "10.0.0.1", bytes({4, 1, 0, 0x50, 10, 0, 0, 1, 0})},
      {"4a", "bob", "example.test",
       bytes({4, 1, 0, 0x50, 0, 0, 0, 1}) + "bob" + bytes({0}) + "example.test" + bytes({0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    ScriptedPeer proxy(
        {expectBytes(c.request.size()), reply(bytes({0, 90, 0, 0x50, 10, 0, 0, 1}) + "after")});
    SocksRecorder r;
    TWSocket s(nullptr);
    r.attachSocks(s);
    s.SocksUsercode = c.user;
    aimThroughProxy(s, proxy.port(), c.level, c.addr, 80);
    s.Connect();
    ASSERT_TRUE(pumpUntil([&] { return r.data == "after"; })) << r.data;
    EXPECT_EQ(proxy.received(), c.request);
    EXPECT_EQ(r.log, (Log{"socks connected 0", "connected 0"}));
  }
}

// Every failed negotiation: OnSocksError, then OnSessionConnected with the same code, then
// the socket closed; nothing of it reaches OnDataAvailable.
TEST(Socks, RefusalsAndBadRepliesFailWithTheirCodes) {
  const std::string greeting5 = bytes({5, 1, 0});
  struct Case {
    const char* level;
    bool password;
    std::vector<PeerStep> script;
    int code;
    std::string text;
  } cases[] = {
      {"5",
       false,
       {expectBytes(3), reply(bytes({5, 0xFF}))},
       20003,
       "authentification method not acceptable"},
      {"5", false, {expectBytes(3), reply(bytes({4, 0}))}, 20002, "socks version error"},
      {"5",
       true,
       {expectBytes(3), reply(bytes({5, 2})), expectBytes(3), reply(bytes({1, 1}))},
       20015,
       "socks authentication failed"},
      {"5",
       true,
       {expectBytes(3), reply(bytes({5, 2})), expectBytes(3), reply(bytes({1, 0, 0}))},
       20001,
       "too much data availaible"},
      {"5",
       false,
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16), reply(bytes({5, 5}))},
       20008,
       "connection refused"},
      {"5",
       false,
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16), reply(bytes({5, 2}))},
       20005,
       "connection not allowed by ruleset"},
      {"5",
       false,
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16), reply(bytes({5, 9}))},
       20012,
       "unassigned error #9"},
      {"5",
       false,
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16), reply(bytes({5, 0, 0, 4, 0}))},
       20011,
       "address type not supported"},
      {"4",
       false,
       {expectBytes(9), reply(bytes({0, 91, 0, 0, 0, 0, 0, 0}))},
       20016,
       "request rejected or failed"},
      {"4",
       false,
       {expectBytes(9), reply(bytes({0, 92, 0, 0, 0, 0, 0, 0}))},
       20008,
       "connection refused"},
      {"4",
       false,
       {expectBytes(9), reply(bytes({0, 93, 0, 0, 0, 0, 0, 0}))},
       20015,
       "authentification failed"},
      {"4",
       false,
       {expectBytes(9), reply(bytes({0, 94, 0, 0, 0, 0, 0, 0}))},
       20012,
       "unassigned error #94"},
      {"4",
       false,
       {expectBytes(9), reply(bytes({4, 90, 0, 0, 0, 0, 0, 0}))},
       20002,
       "socks version error"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " " + c.text);
    ScriptedPeer proxy(c.script);
    SocksRecorder r;
    TWSocket s(nullptr);
    r.attachSocks(s);
    if (c.password) {
      s.SocksAuthentication = socksAuthenticateUsercode;
      s.SocksUsercode = "u";
    }
    aimThroughProxy(s, proxy.port(), c.level, "127.0.0.1", 80);
    s.Connect();
    std::string code = std::to_string(c.code);
    ASSERT_TRUE(pumpUntil([&] { return r.has("closed " + code); }));
    Log expected{"socks connected 0"};
    if (c.password) expected.push_back("auth start");
    for (const std::string& e :
         {"socks error " + code + " " + c.text, "connected " + code, "closed " + code})
      expected.push_back(e);
    EXPECT_EQ(r.log, expected);
    EXPECT_EQ(r.data, "");
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.GetSocksServer(), "");  // the settings are back at their defaults
  }
}

TEST(Socks, Level4DestinationThatDoesNotResolveClosesWithoutASession) {
  ScriptedPeer proxy({});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  AnsiString longName(std::string(300, 'x'));
  aimThroughProxy(s, proxy.port(), "4", longName, 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("closed 20017"); }));
  EXPECT_EQ(r.log, (Log{"socks connected 0",
                        "socks error 20017 ESocketException WSocketResolveHost: '" +
                            longName.str() + "' Invalid Hostname.",
                        "closed 20017"}));
}

TEST(Socks, ARefusedProxyConnectionIsReportedTwice) {
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  aimThroughProxy(s, peer::unusedPort(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("closed 0"); }));
  EXPECT_EQ(r.log, (Log{"socks connected 10061", "connected 10061", "closed 0"}));
}

TEST(Socks, SettingsAreRefusedUnlessClosedAndReturnToDefaultsAfterAClose) {
  TWSocket s(nullptr);
  s.SetSocksLevel("4a");
  EXPECT_EQ(s.GetSocksLevel(), "4A");
  for (const char* bad : {"4b", "5A", "", "6"})
    EXPECT_EQ(refusalOf([&] { s.SetSocksLevel(bad); }), "Invalid socks level. Must be 4, 4A or 5.");
  EXPECT_EQ(s.GetSocksLevel(), "4A");
  s.SetSocksServer("  127.0.0.1 ");
  EXPECT_EQ(s.GetSocksServer(), "127.0.0.1");
  s.SetAddr("127.0.0.1");
  s.SetRemotePort("80");
  EXPECT_EQ(refusalOf([&] { s.Listen(); }), "Listening is not supported thru socks server");
  s.SetProto("udp");
  EXPECT_EQ(refusalOf([&] { s.Connect(); }),
            "tcp is the only protocol supported thru socks server");

  ScriptedPeer proxy({expectBytes(3)});
  s.SetProto("tcp");
  s.SetSocksPort(text(proxy.port()));
  s.SetSocksLevel("5");
  s.SocksUsercode = "kept";
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return proxy.received().size() == 3; }));
  EXPECT_EQ(refusalOf([&] { s.SetSocksLevel("4"); }), "Can't change socks level if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetSocksPort("1080"); }), "Can't change socks port if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetSocksServer("x"); }), "Can't change socks server if not closed");
  s.Close();
  EXPECT_EQ(s.GetSocksServer(), "");
  EXPECT_EQ(s.GetSocksPort(), "");
  EXPECT_EQ(s.GetSocksLevel(), "5");
  EXPECT_EQ(s.SocksUsercode, "kept");
  EXPECT_EQ(s.SocksState(), socksData);
}

TEST(Socks, LineModeAppliesToDataThatCameWithTheLevel5Reply) {
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 0})), expectBytes(16),
                      reply(bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80}) + "one\r\ntwo\r\nthr")});
  TWSocket s(nullptr);
  std::vector<std::string> lines;
  s.OnDataAvailable = [&](TObject*, WORD) { lines.push_back(s.ReceiveStr().str()); };
  s.SetLineMode(true);
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return lines.size() == 2; }));
  EXPECT_EQ(lines, (std::vector<std::string>{"one\r\n", "two\r\n"}));
}

// --- Through dante-server ---

namespace {

std::unique_ptr<Dante> startDante(const Dante::Options& options) {
  auto dante = Dante::start(options);
  if (dante && !dante->running()) ADD_FAILURE() << "danted did not start:\n" << dante->log();
  return dante;
}

}  // namespace

TEST(SocksDante, Levels4And5ReachTheDestination) {
  auto dante = startDante({});
  if (!dante) GTEST_SKIP() << Dante::missingMessage();
  ASSERT_TRUE(dante->running());
  for (const char* level : {"5", "4"}) {
    SCOPED_TRACE(level);
    ScriptedPeer destination({reply("welcome\r\n"), expectBytes(4)});
    SocksRecorder r;
    TWSocket s(nullptr);
    r.attachSocks(s);
    aimThroughProxy(s, dante->port(), level, "127.0.0.1", destination.port());
    s.Connect();
    ASSERT_TRUE(pumpUntil([&] { return r.data == "welcome\r\n"; })) << dante->log();
    EXPECT_EQ(r.log, (Log{"socks connected 0", "connected 0"}));
    s.SendStr("ping");
    ASSERT_TRUE(pumpUntil([&] { return destination.received() == "ping"; }));
    s.Close();
  }
}

TEST(SocksDante, RefusalsOfARealProxy) {
  ScriptedPeer blocked({});
  auto dante = startDante({false, blocked.port()});
  if (!dante) GTEST_SKIP() << Dante::missingMessage();
  ASSERT_TRUE(dante->running());
  int closedPort = peer::unusedPort();
  struct Case {
    const char* level;
    int port;
    int code;
    const char* text;
  } cases[] = {
      {"5", blocked.port(), 20005, "connection not allowed by ruleset"},
      {"4A", closedPort, 20016, "request rejected or failed"},  // dante serves no level 4A
      {"4", blocked.port(), 20016, "request rejected or failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + " " + c.level);
    SocksRecorder r;
    TWSocket s(nullptr);
    r.attachSocks(s);
    aimThroughProxy(s, dante->port(), c.level, "127.0.0.1", c.port);
    s.Connect();
    std::string code = std::to_string(c.code);
    ASSERT_TRUE(pumpUntil([&] { return r.has("closed " + code); })) << dante->log();
    EXPECT_EQ(r.log, (Log{"socks connected 0", "socks error " + code + " " + c.text,
                          "connected " + code, "closed " + code}));
  }
  peer::close(peer::connectTo(blocked.port()));  // lets the blocked destination's script end
}

// dante checks the user name and password against system accounts; a wrong password for
// "nobody" is refused without creating any account.
TEST(SocksDante, Level5WrongPasswordIsRefused) {
  auto dante = startDante({true, 0});
  if (!dante) GTEST_SKIP() << Dante::missingMessage();
  ASSERT_TRUE(dante->running());
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  s.SocksAuthentication = socksAuthenticateUsercode;
  s.SocksUsercode = "nobody";
  s.SocksPassword = "not-the-password";
  aimThroughProxy(s, dante->port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("closed 20015"); })) << dante->log();
  EXPECT_EQ(r.log,
            (Log{"socks connected 0", "auth start", "socks error 20015 socks authentication failed",
                 "connected 20015", "closed 20015"}));
}

// A connect that the core refuses leaves no negotiation behind: the next connect without a
// proxy is a plain one.
TEST(Socks, ARefusedConnectLeavesNoNegotiationWaiting) {
  TWSocket s(nullptr);
  s.SetSocksServer("127.0.0.1");
  s.SetSocksPort("1080");
  s.SetRemotePort("80");
  EXPECT_EQ(refusalOf([&] { s.Connect(); }), "Connect: No IP Address Specified");
  EXPECT_EQ(s.SocksState(), socksData);
  ScriptedPeer direct({reply("plain")});
  SocksRecorder r;
  r.attachSocks(s);
  s.SetSocksServer("");
  s.SetAddr("127.0.0.1");
  s.SetRemotePort(text(direct.port()));
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.data == "plain"; })) << r.data;
  EXPECT_EQ(r.log, (Log{"connected 0"}));
  s.Close();  // lets the peer's script end
}

TEST(Socks, AProxyThatHangsUpDuringAuthenticationReportsTheFailure) {
  ScriptedPeer proxy({expectBytes(3), reply(bytes({5, 2})), expectBytes(4), hangUp()});
  SocksRecorder r;
  TWSocket s(nullptr);
  r.attachSocks(s);
  s.SocksAuthentication = socksAuthenticateUsercode;
  s.SocksUsercode = "u";
  aimThroughProxy(s, proxy.port(), "5", "127.0.0.1", 80);
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return s.State() == wsClosed; }));
  EXPECT_EQ(r.log, (Log{"socks connected 0", "auth start", "auth failure",
                        "socks error 20014 socks server closed the connection", "connected 20014",
                        "closed 20014"}));
}

TEST(Socks, AProxyThatClosesInTheMiddleOfItsReplyFailsTheNegotiation) {
  struct Case {
    const char* level;
    std::vector<PeerStep> script;
  } cases[] = {
      {"5", {expectBytes(3), reply(bytes({5})), hangUp()}},
      {"5",
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16), reply(bytes({5, 0, 0})), hangUp()}},
      {"5",
       {expectBytes(3), reply(bytes({5, 0})), expectBytes(16),
        reply(bytes({5, 0, 0, 3, 9}) + "local"), hangUp()}},
      {"4", {expectBytes(9), reply(bytes({0, 90, 0, 0})), hangUp()}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(std::string(c.level) + " after " + std::to_string(c.script.size()) + " steps");
    ScriptedPeer proxy(c.script);
    SocksRecorder r;
    TWSocket s(nullptr);
    r.attachSocks(s);
    aimThroughProxy(s, proxy.port(), c.level, "127.0.0.1", 80);
    s.Connect();
    ASSERT_TRUE(pumpUntil([&] { return s.State() == wsClosed; }));
    EXPECT_EQ(r.log,
              (Log{"socks connected 0", "socks error 20014 socks server closed the connection",
                   "connected 20014", "closed 20014"}));
    EXPECT_EQ(r.data, "");
  }
}
