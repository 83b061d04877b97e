// Line mode against a loopback peer that sends lines split across packets: the line ends,
// reading in pieces, switching the mode, the line limit, echo and editing, the last line.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Peer.h"
#include "Pump.h"
#include "Recorder.h"
#include "netcomp/WSocket.h"

namespace {

using Lines = std::vector<std::string>;

// A line-mode socket connected to a plain loopback peer.
struct LinePair {
  peer::Server server;
  TWSocket s{nullptr};
  int fd = -1;
  Lines offers;

  LinePair() {
    s.SetLineMode(true);
    s.SetAddr("127.0.0.1");
    s.SetRemotePort(text(server.port()));
  }
  ~LinePair() { peer::close(fd); }
  // Every offer read whole with ReceiveStr.
  void readWhole() {
    s.OnDataAvailable = [this](TObject*, WORD) { offers.push_back(s.ReceiveStr().str()); };
  }
  bool connect() {
    bool connected = false;
    s.OnSessionConnected = [&](TObject*, WORD e) { connected = e == 0; };
    s.Connect();
    fd = server.accept();
    bool ok = fd >= 0 && pumpUntil([&] { return connected; });
    s.OnSessionConnected = nullptr;
    return ok;
  }
  // Sends each part as its own packet, letting the socket read it before the next.
  void sendParts(const std::vector<std::string>& parts) {
    for (const auto& p : parts) {
      peer::sendAll(fd, p);
      pumpFor(60);
    }
  }
};

}  // namespace

TEST(LineMode, LinesAreFoundAcrossPacketsForEachLineEnd) {
  struct Case {
    const char* lineEnd;
    std::vector<std::string> parts;
    Lines lines;
  } cases[] = {
      {"\r\n",
       {"one\r\ntwo\r\n", "thr", "ee\r", "\nfour\r\nfi"},
       {"one\r\n", "two\r\n", "three\r\n", "four\r\n"}},
      {"\n", {"a\nb", "\n\r\n"}, {"a\n", "b\n", "\r\n"}},
      {"END", {"xEN", "DyE", "ND"}, {"xEND", "yEND"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lineEnd);
    LinePair p;
    p.s.LineEnd = c.lineEnd;
    p.readWhole();
    ASSERT_TRUE(p.connect());
    p.sendParts(c.parts);
    ASSERT_TRUE(pumpUntil([&] { return p.offers.size() >= c.lines.size(); }));
    pumpFor(50);
    EXPECT_EQ(p.offers, c.lines);
  }
}

TEST(LineMode, AnEmptyLineEndDeliversTheBytesAsTheyCome) {
  LinePair p;
  p.s.LineEnd = "";
  std::string got;
  p.s.OnDataAvailable = [&](TObject*, WORD) { got += p.s.ReceiveStr().str(); };
  ASSERT_TRUE(p.connect());
  p.sendParts({"no line", " end"});
  ASSERT_TRUE(pumpUntil([&] { return got == "no line end"; })) << got;
}

TEST(LineMode, AHandlerWithASmallBufferGetsTheLineInPieces) {
  LinePair p;
  Lines pieces;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    char buffer[3];
    int n = p.s.Receive(buffer, sizeof buffer);
    if (n > 0) pieces.emplace_back(buffer, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"abcdefgh\r\nnext\r\n"});
  ASSERT_TRUE(pumpUntil([&] { return pieces.size() >= 6; }));
  EXPECT_EQ(pieces, (Lines{"abc", "def", "gh\r", "\n", "nex", "t\r\n"}));
}

TEST(LineMode, SwitchingLineModeOffMidLineHandsOnTheRestInOrder) {
  LinePair p;
  std::string first, after;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    if (p.s.GetLineMode()) {
      char buffer[2];
      int n = p.s.Receive(buffer, sizeof buffer);
      first.assign(buffer, static_cast<std::size_t>(std::max(n, 0)));
      p.s.SetLineMode(false);
    } else {
      after += p.s.ReceiveStr().str();
    }
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"abcd\r\nefgh\r\n", "tail"});
  ASSERT_TRUE(pumpUntil([&] { return after == "cd\r\nefgh\r\ntail"; })) << after;
  EXPECT_EQ(first, "ab");
}

// Bytes left buffered while line mode was off are searched from their start when it comes on
// again, so the lines in them are not run together.
TEST(LineMode, LinesBufferedWhileOffAreFoundWhenLineModeReturns) {
  LinePair p;
  int phase = 0;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    if (phase == 0) {
      phase = 1;
      p.s.SetLineMode(false);  // reads nothing
    } else if (phase == 2) {
      p.offers.push_back(p.s.ReceiveStr().str());
    }
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"one\r\ntwo\r\n"});
  pumpFor(100);
  ASSERT_EQ(phase, 1);
  phase = 2;
  p.s.SetLineMode(true);
  ASSERT_TRUE(pumpUntil([&] { return p.offers.size() == 2; }));
  EXPECT_EQ(p.offers, (Lines{"one\r\n", "two\r\n"}));
}

// A handler that reads nothing ends the offer (no endless loop); the line is offered again
// with the next arrival, before the lines behind it.
TEST(LineMode, AHandlerThatReadsNothingIsOfferedTheLineAgainLater) {
  LinePair p;
  int calls = 0;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    if (++calls > 1) p.offers.push_back(p.s.ReceiveStr().str());
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"one\r\n"});
  ASSERT_TRUE(pumpUntil([&] { return calls == 1; }));
  pumpFor(50);
  EXPECT_EQ(calls, 1);
  p.sendParts({"two\r\n"});
  ASSERT_TRUE(pumpUntil([&] { return p.offers.size() == 2; }));
  EXPECT_EQ(p.offers, (Lines{"one\r\n", "two\r\n"}));
}

