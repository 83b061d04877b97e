// The socket window: background exceptions, the pumps and moving between threads.
#include <gtest/gtest.h>

#include <thread>

#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

namespace {

void listenOnLoopback(TWSocket& s) {
  s.SetAddr("127.0.0.1");
  s.SetRemotePort("0");
  s.Listen();
  ASSERT_EQ(s.State(), wsListening);
}

}  // namespace

TEST(SocketWindow, ATestExceptionReachesOnBgExceptionAndCanCloseDecidesTheAbort) {
  for (bool canClose : {true, false}) {
    TWSocket s(nullptr);
    listenOnLoopback(s);
    std::string seen;
    s.OnBgException = [&](TObject* sender, Exception& e, bool& close) {
      EXPECT_EQ(sender, &s);
      seen = e.Message().str();
      close = canClose;
    };
    PostMessageA(s.Handle(), WM_USER + 6, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "Test exception in WSocket");
    EXPECT_EQ(s.State(), canClose ? wsClosed : wsListening);
  }
}

TEST(SocketWindow, AnExceptionFromTheBackgroundHandlerIsSwallowed) {
  TWSocket s(nullptr);
  listenOnLoopback(s);
  s.OnBgException = [](TObject*, Exception&, bool&) { throw Exception("handler failed"); };
  PostMessageA(s.Handle(), WM_USER + 6, 0, 0);
  pumpFor(50);
  EXPECT_EQ(s.State(), wsClosed);
}

TEST(SocketWindow, ProcessMessagesDrainsTheQueueAndAQuitSetsTheFlagUndispatched) {
  TWSocket s(nullptr);
  s.MultiThreaded = true;
  std::string seen;
  s.OnBgException = [&](TObject*, Exception& e, bool& close) {
    seen = e.Message().str();
    close = false;
  };
  PostMessageA(s.Handle(), WM_USER + 6, 0, 0);
  PostQuitMessage(0);
  EXPECT_FALSE(s.Terminated());
  s.ProcessMessages();
  EXPECT_EQ(seen, "Test exception in WSocket");
  EXPECT_TRUE(s.Terminated());
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(SocketWindow, DetachFromAnotherThreadIsRefusedAndChangesNothing) {
  TWSocket s(nullptr);
  HWND window = s.Handle();
  std::string refusal;
  std::thread([&] { refusal = refusalOf([&] { s.ThreadDetach(); }); }).join();
  EXPECT_EQ(refusal, "Cannot detach from other thread");
  EXPECT_EQ(s.Handle(), window);
  EXPECT_EQ(refusalOf([&] { s.ThreadAttach(); }), "Cannot attach when not detached");
}

TEST(SocketWindow, DetachDestroysTheWindowAndAttachMakesANewOneWithTheNoticesBack) {
  TWSocket s(nullptr);
  listenOnLoopback(s);
  HWND old = s.Handle();
  s.ThreadDetach();
  EXPECT_EQ(s.Handle(), nullptr);
  EXPECT_FALSE(IsWindow(old));
  s.ThreadAttach();
  ASSERT_NE(s.Handle(), nullptr);
  bool available = false;
  s.OnSessionAvailable = [&](TObject*, WORD) {
    available = true;
    WSocket_closesocket(s.Accept());
  };
  int fd = peer::connectTo(s.GetXPort().ToInt());
  EXPECT_TRUE(pumpUntil([&] { return available; }));
  peer::close(fd);
}
