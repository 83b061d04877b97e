// Requests that the connection ends before their reply is whole end with an error, and an
// early answer to a large POST is retried on a connection that carries nothing else.
#include <gtest/gtest.h>

#include "HttpSupport.h"
#include "ServingPeer.h"

namespace {
const std::string kServerLine = "Authorization: Basic " + EncodeStr(encBase64, "u:p").str();

// Posts a body of 20 MB to the peer and runs the request to its OnRequestDone, then a while
// longer, so that an event that comes late is counted too.
void postLargeBody(RecordingClient& c, const ServingPeer& peer, int settleMs) {
  StringStream sent(std::string(20'000'000, 'b'));
  c.cli.SendStream = &sent;
  c.cli.URL = peer.url("/up").c_str();
  c.cli.PostASync();
  ASSERT_TRUE(c.waitDone(30000));
  pumpFor(settleMs);
  c.cli.SendStream = nullptr;
}
}  // namespace

// Reset or closed before any reply, cut inside the header, reset inside a body that the
// close would end, reset while a large POST is sent: the blocking call raises, OnRequestDone
// carries a code, and what came stays in the stream.
TEST(HttpFailure, AConnectionThatEndsBeforeTheReplyIsWholeFailsTheRequest) {
  const struct {
    const char* name;
    ServedAnswer answer;
    bool post;
    const char* received;
  } cases[] = {
      {"reset before a reply", {"", ServedAnswer::Reset}, false, ""},
      {"closed before a reply", {"", ServedAnswer::Close}, false, ""},
      {"cut inside the header",
       {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n", ServedAnswer::Close},
       false,
       ""},
      {"reset inside a body without a length",
       {"HTTP/1.0 200 OK\r\n\r\npartial", ServedAnswer::Reset, 300},
       false,
       "partial"},
      {"reset during a large POST", {"", ServedAnswer::Reset}, true, ""},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    ServingPeer peer([&](const ServedRequest&) { return k.answer; },
                     [](const std::string&) { return false; });
    RecordingClient c;
    StringStream sent(std::string(8 << 20, 'p'));
    c.cli.SendStream = &sent;
    c.cli.URL = peer.url("/doc").c_str();
    try {
      if (k.post)
        c.cli.Post();
      else
        c.cli.Get();
      ADD_FAILURE() << "no exception, status " << c.cli.StatusCode();
    } catch (const EHttpException& e) {
      EXPECT_EQ(e.ErrorCode, c.cli.StatusCode());
      EXPECT_FALSE(e.Message().IsEmpty());
    }
    ASSERT_TRUE(pumpUntil([&] { return c.done == 1; }));
    EXPECT_NE(c.doneErr, 0);
    EXPECT_EQ(c.body.data(), k.received);
  }
}

// A server that answers 401 before it has read a large POST's body: the retry with the
// credentials goes whole, never inside the first body; a server that read the body first gets
// the retry on the same kept-alive connection.
TEST(HttpFailure, AnEarlyAnswerToALargePostIsRetriedWhole) {
  const std::size_t size = 20'000'000;
  for (bool readsFirstBody : {false, true}) {
    SCOPED_TRACE(readsFirstBody ? "body read before the 401" : "401 before the body");
    ServingPeer peer(
        [&](const ServedRequest& r) -> ServedAnswer {
          if (!r.has(kServerLine))
            return {
                "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"s\"\r\n"
                "Content-Length: 0\r\n\r\n"};
          return {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"};
        },
        [&](const std::string& head) {
          return readsFirstBody || head.find(kServerLine) != std::string::npos;
        });
    RecordingClient c;
    c.cli.SetRequestVer("1.1");
    c.cli.Username = "u";
    c.cli.Password = "p";
    StringStream sent(std::string(size, 'b'));
    c.cli.SendStream = &sent;
    c.cli.URL = peer.url("/up").c_str();
    c.cli.PostASync();
    ASSERT_TRUE(c.waitDone(30000));
    EXPECT_EQ(c.cli.StatusCode(), 200);
    EXPECT_EQ(c.body.data(), "ok");
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].head.substr(0, 18), "POST /up HTTP/1.1\r");
    EXPECT_TRUE(requests[1].has(kServerLine));
    EXPECT_EQ(requests[1].body.size(), size);
    EXPECT_EQ(requests[1].body.find_first_not_of('b'), std::string::npos);
    if (readsFirstBody) {
      EXPECT_EQ(requests[1].connection, 0);
    }
  }
}

