// Aborts from the handlers of a blocking Get against a kept-alive loopback server: the request
// ends there, with the abort's outcome (or, once it has ended, with its own), and the same
// client goes on with the next requests.
#include <gtest/gtest.h>

#include <atomic>

#include "HttpSupport.h"
#include "ServingPeer.h"

namespace {
const std::string kHello = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nContent-Length: 5\r\n\r\nhello";

// What may still fire once a request is aborted: the ends of what had begun, the close, the
// state changes and the one OnRequestDone.
bool mayFollowAnAbort(const std::string& event) {
  for (const char* allowed :
       {"HeaderEnd", "DocEnd", "SendEnd", "SessionClosed", "StateChange", "RequestDone"})
    if (event == allowed) return true;
  return false;
}

// A client whose handlers record every event and abort in the one named by abortIn (a state
// change as "StateChange <state>").
struct AbortingClient {
  THttpCli cli{nullptr};
  StringStream body;
  std::string abortIn;
  bool aborted = false;
  std::vector<std::string> afterAbort;
  int done = 0;
  WORD doneErr = 0;

  AbortingClient() {
    cli.SetName("HttpCli1");
    cli.SetRequestVer("1.1");
    cli.RcvdStream = &body;
    auto notify = [this](const char* name) { return [this, name](TObject*) { on(name); }; };
    cli.OnSessionConnected = notify("SessionConnected");
    cli.OnSessionClosed = notify("SessionClosed");
    cli.OnHeaderData = notify("HeaderData");
    cli.OnHeaderBegin = notify("HeaderBegin");
    cli.OnHeaderEnd = notify("HeaderEnd");
    cli.OnRequestHeaderBegin = notify("RequestHeaderBegin");
    cli.OnRequestHeaderEnd = notify("RequestHeaderEnd");
    cli.OnDocBegin = notify("DocBegin");
    cli.OnDocEnd = notify("DocEnd");
    cli.OnDocData = [this](TObject*, const char*, int) { on("DocData"); };
    cli.OnCommand = [this](TObject*, AnsiString&) { on("Command"); };
    cli.OnBeforeHeaderSend = [this](TObject*, const AnsiString&, TStringList*) {
      on("BeforeHeaderSend");
    };
    cli.OnCookie = [this](TObject*, const AnsiString&, bool&) { on("Cookie"); };
    cli.OnStateChange = [this](TObject*) {
      on("StateChange", "StateChange " + std::to_string(cli.State()));
    };
    cli.OnRequestDone = [this](TObject*, THttpRequest, WORD err) {
      ++done;
      doneErr = err;
      on("RequestDone");
    };
  }

  void on(const std::string& event, const std::string& key = {}) {
    if (aborted) {
      afterAbort.push_back(event);
    } else if ((key.empty() ? event : key) == abortIn) {
      aborted = true;
      cli.Abort();
    }
  }

  // A blocking Get; the code it raised, -1 when it returned.
  int get(const std::string& url) {
    cli.URL = url.c_str();
    try {
      cli.Get();
    } catch (const EHttpException& e) {
      return e.ErrorCode;
    }
    return -1;
  }

  // Two more requests, without aborts, each answered whole.
  void expectTwoMoreServed(const ServingPeer& peer) {
    abortIn.clear();
    for (int i = 0; i < 2; ++i) {
      const std::size_t before = body.data().size();
      EXPECT_EQ(get(peer.url("/next")), -1) << cli.ReasonPhrase().str();
      EXPECT_EQ(cli.StatusCode(), 200);
      EXPECT_EQ(body.data().substr(before), "hello");
    }
  }
};
}  // namespace

// An Abort from a handler of the head, of the connection or of the reply's header ends the
// request there: the blocking call raises the abort's 404, OnRequestDone comes once with 3,
// nothing begins after it, and the reply, if one came, is not read over the abort's outcome.
TEST(HttpAbort, AnAbortFromAnyHandlerEndsTheRequestThere) {
  const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
  const struct {
    const char* abortIn;
    const std::string& first;
  } cases[] = {
      {"HeaderBegin", kHello},        {"HeaderBegin", notFound}, {"Cookie", kHello},
      {"RequestHeaderBegin", kHello}, {"Command", kHello},       {"BeforeHeaderSend", kHello},
      {"StateChange 2", kHello},  // httpConnected
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.abortIn) + " of " + k.first.substr(0, 16));
    ServingPeer peer([&](const ServedRequest& r) -> ServedAnswer {
      return {r.head.find(" /first ") != std::string::npos ? k.first : kHello};
    });
    AbortingClient c;
    c.abortIn = k.abortIn;
    EXPECT_EQ(c.get(peer.url("/first")), 404);
    EXPECT_TRUE(c.aborted);
    EXPECT_EQ(c.cli.StatusCode(), 404);
    EXPECT_EQ(c.cli.ReasonPhrase(), "Connection aborted on request");
    EXPECT_EQ(c.body.data(), "");
    ASSERT_TRUE(pumpUntil([&] { return c.done == 1; }));
    pumpFor(100);
    EXPECT_EQ(c.done, 1);
    EXPECT_EQ(c.doneErr, 3);
    for (const std::string& event : c.afterAbort)
      EXPECT_TRUE(mayFollowAnAbort(event)) << event << " after the Abort";
    c.expectTwoMoreServed(peer);
  }
}

// An Abort from OnStateChange as the client becomes ready comes after the request ended: the
// request keeps the reply's outcome, starts no authentication round, and ends once.
TEST(HttpAbort, AnAbortAtReadyLeavesTheEndedRequestAsItEnded) {
  const struct {
    std::string reply;
    int raised;
    int status;
    const char* reason;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", 404, 404, "Not Found"},
      {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
       "Content-Length: 0\r\n\r\n",
       -1, 401, "Unauthorized"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.reason);
    std::atomic<int> asked = 0;
    ServingPeer peer([&](const ServedRequest& r) -> ServedAnswer {
      if (r.head.find(" /first ") == std::string::npos) return {kHello};
      ++asked;
      return {k.reply};
    });
    AbortingClient c;
    c.cli.Username = "u";
    c.cli.Password = "p";
    c.abortIn = "StateChange 0";  // httpReady
    EXPECT_EQ(c.get(peer.url("/first")), k.raised);
    EXPECT_EQ(c.cli.StatusCode(), k.status);
    EXPECT_EQ(c.cli.ReasonPhrase(), k.reason);
    ASSERT_TRUE(pumpUntil([&] { return c.done == 1; }));
    pumpFor(200);
    EXPECT_EQ(c.done, 1);
    EXPECT_EQ(c.doneErr, 0);
    EXPECT_EQ(asked, 1);
    c.expectTwoMoreServed(peer);
  }
}
