// The send queue: 1460-byte blocks handed to Winsock as it takes them, OnSendData per send and
// OnDataSent once the queue is empty.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

namespace {

// A client connected to a peer of the server, with its events recorded.
struct Connected {
  peer::Server server;
  Recorder r;  // outlives the socket
  TWSocket s{nullptr};
  int fd = -1;
  explicit Connected(int peerReceiveBuffer = 0) {
    r.attach(s, true);
    s.LingerOnOff = wsLingerNoSet;
    s.SetAddr("127.0.0.1");
    s.SetRemotePort(text(server.port()));
    s.Connect();
    fd = server.accept();
    if (peerReceiveBuffer) peer::setReceiveBuffer(fd, peerReceiveBuffer);
    pumpUntil([&] { return r.dataSentCount == 1; });  // the FD_WRITE after connecting
    r.log.clear();
    r.dataSentCount = 0;
  }
  ~Connected() { peer::close(fd); }
};

std::string pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return data;
}

}  // namespace

TEST(SendQueue, DataWinsockTakesAtOnceGoesOutInBlocksAndDataSentFollowsLater) {
  Connected c;
  std::string data = pattern(4000);
  EXPECT_EQ(c.s.Send(data.data(), 4000), 4000);
  EXPECT_EQ(c.r.log, (std::vector<std::string>{"senddata 1460", "senddata 1460", "senddata 1080"}));
  EXPECT_EQ(c.r.dataSentCount, 0) << "never inside Send";
  ASSERT_TRUE(pumpUntil([&] { return c.r.dataSentCount == 1; }));
  EXPECT_TRUE(c.s.AllSent());
  EXPECT_EQ(peer::receive(c.fd, 4000), data);
}

TEST(SendQueue, MegabytesToASlowReaderArriveWholeInOrderWithOneDataSent) {
  Connected c(16384);
  const std::size_t total = 6 << 20;
  std::string data = pattern(total);
  int maxSend = 0;
  long long sentWhenDone = -1;
  c.s.OnSendData = [&](TObject*, int n) {
    c.r.bytesSent += n;
    maxSend = std::max(maxSend, n);
  };
  c.s.OnDataSent = [&](TObject*, WORD error) {
    EXPECT_EQ(error, 0);
    ++c.r.dataSentCount;
    sentWhenDone = c.r.bytesSent;
  };
  for (std::size_t at = 0; at < total; at += 1 << 20)
    ASSERT_EQ(c.s.Send(data.data() + at, 1 << 20), 1 << 20);
  EXPECT_FALSE(c.s.AllSent());
  // The peer reads only now, so most of the data waits in the queue.
  auto reader = std::async(std::launch::async, [&] { return peer::receive(c.fd, total, 10000); });
  ASSERT_TRUE(pumpUntil([&] { return c.r.dataSentCount > 0; }, 20000));
  pumpFor(50);
  EXPECT_EQ(c.r.dataSentCount, 1);
  EXPECT_EQ(sentWhenDone, static_cast<long long>(total));
  EXPECT_LE(maxSend, 1460);
  std::string got = reader.get();
  ASSERT_EQ(got.size(), total);
  EXPECT_TRUE(got == data) << "bytes lost or reordered";
}

TEST(SendQueue, APeerResetWhileDataIsQueuedClosesOnceWithConnectionReset) {
  Connected c(4096);
  std::string data = pattern(4 << 20);
  c.s.Send(data.data(), static_cast<int>(data.size()));
  ASSERT_FALSE(c.s.AllSent());
  peer::resetClose(c.fd);
  c.fd = peer::connectTo(c.server.port());  // something for the destructor to close
  ASSERT_TRUE(pumpUntil([&] { return c.s.State() == wsClosed; }));
  pumpFor(50);
  int closes = 0;
  for (auto& entry : c.r.log) closes += entry.rfind("closed ", 0) == 0;
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(c.r.has("closed 10054"));
}

// The reset is met by the send that an FD_WRITE starts (the notice is posted ahead of the one
// that tells of the reset): the socket closes once, raises nothing, and no OnDataSent follows.
TEST(SendQueue, AResetMetBySendingAtFdWriteClosesOnceWithoutRaisingOrDataSent) {
  Connected c(4096);
  int backgroundErrors = 0, errors = 0;
  c.s.OnBgException = [&](TObject*, Exception&, bool&) { ++backgroundErrors; };
  c.s.OnError = [&](TObject*) { ++errors; };
  std::string data = pattern(4 << 20);
  c.s.Send(data.data(), static_cast<int>(data.size()));
  ASSERT_FALSE(c.s.AllSent());
  peer::resetClose(c.fd);
  c.fd = peer::connectTo(c.server.port());  // something for the destructor to close
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the reset arrives
  c.r.log.clear();
  PostMessageA(c.s.Handle(), WM_USER + 1, static_cast<WPARAM>(c.s.HSocket()),
               MAKELONG(FD_WRITE, 0));
  ASSERT_TRUE(pumpUntil([&] { return c.s.State() == wsClosed; }));
  pumpFor(50);
  EXPECT_EQ(c.r.log, (std::vector<std::string>{"state wsConnected>wsClosed", "closed 10054"}));
  EXPECT_EQ(backgroundErrors, 0);
  EXPECT_EQ(errors, 0);
}

TEST(SendQueue, FlushSendsEverythingAndNothingQueuedNeverHangsIt) {
  Connected c;
  EXPECT_EQ(c.s.SendStr(""), 0);
  EXPECT_EQ(c.s.Send("x", 0), 0);
  c.s.Flush();  // nothing queued: returns at once
  std::string data = pattern(100000);
  auto reader = std::async(std::launch::async, [&] { return peer::receive(c.fd, data.size()); });
  c.s.Send(data.data(), static_cast<int>(data.size()));
  c.s.Flush();
  EXPECT_TRUE(c.s.AllSent());
  EXPECT_EQ(reader.get(), data);
}

TEST(SendQueue, SendToADatagramPeerPostsDataSent) {
  int port = 0;
  int udp = peer::udpSocket(&port);
  Recorder r;  // outlives the socket, whose destructor may still fire events
  TWSocket s(nullptr);
  r.attach(s, true);
  s.SetAddr("127.0.0.1");
  s.SetRemotePort(text(port));
  s.SetProto("udp");
  s.Connect();
  pumpFor(20);
  r.log.clear();
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_port = WSocket_htons(static_cast<std::uint16_t>(port));
  dest.sin_addr.S_addr = WSocket_inet_addr("127.0.0.1");
  EXPECT_EQ(s.SendTo(dest, sizeof dest, "abc", 3), 3);
  EXPECT_EQ(r.log, (std::vector<std::string>{"senddata 3"}));
  EXPECT_TRUE(pumpUntil([&] { return r.has("sent 0"); }));
  EXPECT_EQ(peer::udpReceive(udp), "abc");
  peer::close(udp);
}
