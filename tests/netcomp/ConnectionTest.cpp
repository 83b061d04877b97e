// Connecting, listening, accepting, receiving and closing against real sockets on 127.0.0.1,
// with the states and events in the orders the component promises.
#include <gtest/gtest.h>

#include <QDir>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

namespace {

using Log = std::vector<std::string>;

void aimAt(TWSocket& s, int port, const char* proto = "tcp") {
  s.SetAddr("127.0.0.1");
  s.SetRemotePort(text(port));
  s.SetProto(proto);
}

// Records every read the receive loop makes and how many offers each read notice brought.
class ProbeSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
  std::vector<int> readSizes;
  int notices = 0;
  int offersThisNotice = 0;
  int mostOffersInANotice = 0;
  int offers = 0;
  int bytesRead = 0;
  void countOffer() {
    ++offers;
    mostOffersInANotice = std::max(mostOffersInANotice, ++offersThisNotice);
  }

 protected:
  int DoRecv(void* Buffer, int BufferSize, int Flags) override {
    int n = TWSocket::DoRecv(Buffer, BufferSize, Flags);
    if (BufferSize > 0 && Flags == 0) readSizes.push_back(BufferSize);
    if (n > 0 && Flags == 0) bytesRead += n;
    return n;
  }
  void Do_FD_READ(TMessage& msg) override {
    ++notices;
    offersThisNotice = 0;
    TWSocket::Do_FD_READ(msg);
  }
};

// A client connected to a peer of the server, with its events recorded.
struct ConnectedClient {
  peer::Server server;
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s{nullptr};
  int fd = -1;
  ConnectedClient() {
    r.attach(s);
    aimAt(s, server.port());
    s.Connect();
    fd = server.accept();
    pumpUntil([&] { return s.State() == wsConnected; });
  }
  ~ConnectedClient() { peer::close(fd); }
};

// The open descriptors of this process.
int openDescriptors() {
  return static_cast<int>(QDir("/proc/self/fd")
                              .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                              .size());
}

}  // namespace

TEST(Connection, ARefusedConnectionPassesThroughConnectedThenCloses) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  aimAt(s, peer::unusedPort());
  s.Connect();
  ASSERT_TRUE(pumpUntil([&] { return r.has("closed 0"); }));
  EXPECT_EQ(r.log, (Log{"state wsClosed>wsOpened", "state wsOpened>wsConnecting",
                        "state wsConnecting>wsConnected", "connected 10061",
                        "state wsConnected>wsClosed", "closed 0"}));
}

TEST(Connection, AClientConnectsSendsReceivesAndIsClosedByThePeer) {
  peer::Server server;
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  AnsiString received;
  s.OnDataAvailable = [&](TObject*, WORD) { received += s.ReceiveStr(); };
  aimAt(s, server.port());
  s.Connect();
  int fd = server.accept();
  ASSERT_TRUE(pumpUntil([&] { return r.has("connected 0"); }));
  EXPECT_EQ(s.GetPeerAddr(), "127.0.0.1");
  EXPECT_EQ(s.GetPeerPort(), text(server.port()));
  EXPECT_EQ(s.SendStr("hello"), 5);
  EXPECT_EQ(peer::receive(fd, 5), "hello");
  peer::sendAll(fd, "world");
  ASSERT_TRUE(pumpUntil([&] { return received == "world"; }));
  EXPECT_EQ(s.ReadCount(), 5);
  peer::close(fd);
  ASSERT_TRUE(pumpUntil([&] { return s.State() == wsClosed; }));
  EXPECT_EQ(r.log, (Log{"state wsClosed>wsOpened", "state wsOpened>wsConnecting",
                        "state wsConnecting>wsConnected", "connected 0", "sent 0", "sent 0",
                        "closed 0", "state wsConnected>wsClosed"}));
}