// Each OnSendBegin is matched by one OnSendEnd, also when the body is stopped before its end:
// by an early reply (final, or a challenge whose retry then goes whole), a reset, an Abort.
TEST(HttpFailure, EachSendBeginIsMatchedByOneSendEnd) {
  const std::string denied =
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"s\"\r\nContent-Length: "
      "0\r\n\r\n";
  const struct {
    const char* name;
    ServedAnswer first;  // to the head without credentials
    bool abortWhileSending;
    int begins;
  } cases[] = {
      {"an early final reply",
       {"HTTP/1.1 413 Payload Too Large\r\nContent-Length: 0\r\n\r\n"},
       false,
       1},
      {"an early challenge, then the retry", {denied}, false, 2},
      {"a reset", {"", ServedAnswer::Reset}, false, 1},
      {"an Abort", {""}, true, 1},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    ServingPeer peer(
        [&](const ServedRequest& r) -> ServedAnswer {
          if (!r.has(kServerLine)) return k.first;
          return {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"};
        },
        [&](const std::string& head) { return head.find(kServerLine) != std::string::npos; });
    RecordingClient c;
    c.cli.SetRequestVer("1.1");
    c.cli.Username = "u";
    c.cli.Password = "p";
    int begins = 0, ends = 0;
    bool unpaired = false;
    c.cli.OnSendBegin = [&](TObject*) {
      unpaired |= begins != ends;
      ++begins;
    };
    c.cli.OnSendEnd = [&](TObject*) {
      ++ends;
      unpaired |= begins != ends;
    };
    bool aborted = false;
    c.cli.OnSendData = [&](TObject*, const char*, int) {
      if (k.abortWhileSending && !aborted && c.cli.SentBodyCount() > (1 << 20)) {
        aborted = true;
        c.cli.Abort();
      }
    };
    ASSERT_NO_FATAL_FAILURE(postLargeBody(c, peer, 100));
    EXPECT_EQ(begins, k.begins);
    EXPECT_EQ(ends, k.begins);
    EXPECT_FALSE(unpaired);
  }
}

// An Abort from a handler on the sending road ends the request there: OnRequestDone once with
// the abort's code, the client ready, every OnSendBegin answered by its OnSendEnd, no body
// block read or sent after it, no error of a send on the closed socket. The peer answers at
// once, before it reads the body.
TEST(HttpFailure, AnAbortFromASendingEventEndsTheRequestThere) {
  const char* const handlers[] = {"OnSessionConnected", "OnRequestHeaderEnd", "OnSendBegin",
                                  "OnSendEnd of a body stopped by an early reply"};
  for (const std::string handler : handlers) {
    SCOPED_TRACE(handler);
    ServingPeer peer(
        [](const ServedRequest&) -> ServedAnswer {
          return {"HTTP/1.1 413 Payload Too Large\r\nContent-Length: 3\r\n\r\nbig"};
        },
        [](const std::string&) { return false; });
    RecordingClient c;
    c.cli.SetRequestVer("1.1");
    int begins = 0, ends = 0, blocksAfter = 0, socketErrors = 0;
    bool aborted = false;
    auto abortIn = [&](const char* name) {
      if (handler.rfind(name, 0) != 0 || aborted) return;
      aborted = true;
      c.cli.Abort();
    };
    c.cli.OnSessionConnected = [&](TObject*) { abortIn("OnSessionConnected"); };
    c.cli.OnRequestHeaderEnd = [&](TObject*) { abortIn("OnRequestHeaderEnd"); };
    c.cli.OnSendBegin = [&](TObject*) {
      ++begins;
      abortIn("OnSendBegin");
    };
    c.cli.OnSendEnd = [&](TObject*) {
      ++ends;
      abortIn("OnSendEnd");
    };
    c.cli.OnSendData = [&](TObject*, const char*, int) { blocksAfter += aborted; };
    c.cli.OnSocketError = [&](TObject*) { ++socketErrors; };
    ASSERT_NO_FATAL_FAILURE(postLargeBody(c, peer, 200));
    EXPECT_TRUE(aborted);
    EXPECT_EQ(c.done, 1);
    EXPECT_EQ(c.doneErr, 3);
    EXPECT_EQ(c.cli.State(), httpReady);
    EXPECT_EQ(ends, begins);
    EXPECT_EQ(blocksAfter, 0);
    EXPECT_EQ(socketErrors, 0);
  }
}
