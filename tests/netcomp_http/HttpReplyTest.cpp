// The reply side against scripted loopback peers: line cutting, interim and header-less
// replies, bodies by length, by chunks and until the close.
#include <gtest/gtest.h>

#include <thread>

#include "HttpSupport.h"
#include "Peer.h"
#include "ScriptedPeer.h"
#include "ServingPeer.h"

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

// A chunk size past what 63 bits can count is no size: the request ends with an error at once.
TEST(HttpReply, ChunkSizeTooLargeToCountEndsTheRequestWithAnError) {
  for (const char* size : {"FFFFFFFFFFFFFFFF", "8000000000000000", "000FFFFFFFFFFFFFFFFF"}) {
    // The peer stays connected: the client ends the request by itself.
    Exchange x({reply(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + size +
                      "\r\nabc")},
               "1.1");
    ASSERT_TRUE(x.get()) << size;
    EXPECT_EQ(x.c.cli.StatusCode(), 404) << size;
    EXPECT_EQ(x.c.cli.ReasonPhrase(), "Bad chunk size") << size;
    EXPECT_EQ(x.c.body.data(), "") << size;
    EXPECT_EQ(x.c.count("DocEnd"), 1) << size;
  }
}

// The connection closes before the document is whole: what came stays in the stream, and the
// request ends with an error instead of the status the server gave.
TEST(HttpReply, ABodyCutShortByTheCloseEndsWithAnError) {
  struct Case {
    const char* reply;
    const char* received;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nabc", "abc"},
      {"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n", ""},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", "abc"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", "ab"},
  };
  for (const auto& k : cases) {
    Exchange x({reply(k.reply), hangUp()}, "1.1");
    ASSERT_TRUE(x.get()) << k.reply;
    EXPECT_EQ(x.c.cli.StatusCode(), 404) << k.reply;
    EXPECT_EQ(x.c.cli.ReasonPhrase(), "Connection closed before the end of the document");
    EXPECT_EQ(x.c.body.data(), k.received) << k.reply;
    EXPECT_EQ(x.c.done, 1);
  }
}

// A reply header past 1000 lines or 256 KiB (the dropped bytes of over-long lines count) ends
// the request with an error: nothing more of it is read or kept.
TEST(HttpReply, AnOverLargeReplyHeaderEndsWithAnError) {
  std::string manyLines, longLines;
  for (int i = 0; i < 1200; ++i) manyLines += "X-A: a\r\n";
  for (int i = 0; i < 40; ++i) longLines += "X-Long: " + std::string(9000, 'b') + "\r\n";
  for (const std::string& header :
       {manyLines, longLines, "X-Endless: " + std::string(300 * 1024, 'c')}) {
    // The peer stays connected: the client ends the request by itself.
    Exchange x({reply("HTTP/1.0 200 OK\r\n" + header + "\r\nContent-Length: 2\r\n\r\nok")});
    ASSERT_TRUE(x.get()) << header.substr(0, 20);
    EXPECT_EQ(x.c.cli.StatusCode(), 404);
    EXPECT_EQ(x.c.cli.ReasonPhrase(), "Reply header too large");
    EXPECT_LE(x.c.cli.RcvdHeaderLines()->Count(), 1000);
    EXPECT_EQ(x.c.body.data(), "");
  }
}

// A header of many lines within the bounds, interim replies included, is read whole.
TEST(HttpReply, AHeaderWithinTheBoundsIsReadWhole) {
  std::string lines;
  for (int i = 0; i < 900; ++i) lines += "X-A: " + std::to_string(i) + "\r\n";
  Exchange x({reply("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n" + lines +
                    "Content-Length: 2\r\n\r\nok"),
              hangUp()},
             "1.1");
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 200);
  EXPECT_EQ(x.c.cli.RcvdHeaderLines()->Count(), 902);
  EXPECT_EQ(x.c.body.data(), "ok");
}

// Counts past 2 GiB on one connection: the body's length, the bytes delivered and the bytes
// the socket read.
TEST(HttpReply, BodiesPastTwoGibibytesAreCountedWhole) {
  const std::int64_t total = (std::int64_t{1} << 31) + 4096;
  const std::string head =
      "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(total) + "\r\n\r\n";
  peer::Server server;
  std::thread sender([&] {
    const int fd = server.accept();
    peer::receive(fd, 16);
    peer::sendAll(fd, head);
    const std::string chunk(1 << 20, 'g');
    for (std::int64_t left = total; left > 0; left -= static_cast<std::int64_t>(chunk.size()))
      if (!peer::sendAll(fd, chunk.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(
                                                 left, static_cast<std::int64_t>(chunk.size()))))))
        break;
    peer::waitClosed(fd, 30000);
    peer::close(fd);
  });
  THttpCli cli(nullptr);
  std::int64_t delivered = 0, socketRead = 0;
  int done = 0;
  cli.OnDocData = [&](TObject*, const char*, int len) { delivered += len; };
  cli.OnDocEnd = [&](TObject*) { socketRead = cli.CtrlSocket()->ReadCount(); };
  cli.OnRequestDone = [&](TObject*, THttpRequest, WORD) { ++done; };
  cli.URL = ("http://127.0.0.1:" + std::to_string(server.port()) + "/big").c_str();
  cli.GetASync();
  EXPECT_TRUE(pumpUntil([&] { return done > 0; }, 120000));
  sender.join();
  EXPECT_EQ(cli.StatusCode(), 200);
  EXPECT_EQ(cli.ContentLength(), total);
  EXPECT_EQ(cli.RcvdBodyCount(), total);
  EXPECT_EQ(delivered, total);
  EXPECT_EQ(socketRead, total + static_cast<std::int64_t>(head.size()));
}

