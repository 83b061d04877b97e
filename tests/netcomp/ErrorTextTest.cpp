// The texts of the component's refusals and of SocketError, with the Winsock code's text.
#include <gtest/gtest.h>

#include <functional>

#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

TEST(ErrorTexts, RefusalsOfAClosedSocketSayWhatIsMissing) {
  struct Case {
    const char* what;
    std::function<void(TWSocket&)> act;
    const char* text;
  } cases[] = {
      {"connect without port", [](TWSocket& s) { s.Connect(); }, "Connect: No Port Specified"},
      {"connect without address",
       [](TWSocket& s) {
         s.SetRemotePort("80");
         s.Connect();
       },
       "Connect: No IP Address Specified"},
      {"connect without protocol",
       [](TWSocket& s) {
         s.SetRemotePort("80");
         s.SetAddr("127.0.0.1");
         s.SetProto("");
         s.Connect();
       },
       "Connect: No Protocol Specified"},
      {"unknown service",
       [](TWSocket& s) {
         s.SetRemotePort("nosuchservice");
         s.SetAddr("127.0.0.1");
         s.Connect();
       },
       "connect: WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004"},
      {"listen without port", [](TWSocket& s) { s.Listen(); },
       "Error 10022 in function listen: port not assigned\r\nInvalid argument"},
      {"send while closed", [](TWSocket& s) { s.SendStr("x"); },
       "Error 10057 in function Send\r\nSocket is not connected"},
      {"accept while closed", [](TWSocket& s) { s.Accept(); },
       "Error 10022 in function not a listening socket\r\nInvalid argument"},
      {"dup of nothing", [](TWSocket& s) { s.Dup(0); },
       "Error 10022 in function Dup\r\nInvalid argument"},
      {"send flags", [](TWSocket& s) { s.SetSendFlags(static_cast<TSocketSendFlags>(5)); },
       "Invalid SendFlags"},
      {"empty look-up", [](TWSocket& s) { s.DnsLookup(""); }, "DNS lookup: invalid host name."},
      {"empty reverse look-up", [](TWSocket& s) { s.ReverseDnsLookup(""); },
       "ReverseDnsLookup: Invalid host name."},
  };
  for (const auto& c : cases) {
    TWSocket s(nullptr);
    EXPECT_EQ(refusalOf([&] { c.act(s); }), c.text) << c.what;
  }
}

TEST(ErrorTexts, WithOnErrorNothingIsRaisedAndTheFailureReturns) {
  TWSocket s(nullptr);
  int errors = 0;
  s.OnError = [&](TObject* sender) {
    EXPECT_EQ(sender, &s);
    ++errors;
  };
  EXPECT_EQ(s.SendStr("x"), -1);
  EXPECT_EQ(s.LastError(), 10057);
  EXPECT_EQ(s.Accept(), INVALID_SOCKET);
  EXPECT_EQ(errors, 2);
  int dnsCode = -1;
  s.OnDnsLookupDone = [&](TObject*, WORD e) { dnsCode = e; };
  s.DnsLookup("");
  EXPECT_EQ(dnsCode, 10022);
}

TEST(ErrorTexts, ReceiveAllOnARawListeningSocketIsRefusedWithTheWinsockText) {
  TWSocket s(nullptr);
  s.SetAddr("127.0.0.1");
  s.SetRemotePort("0");
  s.SetProto("raw_icmp");
  s.ComponentOptions.Include(wsoSIO_RCVALL);
  std::string refusal = refusalOf([&] { s.Listen(); });
  if (refusal.find("in function socket") != std::string::npos)
    GTEST_SKIP() << "raw sockets need privileges here: " << refusal;
  EXPECT_EQ(refusal,
            "Error 10045 in function WSAIoctl(SIO_RCVALL)\r\nOperation not supported on socket");
}

TEST(ErrorTexts, AResetFoundBySocketErrorClosesTheSocket) {
  peer::Server server;
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.SetAddr("127.0.0.1");
  s.SetRemotePort(text(server.port()));
  s.Connect();
  int fd = server.accept();
  ASSERT_TRUE(pumpUntil([&] { return s.State() == wsConnected; }));
  peer::close(fd);
  WSocket_WSASetLastError(WSAECONNRESET);
  // Any failing call reports through SocketError; the reset closes the session.
  r.log.clear();
  s.OnError = [](TObject*) {};
  s.SetReqVerLow(s.GetReqVerLow() + 1);
  EXPECT_EQ(s.LastError(), WSAECONNRESET);
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_TRUE(r.has("closed 10054"));
}