TEST(Connection, AfterACloseAddrAndPortMustBeGivenAgain) {
  peer::Server server;
  TWSocket s(nullptr);
  aimAt(s, server.port());
  s.Connect();
  s.Close();
  EXPECT_EQ(s.GetProto(), "tcp");
  EXPECT_EQ(s.GetLocalPort(), "0");
  EXPECT_EQ(refusalOf([&] { s.Connect(); }), "Connect: No Port Specified");
  s.SetRemotePort(text(server.port()));
  s.SetAddr("127.0.0.1");
  EXPECT_EQ(refusalOf([&] { s.Connect(); }), "");
  EXPECT_EQ(s.State(), wsConnecting);
}

TEST(Connection, AnFdCloseWhileConnectingChangesNothing) {
  peer::Server server;
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  aimAt(s, server.port());
  s.Connect();
  ASSERT_EQ(s.State(), wsConnecting);
  r.log.clear();
  PostMessageA(s.Handle(), WM_USER + 1, static_cast<WPARAM>(s.HSocket()), MAKELONG(FD_CLOSE, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  DispatchMessageA(&msg);
  EXPECT_EQ(s.State(), wsConnecting);
  EXPECT_TRUE(r.log.empty());
  ASSERT_TRUE(pumpUntil([&] { return s.State() == wsConnected; }));
}

TEST(Connection, ALateNoticeForAClosedHandleIsDropped) {
  peer::Server server;
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  aimAt(s, server.port());
  s.Connect();
  SOCKET old = s.HSocket();
  s.Close();
  aimAt(s, server.port());
  s.Connect();
  r.log.clear();
  PostMessageA(s.Handle(), WM_USER + 1, static_cast<WPARAM>(old), MAKELONG(FD_CLOSE, 0));
  pumpFor(50);
  EXPECT_EQ(s.State(), wsConnected);
  EXPECT_FALSE(r.has("closed 0"));
}

TEST(Connection, ADatagramConnectIsConnectedAtOnceAndSendsToThePeer) {
  int port = 0;
  int udp = peer::udpSocket(&port);
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  aimAt(s, port, "udp");
  s.Connect();
  EXPECT_EQ(r.log, (Log{"state wsClosed>wsOpened", "state wsOpened>wsConnected", "connected 0"}));
  EXPECT_EQ(s.SendStr("ping"), 4);
  EXPECT_EQ(peer::udpReceive(udp), "ping");
  peer::close(udp);
}

TEST(Connection, ADatagramListenPassesBoundListeningConnectedAndReceives) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  AnsiString received;
  s.OnDataAvailable = [&](TObject*, WORD) {
    char buffer[100];
    sockaddr_in from{};
    int fromLen = sizeof from;
    int n = s.ReceiveFrom(buffer, sizeof buffer, from, fromLen);
    if (n > 0) received = AnsiString(buffer, n);
  };
  s.SetAddr("127.0.0.1");
  s.SetRemotePort("0");
  s.SetProto("udp");
  s.Listen();
  EXPECT_EQ(r.log, (Log{"state wsClosed>wsBound", "state wsBound>wsListening",
                        "state wsListening>wsConnected", "connected 0"}));
  int port = 0;
  int udp = peer::udpSocket(&port);
  peer::udpSendTo(udp, s.GetXPort().ToInt(), "dgram");
  EXPECT_TRUE(pumpUntil([&] { return received == "dgram"; }));
  peer::close(udp);
}

TEST(Connection, AListeningSocketAcceptsSeveralClients) {
  TWSocket server(nullptr);
  std::vector<std::unique_ptr<TWSocket>> sessions;
  std::vector<AnsiString> got(3);
  server.OnSessionAvailable = [&](TObject*, WORD error) {
    ASSERT_EQ(error, 0);
    auto session = std::make_unique<TWSocket>(nullptr);
    session->Dup(server.Accept());
    TWSocket* raw = session.get();
    std::size_t index = sessions.size();
    raw->OnDataAvailable = [&got, raw, index](TObject*, WORD) { got[index] += raw->ReceiveStr(); };
    sessions.push_back(std::move(session));
  };
  server.SetAddr("127.0.0.1");
  server.SetRemotePort("0");
  server.Listen();
  int port = server.GetXPort().ToInt();
  std::vector<int> clients;
  for (int i = 0; i < 3; ++i) {
    clients.push_back(peer::connectTo(port));
    ASSERT_TRUE(pumpUntil([&] { return sessions.size() == static_cast<std::size_t>(i + 1); }));
    peer::sendAll(clients.back(), "client " + std::to_string(i));
  }
  ASSERT_TRUE(pumpUntil([&] { return got[2] == "client 2"; }));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i], AnsiString("client " + std::to_string(i)));
    EXPECT_EQ(sessions[i]->State(), wsConnected);
    EXPECT_EQ(sessions[i]->GetPeerAddr(), "127.0.0.1");
    peer::close(clients[i]);
  }
}

