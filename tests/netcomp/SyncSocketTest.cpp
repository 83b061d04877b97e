// The blocking wait and ReadLine against a loopback peer: one line per call, the time-out
// forms, what is buffered at a time-out or a close, the quit message.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <ctime>

#include "FloodingWindow.h"
#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

namespace {

struct SyncPair {
  peer::Server server;
  TWSocket s{nullptr};
  int fd = -1;
  ~SyncPair() { peer::close(fd); }
  bool connect() {
    s.SetAddr("127.0.0.1");
    s.SetRemotePort(text(server.port()));
    s.Connect();
    fd = server.accept();
    return fd >= 0 && pumpUntil([&] { return s.State() == wsConnected; });
  }
};

// Removes a quit message left in the queue (the default pump leaves it there).
void dropQueuedMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace

TEST(SyncSocket, ReadLineReturnsOneLinePerCallAndKeepsTheOthers) {
  SyncPair p;
  ASSERT_TRUE(p.connect());
  peer::sendAll(p.fd, "first\r\nsecond\r\nthi");
  AnsiString line;
  p.s.ReadLine(5, line);
  EXPECT_EQ(line, "first\r\n");
  p.s.ReadLine(5, line);
  EXPECT_EQ(line, "second\r\n");
  peer::sendAll(p.fd, "rd\r\n");
  p.s.ReadLine(5, line);
  EXPECT_EQ(line, "third\r\n");
}

TEST(SyncSocket, ReadLineRestoresTheHandlerAndLineMode) {
  SyncPair p;
  int offers = 0;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    ++offers;
    p.s.ReceiveStr();
  };
  ASSERT_TRUE(p.connect());
  peer::sendAll(p.fd, "line\r\n");
  AnsiString line;
  p.s.ReadLine(5, line);
  EXPECT_EQ(line, "line\r\n");
  EXPECT_EQ(offers, 0);
  EXPECT_FALSE(p.s.GetLineMode());
  peer::sendAll(p.fd, "raw");
  ASSERT_TRUE(pumpUntil([&] { return offers == 1; }));
}

TEST(SyncSocket, AtTimeOutReadLineReturnsWhatWasBuffered) {
  SyncPair p;
  ASSERT_TRUE(p.connect());
  peer::sendAll(p.fd, "partial");
  AnsiString line = "old";
  p.s.ReadLine(-250, line);
  EXPECT_EQ(line, "partial");
  p.s.ReadLine(-100, line);
  EXPECT_EQ(line, "");  // the buffer was emptied
}

// The wait sleeps between the messages instead of spinning.
TEST(SyncSocket, AtTimeOutReadLineHasSleptMostOfTheTime) {
  SyncPair p;
  ASSERT_TRUE(p.connect());
  timespec before{}, after{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
  QElapsedTimer wait;
  wait.start();
  AnsiString line;
  p.s.ReadLine(-400, line);
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
  const double cpuMs =
      (after.tv_sec - before.tv_sec) * 1000.0 + (after.tv_nsec - before.tv_nsec) / 1e6;
  EXPECT_GE(wait.elapsed(), 395);
  EXPECT_LT(cpuMs, 100.0) << "the wait spins";
}

TEST(SyncSocket, ReadLineReturnsTheLastLineWhenThePeerCloses) {
  SyncPair p;
  ASSERT_TRUE(p.connect());
  peer::sendAll(p.fd, "bye");
  peer::close(p.fd);
  p.fd = -1;
  AnsiString line;
  p.s.ReadLine(5, line);
  EXPECT_EQ(line, "bye");
  EXPECT_EQ(refusalOf([&] { p.s.ReadLine(1, line); }), "ReadLine failed: not connected");
}

TEST(SyncSocket, WaitUntilReadyEndsWhenDoneOrOnAQuitMessage) {
  SyncPair p;
  bool done = false;
  EXPECT_EQ(p.s.Synchronize([&] { done = true; }, done), 0);
  PostQuitMessage(0);
  EXPECT_EQ(p.s.Synchronize(nullptr, done), 12001);
  EXPECT_FALSE(done);
  dropQueuedMessages();
}

// While a window keeps the queue full (as a peer that floods a socket does), the blocking
// wait still looks at its time-out between passes of either pump.
TEST(SyncSocket, ReadLineTimesOutWhileAWindowKeepsTheQueueFull) {
  for (bool multiThreaded : {false, true}) {
    SyncPair p;
    ASSERT_TRUE(p.connect());
    p.s.MultiThreaded = multiThreaded;
    QElapsedTimer wait;
    {
      FloodingWindow flood;
      wait.start();
      AnsiString line;
      p.s.ReadLine(-200, line);
    }
    EXPECT_LT(wait.elapsed(), 1500) << "MultiThreaded " << multiThreaded;
  }
}
