// The reply side against scripted loopback peers: line cutting, interim and header-less
// replies, bodies by length, by chunks and until the close.
#include <gtest/gtest.h>

#include "HttpSupport.h"
#include "ScriptedPeer.h"

namespace {
// Reads the request head (at least its first bytes), then answers and hangs up.
struct Exchange {
  ScriptedPeer peer;
  RecordingClient c;
  explicit Exchange(std::vector<PeerStep> answer, const char* version = "1.0")
      : peer(withRequest(std::move(answer))) {
    c.cli.SetRequestVer(version);
  }
  static std::vector<PeerStep> withRequest(std::vector<PeerStep> answer) {
    answer.insert(answer.begin(), expectBytes(16));
    return answer;
  }
  bool get(const std::string& path = "/dir/page") {
    return c.get("http://127.0.0.1:" + std::to_string(peer.port()) + path);
  }
};
}  // namespace

TEST(HttpReply, HeaderLinesSplitOverReceivesWithBareLineFeeds) {
  Exchange x({replySlowly("HTTP/1.0 200 OK\nContent-Type: text/plain\r\nContent-Length: 3\n\nabc"),
              hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 200);
  EXPECT_EQ(x.c.cli.ReasonPhrase(), "OK");
  ASSERT_EQ(x.c.cli.RcvdHeaderLines()->Count(), 3);
  EXPECT_EQ((*x.c.cli.RcvdHeaderLines())[1], "Content-Type: text/plain");
  EXPECT_EQ(x.c.cli.ContentType(), "text/plain");
  EXPECT_EQ(x.c.body.data(), "abc");
  EXPECT_EQ(x.c.count("DocEnd"), 1);
}

TEST(HttpReply, OverLongHeaderLineIsCutShortAndTheNextLinesAreRead) {
  Exchange x({reply("HTTP/1.0 200 OK\r\nX-Long: " + std::string(9000, 'a') +
                    "\r\nContent-Length: 2\r\n\r\nok"),
              hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 200);
  EXPECT_EQ(x.c.cli.ContentLength(), 2);
  EXPECT_EQ(x.c.body.data(), "ok");
  ASSERT_EQ(x.c.cli.RcvdHeaderLines()->Count(), 3);
  EXPECT_LT((*x.c.cli.RcvdHeaderLines())[1].Length(), 8191);
}

TEST(HttpReply, InterimContinueIsDroppedWithoutItsOwnHeaderEvents) {
  Exchange x({reply("HTTP/1.1 100 Continue\r\nX-Interim: 1\r\n\r\n"
                    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"),
              hangUp()},
             "1.1");
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 200);
  EXPECT_EQ(x.c.count("HeaderBegin"), 1);
  EXPECT_EQ(x.c.count("HeaderEnd"), 1);
  ASSERT_EQ(x.c.cli.RcvdHeaderLines()->Count(), 3);
  EXPECT_EQ((*x.c.cli.RcvdHeaderLines())[0], "HTTP/1.1 200 OK");
}

TEST(HttpReply, HeaderlessHtmlInLowerCaseIsADocument) {
  Exchange x({reply("<html>\r\n<body>x</body>\r\n</html>\r\n"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.ContentType(), "text/html");
  // The first line goes without its line end; what follows it arrives intact.
  EXPECT_EQ(x.c.body.data(), "<html><body>x</body>\r\n</html>\r\n");
  EXPECT_EQ(x.c.count("HeaderEnd"), 1);
  EXPECT_EQ(x.c.count("DocEnd"), 1);
}

TEST(HttpReply, RepliesWithoutABodyFireNoDocBegin) {
  for (const char* head :
       {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", "HTTP/1.0 204 No Content\r\n\r\n",
        "HTTP/1.0 304 Not Modified\r\n\r\n"}) {
    Exchange x({reply(head), pause(300), hangUp()});
    ASSERT_TRUE(x.get()) << head;
    EXPECT_EQ(x.c.count("DocBegin"), 0) << head;
    EXPECT_EQ(x.c.cli.State(), httpReady);
  }
}

TEST(HttpReply, BodyWithoutLengthEndsWithTheConnection) {
  Exchange x({reply("HTTP/1.0 200 OK\r\n\r\nfirst "), pause(100), reply("second"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.body.data(), "first second");
  EXPECT_EQ(x.c.count("DocEnd"), 1);
}

TEST(HttpReply, ChunkedBodiesDeliverTheChunkBytesOnly) {
  for (const char* sizeLine : {"5\r\n", "5;name=value\r\n"}) {
    Exchange x({reply(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") +
                      sizeLine + "hello\r\n0\r\n\r\n"),
                pause(300), hangUp()},
               "1.1");
    ASSERT_TRUE(x.get()) << sizeLine;
    EXPECT_EQ(x.c.body.data(), "hello") << sizeLine;
    EXPECT_EQ(x.c.docData, "hello") << sizeLine;
    EXPECT_EQ(x.c.count("DocEnd"), 1) << sizeLine;
  }
}

TEST(HttpReply, ChunkSizeTooLargeForACountDoesNotWrap) {
  Exchange x({reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                    "FFFFFFFFFFFFFFFFF\r\nabc"),
              hangUp()},
             "1.1");
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.body.data(), "abc");
}

TEST(HttpReply, OnlyContentLengthBytesGoToTheDocument) {
  Exchange x({reply("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789abcde"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.body.data(), "0123456789");
  EXPECT_EQ(x.c.cli.RcvdBodyCount(), 10);
}

TEST(HttpReply, BadStatusNumberLeavesStatusZero) {
  Exchange x({reply("HTTP/1.0 2x0 OK\r\nContent-Length: 2\r\n\r\nok"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 0);
}

// A kept-alive reply without a body is whole at its empty line: what follows it in the same
// bytes (here a second, unasked-for reply with a relocation) is no part of it and starts
// nothing, so the request ends once.
TEST(HttpReply, BytesAfterAReplyWithoutABodyAreNoPartOfIt) {
  Exchange x({reply("HTTP/1.1 304 Not Modified\r\n\r\n"
                    "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n"),
              pause(500), hangUp()},
             "1.1");
  ASSERT_TRUE(x.get());
  pumpFor(300);
  EXPECT_EQ(x.c.done, 1);
  EXPECT_EQ(x.c.cli.StatusCode(), 304);
  EXPECT_EQ(x.c.count("LocationChange"), 0);
  EXPECT_EQ(x.peer.received().find("/elsewhere"), std::string::npos);
}