TEST(Connection, DataWithoutAHandlerIsReadIn1024BytePiecesAndDropped) {
  peer::Server server;
  ProbeSocket s(nullptr);
  aimAt(s, server.port());
  s.Connect();
  int fd = server.accept();
  peer::sendAll(fd, std::string(3000, 'd'));
  ASSERT_TRUE(pumpUntil([&] { return s.bytesRead == 3000; }));
  for (int size : s.readSizes) EXPECT_EQ(size, 1024);
  EXPECT_GE(s.readSizes.size(), 3u);
  EXPECT_EQ(s.GetRcvdCount(), 0);
  peer::close(fd);
}

TEST(Connection, NoReceiveLoopOffersTheRestOnlyAtTheNextNotice) {
  for (bool noLoop : {true, false}) {
    peer::Server server;
    ProbeSocket s(nullptr);
    if (noLoop) s.ComponentOptions.Include(wsoNoReceiveLoop);
    s.OnDataAvailable = [&](TObject*, WORD) {
      s.countOffer();
      char buffer[10];
      s.Receive(buffer, sizeof buffer);
    };
    aimAt(s, server.port());
    s.Connect();
    int fd = server.accept();
    ASSERT_TRUE(pumpUntil([&] { return s.State() == wsConnected; }));
    peer::sendAll(fd, std::string(100, 'n'));
    ASSERT_TRUE(pumpUntil([&] { return s.bytesRead == 100; })) << noLoop;
    if (noLoop) {
      EXPECT_EQ(s.mostOffersInANotice, 1);
      EXPECT_GE(s.notices, 10);
    } else {
      EXPECT_GT(s.mostOffersInANotice, 1);
    }
    peer::close(fd);
  }
}

// A handler that reads nothing must not be offered the same bytes forever.
TEST(Connection, AHandlerThatReadsNothingDoesNotSpinTheReceiveLoop) {
  peer::Server server;
  ProbeSocket s(nullptr);
  s.OnDataAvailable = [&](TObject*, WORD) { s.countOffer(); };
  aimAt(s, server.port());
  s.Connect();
  int fd = server.accept();
  peer::sendAll(fd, std::string(50, 'z'));
  ASSERT_TRUE(pumpUntil([&] { return s.offers > 0; }));
  pumpFor(100);
  EXPECT_LE(s.mostOffersInANotice, 1);
  EXPECT_EQ(s.GetRcvdCount(), 50);
  peer::close(fd);
}

TEST(Connection, AbortOfAConnectedSocketClosesGracefullyWithSessionClosedZero) {
  ConnectedClient c;
  ASSERT_EQ(c.s.State(), wsConnected);
  c.s.SendStr("tail");
  c.s.Abort();
  EXPECT_EQ(c.s.State(), wsClosed);
  EXPECT_TRUE(c.r.has("closed 0"));
  // Linger off: what the system still held goes out, then a close, not a reset.
  std::string rest;
  EXPECT_EQ(peer::endOf(c.fd, &rest), 0);
  EXPECT_EQ(rest, "tail");
  c.r.log.clear();
  c.s.Close();
  EXPECT_TRUE(c.r.log.empty());
}

TEST(Connection, AddressesOfAClosedSocketAreErrorWithoutAnyEvent) {
  TWSocket s(nullptr);
  bool error = false;
  s.OnError = [&](TObject*) { error = true; };
  EXPECT_EQ(s.GetPeerAddr(), "error");
  EXPECT_EQ(s.GetPeerPort(), "error");
  EXPECT_EQ(s.GetXPort(), "error");
  EXPECT_EQ(s.GetXAddr(), "error");
  EXPECT_FALSE(error);
}

