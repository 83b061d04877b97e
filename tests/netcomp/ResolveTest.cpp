// Resolution of hosts, ports and protocols, the asynchronous look-ups and the error texts.
#include <gtest/gtest.h>

#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

TEST(Resolve, DottedAddressesAreToldFromTheRest) {
  struct Case {
    const char* text;
    bool dotted;
  } cases[] = {{"1.2.3.4", true},    {"  10.0.0.1  ", true}, {"1.2.3", false},
               {"1.2.3.4.5", false}, {"256.1.1.1", false},   {"1..2.3", false},
               {"1.2.3.", false},    {"a.b.c.d", false},     {"", false},
               {".1.2.3", false},    {"1.2.3.999", false}};
  for (const auto& c : cases) EXPECT_EQ(WSocketIsDottedIP(c.text), c.dotted) << c.text;
}

TEST(Resolve, HostsPortsAndProtocols) {
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(WSocket_ntohl(WSocketResolveHost(" 127.0.0.1 ")), 0x7F000001u);
  EXPECT_EQ(WSocket_ntohl(WSocketResolveHost("localhost")), 0x7F000001u);
  EXPECT_EQ(refusalOf([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
  EXPECT_EQ(WSocketResolvePort("80", "tcp"), 80);
  EXPECT_EQ(WSocketResolvePort("8080abc", "tcp"), 8080);
  EXPECT_EQ(WSocketResolvePort("http", "tcp"), 80);
  EXPECT_EQ(WSocketResolvePort("smtp", "tcp"), 25);
  EXPECT_EQ(refusalOf([] { WSocketResolvePort("nosuchservice", "tcp"); }),
            "WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004");
  EXPECT_EQ(refusalOf([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(refusalOf([] { WSocketResolvePort("80", ""); }), "WSocketResolvePort: Invalid Proto.");
  EXPECT_EQ(WSocketResolveProto("UDP"), 17);
  EXPECT_EQ(WSocketResolveProto(" raw "), 255);
  EXPECT_EQ(WSocketResolveProto("6"), 6);
  EXPECT_EQ(WSocketResolveProto("icmp"), 1);
  EXPECT_EQ(refusalOf([] { WSocketResolveProto("nosuchproto"); }),
            "WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004");
}

TEST(Resolve, ErrorTexts) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {{0, "No Error"},
               {10035, "Operation would block"},
               {10054, "Connection reset by peer"},
               {10061, "Connection refused"},
               {10093, "WinSock not initialized"},
               {11001, "Host not found"},
               {11004, "No Data"},
               {10072, "Not a WinSock error"},
               {-1, "Not a WinSock error"}};
  for (const auto& c : cases) EXPECT_EQ(WSocketErrorDesc(c.code), c.text) << c.code;
}

TEST(Resolve, ADottedLookUpAnswersBeforeItReturns) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.DnsLookup("127.0.0.1");
  EXPECT_EQ(r.log, (std::vector<std::string>{"dns 0"}));
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  EXPECT_EQ(s.DnsResultList()->Count(), 1);
}

TEST(Resolve, ANameLookUpAnswersLaterFromTheMessageLoop) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.DnsLookup("localhost");
  EXPECT_TRUE(r.log.empty());
  ASSERT_TRUE(pumpUntil([&] { return !r.log.empty(); }));
  EXPECT_EQ(r.log, (std::vector<std::string>{"dns 0"}));
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
}

TEST(Resolve, ASecondLookUpCancelsTheFirstAndOnlyItsAnswerIsTold) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.DnsLookup("localhost");
  s.DnsLookup("localhost");
  ASSERT_TRUE(pumpUntil([&] { return !r.log.empty(); }));
  pumpFor(100);
  EXPECT_EQ(r.log, (std::vector<std::string>{"dns 0"}));
}

TEST(Resolve, CancelOfAPendingLookUpTellsInterrupted) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.CancelDnsLookup();  // nothing pending: nothing happens
  EXPECT_TRUE(r.log.empty());
  s.OnError = [](TObject*) {};  // a look-up already answered cannot be cancelled
  s.DnsLookup("localhost");
  s.CancelDnsLookup();
  pumpFor(100);
  if (s.LastError() == WSAEALREADY) GTEST_SKIP() << "the answer came before the cancel";
  EXPECT_EQ(r.log, (std::vector<std::string>{"dns 10004"}));
}

TEST(Resolve, AReverseLookUpGivesTheHostName) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(pumpUntil([&] { return !r.log.empty(); }));
  EXPECT_EQ(r.log[0], "dns 0");
  EXPECT_FALSE(s.DnsResult().IsEmpty());
}

TEST(Resolve, TheLocalAddressListIsOneListRefilledOnEachCall) {
  TStringList* first = LocalIPList();
  TStringList* second = LocalIPList();
  EXPECT_EQ(first, second);
  EXPECT_FALSE(LocalHostName().IsEmpty());
}