TEST(LineMode, TextBeyondTheLineLimitIsDiscardedOrKept) {
  for (bool clear : {true, false}) {
    SCOPED_TRACE(clear);
    LinePair p;
    p.s.LineLimit = 10;
    std::vector<int> limits;
    p.s.OnLineLimitExceeded = [&](TObject*, int count, bool& ClearData) {
      limits.push_back(count);
      EXPECT_TRUE(ClearData);
      ClearData = clear;
    };
    p.readWhole();
    ASSERT_TRUE(p.connect());
    p.sendParts({"123456789012345", "xy\r\n"});
    ASSERT_TRUE(pumpUntil([&] { return p.offers.size() == 1; }));
    EXPECT_EQ(limits, std::vector<int>{15});
    EXPECT_EQ(p.offers, Lines{clear ? "xy\r\n" : "123456789012345xy\r\n"});
  }
}

TEST(LineMode, EditingAppliesBackspaceAndTabAndEchoes) {
  struct Case {
    std::vector<std::string> parts;
    std::string line;
    std::string echo;
  } cases[] = {
      {{"ab\bc\r\n"}, "ac\r\n", "ab\b \bc\r\n"},
      {{"ab", "\bc\r\n"}, "ac\r\n", "ab\b \bc\r\n"},  // erases a byte of an earlier packet
      {{"abc\tZ\r\n"}, "abc     Z\r\n", "abc     Z\r\n"},
      {{"\bq\r\n"}, "q\r\n", "q\r\n"},  // nothing to erase, nothing echoed for it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    LinePair p;
    p.s.LineEdit = true;
    p.s.LineEcho = true;
    p.readWhole();
    ASSERT_TRUE(p.connect());
    p.sendParts(c.parts);
    ASSERT_TRUE(pumpUntil([&] { return p.offers.size() == 1; }));
    EXPECT_EQ(p.offers[0], c.line);
    EXPECT_EQ(peer::receive(p.fd, c.echo.size()), c.echo);
  }
}

TEST(LineMode, EchoWithoutEditingSendsTheBytesBackAsTheyAre) {
  LinePair p;
  p.s.LineEcho = true;
  p.readWhole();
  ASSERT_TRUE(p.connect());
  p.sendParts({"a\bb\tc\r\n"});
  ASSERT_TRUE(pumpUntil([&] { return p.offers.size() == 1; }));
  EXPECT_EQ(p.offers[0], "a\bb\tc\r\n");
  EXPECT_EQ(peer::receive(p.fd, 7), "a\bb\tc\r\n");
}

TEST(LineMode, AnUnterminatedLineIsOfferedWhenThePeerCloses) {
  LinePair p;
  Recorder r;
  r.attach(p.s);
  p.readWhole();
  ASSERT_TRUE(p.connect());
  p.sendParts({"done\r\ntail"});
  peer::close(p.fd);
  p.fd = -1;
  ASSERT_TRUE(pumpUntil([&] { return r.has("closed 0"); }));
  EXPECT_EQ(p.offers, (Lines{"done\r\n", "tail"}));
}

// A handler that closes the socket from inside a line offer (a "QUIT" line) ends the
// delivery cleanly; the lines behind it are offered as the session's last line.
TEST(LineMode, AHandlerMayCloseTheSocketWhileLinesAreBuffered) {
  LinePair p;
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    p.offers.push_back(p.s.ReceiveStr().str());
    if (p.offers.back() == "QUIT\r\n") p.s.Close();
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"QUIT\r\nrest\r\nmore"});
  ASSERT_TRUE(pumpUntil([&] { return p.s.State() == wsClosed; }));
  EXPECT_EQ(p.offers, (Lines{"QUIT\r\n", "rest\r\nmore"}));
}

TEST(LineMode, SendLineAddsTheLineEnd) {
  LinePair p;
  ASSERT_TRUE(p.connect());
  EXPECT_EQ(p.s.SendLine(""), 0);
  EXPECT_EQ(p.s.SendLine("HELO"), 6);
  p.s.LineEnd = "\n";
  EXPECT_EQ(p.s.SendLine("QUIT"), 6);  // the line end always counts as two bytes
  p.s.LineEnd = "";
  EXPECT_EQ(p.s.SendLine("raw"), 5);
  EXPECT_EQ(peer::receive(p.fd, 14), "HELO\r\nQUIT\nraw");
}

TEST(LineMode, AnExceptionInARedeliveryGoesToTheBackgroundHandler) {
  LinePair p;
  int phase = 0;
  std::string caught;
  p.s.OnBgException = [&](TObject*, Exception& E, bool& CanClose) {
    caught = E.Message().str();
    CanClose = true;
  };
  p.s.OnDataAvailable = [&](TObject*, WORD) {
    if (phase++ == 0) {
      p.s.SetLineMode(false);  // reads nothing: the re-delivery offers the line again
      return;
    }
    if (phase == 3) throw ESocketException("handler failed");
  };
  ASSERT_TRUE(p.connect());
  p.sendParts({"one\r\n"});
  ASSERT_TRUE(pumpUntil([&] { return p.s.State() == wsClosed; }));
  EXPECT_EQ(caught, "handler failed");
}