TEST(Connection, SettingsChangeOnlyWhileClosedAndTheirOwnTextIsNoChange) {
  peer::Server server;
  TWSocket s(nullptr);
  aimAt(s, server.port());
  s.Connect();
  EXPECT_EQ(refusalOf([&] { s.SetProto("tcp"); }), "");
  EXPECT_EQ(refusalOf([&] { s.SetProto("udp"); }), "Cannot change Proto if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetAddr("127.0.0.1"); }), "");
  EXPECT_EQ(refusalOf([&] { s.SetAddr("127.0.0.2"); }), "Cannot change Addr if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetRemotePort("1"); }), "Cannot change Port if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetLocalPort("0"); }), "Cannot change LocalPort if not closed");
  EXPECT_EQ(refusalOf([&] { s.SetLocalAddr(""); }), "Cannot change LocalAddr if not closed");
}

TEST(Connection, AListenWhoseBindFailsLeavesNoDescriptorOpen) {
  peer::Server taken;
  for (bool withOnError : {false, true}) {
    TWSocket s(nullptr);
    int told = 0;
    if (withOnError) s.OnError = [&](TObject*) { ++told; };
    const int before = openDescriptors();
    for (int i = 0; i < 10; ++i) {
      aimAt(s, taken.port());
      const std::string refusal = refusalOf([&] { s.Listen(); });
      if (!withOnError) {
        EXPECT_EQ(refusal.rfind("Error 10048 in function Bind", 0), 0u) << refusal;
      }
      EXPECT_EQ(s.State(), wsClosed);
    }
    EXPECT_EQ(openDescriptors(), before) << (withOnError ? "with OnError" : "raising");
    if (withOnError) {
      EXPECT_EQ(told, 10);
    }
  }
}

TEST(Connection, AbortWhileALookUpAnswerIsQueuedClosesWithoutARefusal) {
  ConnectedClient c;
  ASSERT_EQ(c.s.State(), wsConnected);
  pumpFor(50);  // nothing else waits in the queue
  c.s.DnsLookup("localhost");
  // The look-up thread queues the answer; it waits undispatched, as nothing pumps.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message != WM_USER + 2)
    GTEST_SKIP() << "the look-up did not answer within 300 ms";
  EXPECT_EQ(refusalOf([&] { c.s.Abort(); }), "");
  EXPECT_EQ(c.s.State(), wsClosed);
  EXPECT_TRUE(c.r.has("closed 0"));
  EXPECT_TRUE(c.r.has("dns 10004"));
  pumpFor(50);
  EXPECT_FALSE(c.r.has("dns 0")) << "the cancelled look-up's answer is dropped";
  EXPECT_EQ(peer::endOf(c.fd), 0);
}

TEST(Connection, NoticesQueuedBeforeAPauseAreDropped) {
  ConnectedClient c;
  ASSERT_EQ(c.s.State(), wsConnected);
  int offers = 0;
  c.s.OnDataAvailable = [&](TObject*, WORD) {
    ++offers;
    c.s.ReceiveStr();
  };
  PostMessageA(c.s.Handle(), WM_USER + 1, static_cast<WPARAM>(c.s.HSocket()), MAKELONG(FD_READ, 0));
  c.s.Pause();
  peer::sendAll(c.fd, "while paused");
  pumpFor(100);
  EXPECT_EQ(offers, 0);
  c.s.Resume();
  EXPECT_TRUE(pumpUntil([&] { return offers > 0; }));
}

// A connect of a raw socket completes at once and ends connected (needs the privilege to open
// raw sockets).
TEST(Connection, ARawConnectEndsConnected) {
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s);
  s.SetAddr("127.0.0.1");
  s.SetRemotePort("0");
  s.SetProto("1");  // ICMP
  const std::string refusal = refusalOf([&] { s.Connect(); });
  if (refusal.find("Connect (socket)") != std::string::npos)
    GTEST_SKIP() << "no privilege for raw sockets: " << refusal;
  ASSERT_EQ(refusal, "");
  ASSERT_TRUE(pumpUntil([&] { return s.State() == wsConnected; }));
  EXPECT_TRUE(r.has("connected 0"));
}