TEST(HttpReply, OnlyContentLengthBytesGoToTheDocument) {
  Exchange x({reply("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789abcde"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.body.data(), "0123456789");
  EXPECT_EQ(x.c.cli.RcvdBodyCount(), 10);
}

// The status line's number is read after the next bytes arrive; the reply then goes on.
TEST(HttpReply, BadStatusNumberLeavesStatusZero) {
  Exchange x(
      {reply("HTTP/1.0 2x0 OK\r\n"), pause(100), reply("Content-Length: 2\r\n\r\nok"), hangUp()});
  ASSERT_TRUE(x.get());
  EXPECT_EQ(x.c.cli.StatusCode(), 0);
  EXPECT_EQ(x.c.cli.ReasonPhrase(), "");
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

// An Abort from OnDocBegin or OnDocData ends the document there: no more data, no second
// document, no other end than the Abort's, whether the body goes by length (cut on its last
// bytes too), by chunks or until the close.
TEST(HttpReply, AnAbortInsideTheDocumentEventsEndsTheRequestThere) {
  const struct {
    const char* name;
    std::string reply;
    std::size_t abortAt;  // body bytes after which the handler aborts
  } cases[] = {
      {"by length", "HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabcdef", 6},
      {"chunked",
       "HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n3\r\ndef\r\n0\r\n\r\n", 3},
      {"until the close", "HTTP/1.0 200 OK\r\n\r\nabcdef", 1},
      {"at the document's begin", "HTTP/1.0 200 OK\r\n\r\nabcdef", 0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Exchange x({reply(k.reply), pause(300), hangUp()});
    int dataAfterAbort = 0;
    bool aborted = false;
    x.c.cli.OnDocData = [&](TObject*, const char* data, int len) {
      if (aborted) ++dataAfterAbort;
      x.c.docData.append(data, len);
      if (!aborted && x.c.docData.size() >= k.abortAt) {
        aborted = true;
        x.c.cli.Abort();
      }
    };
    if (k.abortAt == 0)
      x.c.cli.OnDocBegin = [&](TObject*) {
        x.c.events.push_back("DocBegin");
        aborted = true;
        x.c.cli.Abort();
      };
    ASSERT_TRUE(x.get());
    pumpFor(200);
    EXPECT_EQ(x.c.done, 1);
    EXPECT_EQ(x.c.doneErr, 3);
    EXPECT_EQ(x.c.cli.State(), httpReady);
    EXPECT_EQ(x.c.count("DocBegin"), 1);
    EXPECT_EQ(x.c.count("DocEnd"), 1);
    EXPECT_EQ(dataAfterAbort, 0);
  }
}

// An Abort from OnStateChange, whichever state it comes in, or from OnHeaderEnd ends the
// request there: OnRequestDone once with the abort's code, the client ready, no request sent
// after it and no document begun after it; for a body by length on a kept-alive connection
// and for a document without a header.
TEST(HttpReply, AnAbortFromOnStateChangeOrOnHeaderEndEndsTheRequestThere) {
  const std::string replies[] = {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello",
                                 "<HTML>hello</HTML>\r\n"};
  constexpr int kInHeaderEnd = -1;
  for (const std::string& reply : replies) {
    for (int where = kInHeaderEnd; where <= httpBodyReceived; ++where) {
      if (where == httpReady) continue;  // an Abort while ready has an end of its own
      SCOPED_TRACE(reply.substr(0, 8) + (where == kInHeaderEnd
                                             ? std::string(", OnHeaderEnd")
                                             : ", state " + std::to_string(where)));
      ServingPeer peer([&](const ServedRequest&) -> ServedAnswer {
        return {reply, reply[0] == '<' ? ServedAnswer::Close : ServedAnswer::Keep};
      });
      RecordingClient c;
      c.cli.SetRequestVer("1.1");
      bool aborted = false;
      std::size_t requestsAtAbort = 0;
      int docsAfterAbort = 0;
      auto abortIf = [&](bool here) {
        if (aborted || !here) return;
        aborted = true;
        requestsAtAbort = peer.requests().size();
        c.cli.Abort();
      };
      c.cli.OnStateChange = [&](TObject*) { abortIf(c.cli.State() == where); };
      c.cli.OnHeaderEnd = [&](TObject*) { abortIf(where == kInHeaderEnd); };
      c.cli.OnDocBegin = [&](TObject*) { docsAfterAbort += aborted; };
      c.get(peer.url("/a"));
      pumpFor(200);
      if (!aborted) continue;  // a state this reply does not pass through
      EXPECT_EQ(c.done, 1);
      EXPECT_EQ(c.doneErr, 3);
      EXPECT_EQ(c.cli.State(), httpReady);
      EXPECT_EQ(peer.requests().size(), requestsAtAbort);
      EXPECT_EQ(docsAfterAbort, 0);
    }
  }
}

// Chunked framing wins over a Content-Length beside it: the chunks are read whole and the
// reply ends by itself, whether the server holds the connection, closes it, or keeps sending
// line feeds after a chunk cut short (the first line feed where a size is due is no size: an
// error of the client's own).
TEST(HttpReply, ChunkedFramingOverridesContentLength) {
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n";
  const struct {
    const char* name;
    std::vector<PeerStep> answer;
    const char* body;
    const char* reason;
    WORD doneErr;
  } cases[] = {
      {"held open", {reply(head + "5\r\nhello\r\n0\r\n\r\n")}, "hello", "OK", 0},
      {"closed", {reply(head + "5\r\nhello\r\n0\r\n\r\n"), hangUp()}, "hello", "OK", 0},
      {"length 0",
       {reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nTransfer-Encoding: chunked\r\n\r\n"
              "5\r\nhello\r\n0\r\n\r\n")},
       "hello",
       "OK",
       0},
      {"line feeds after a cut chunk",
       {reply(head + "5\r\nhel"), reply(std::string(20000, '\n'))},
       "hel\n\n",
       "Bad chunk size",
       404},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Exchange x(k.answer, "1.1");
    ASSERT_TRUE(x.get());
    EXPECT_EQ(x.c.cli.StatusCode(), k.doneErr == 0 ? 200 : 404);
    EXPECT_EQ(x.c.cli.ReasonPhrase(), k.reason);
    EXPECT_EQ(x.c.body.data(), k.body);
    EXPECT_EQ(x.c.count("DocEnd"), 1);
    EXPECT_EQ(x.c.doneErr, k.doneErr);
  }
}

// Every interim reply (1xx but 101) is followed by the real one, which is the one reported;
// the interim's fields do not frame the real reply.
TEST(HttpReply, InterimRepliesAreFollowedByTheRealReply) {
  for (const char* interim :
       {"HTTP/1.1 102 Processing\r\n\r\n", "HTTP/1.1 103 Early Hints\r\nLink: </s>\r\n\r\n",
        "HTTP/1.1 102 Processing\r\nContent-Length: 0\r\n\r\nHTTP/1.1 100 Continue\r\n\r\n"}) {
    SCOPED_TRACE(interim);
    Exchange x({reply(std::string(interim) + "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")},
               "1.1");
    ASSERT_TRUE(x.get());
    EXPECT_EQ(x.c.cli.StatusCode(), 200);
    EXPECT_EQ(x.c.body.data(), "ok");
    EXPECT_EQ(x.c.count("HeaderBegin"), 1);
    EXPECT_EQ((*x.c.cli.RcvdHeaderLines())[0], "HTTP/1.1 200 OK");
  }
}

// A Content-Length of 19 digits or more is a length still: a body cut short after it is an
// error, and leading zeros count for nothing.
TEST(HttpReply, LongContentLengthsAreLengths) {
  const struct {
    const char* length;
    int status;
  } cases[] = {{"1000000000000000000", 404},
               {"99999999999999999999999", 404},
               {"0000000000000000000005", 200}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.length);
    Exchange x(
        {reply(std::string("HTTP/1.0 200 OK\r\nContent-Length: ") + k.length + "\r\n\r\nhello"),
         hangUp()});
    ASSERT_TRUE(x.get());
    EXPECT_EQ(x.c.cli.StatusCode(), k.status);
    EXPECT_EQ(x.c.body.data(), "hello");
  }
}

// The transfer coding is read without regard to letter case, and a list of codings that ends
// in chunked is chunked.
TEST(HttpReply, TransferCodingsEndingInChunkedAreChunked) {
  for (const char* coding : {"Chunked", "CHUNKED", "gzip, chunked", "gzip,chunked ", "chunked"}) {
    SCOPED_TRACE(coding);
    Exchange x({reply(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: ") + coding +
                      "\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
               "1.1");
    ASSERT_TRUE(x.get());
    EXPECT_EQ(x.c.body.data(), "hello");
    EXPECT_EQ(x.c.doneErr, 0);
  }
}
