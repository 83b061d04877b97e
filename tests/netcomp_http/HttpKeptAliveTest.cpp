// Replies on a kept-alive HTTP/1.1 connection against a loopback peer that plays the server:
// where each reply ends (interim replies, trailers, bodiless replies, bytes past the length,
// chunk framing that does not hold) and whether the next request on the connection is read
// whole, through the blocking calls.
#include <gtest/gtest.h>

#include <QTimer>

#include "HttpSupport.h"
#include "ServingPeer.h"

namespace {
const std::string kGood = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngood";
const std::string kChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

std::string requestLine(const ServedRequest& r) { return r.head.substr(0, r.head.find("\r\n")); }

// How one blocking request ended.
struct Ended {
  int status = 0;
  std::string reason;
  int raised = -1;      // the EHttpException's code; -1 when the call returned
  bool hung = false;    // aborted after waiting in vain
  std::string body;     // what this request added to the stream
  int connection = -1;  // the peer's connection that carried its request
};

// A peer that answers /first as the case says and every other request with "good", and a
// client that asks it with HTTP/1.1.
struct KeptAlive {
  ServedAnswer first;
  ServingPeer peer{[this](const ServedRequest& r) {
    return requestLine(r).find(" /first ") != std::string::npos ? first : ServedAnswer{kGood};
  }};
  RecordingClient c;
  int cookies = 0;

  explicit KeptAlive(ServedAnswer answer) : first(std::move(answer)) {
    c.cli.SetRequestVer("1.1");
    c.cli.OnCookie = [this](TObject*, const AnsiString&, bool&) { ++cookies; };
  }

  // A blocking Get (or Head) of the path, aborted when it has not ended within 3 seconds.
  Ended ask(const std::string& path, THttpRequest type = httpGET) {
    bool hung = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
      hung = true;
      c.cli.Abort();
    });
    guard.start(3000);
    const std::size_t before = c.body.data().size();
    const std::size_t asked = peer.requests().size();
    c.cli.URL = peer.url(path).c_str();
    Ended e;
    try {
      if (type == httpHEAD)
        c.cli.Head();
      else
        c.cli.Get();
    } catch (const EHttpException& x) {
      e.raised = x.ErrorCode;
    }
    guard.stop();
    e.status = c.cli.StatusCode();
    e.reason = c.cli.ReasonPhrase().str();
    e.hung = hung;
    e.body = c.body.data().substr(before);
    const auto requests = peer.requests();
    if (requests.size() > asked) e.connection = requests.back().connection;
    return e;
  }

  // The next request is answered whole, on the given connection of the peer.
  void expectNextReadWhole(int connection) {
    const Ended next = ask("/next");
    EXPECT_EQ(next.raised, -1) << next.reason;
    EXPECT_EQ(next.status, 200);
    EXPECT_EQ(next.body, "good");
    EXPECT_EQ(next.connection, connection);
  }

  int asked(const std::string& path) const {
    int n = 0;
    for (const ServedRequest& r : peer.requests())
      if (requestLine(r).find(" " + path + " ") != std::string::npos) ++n;
    return n;
  }
};
}  // namespace

// The fields of an interim reply act on nothing: no relocation, no closing, no challenge to
// answer, no cookie, no content type; only the final reply's fields count.
TEST(HttpKeptAlive, FieldsOfAnInterimReplyActOnNothing) {
  const std::string hello =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 5\r\n\r\nhello";
  const std::string denied =
      "HTTP/1.1 401 Unauthorized\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n\r\n";
  const struct {
    const char* field;
    std::string final;
    int status;
  } cases[] = {
      {"Location: /evil", hello, 200},
      {"Location: http://127.0.0.1:1/evil", hello, 200},
      {"Connection: close", hello, 200},
      {"WWW-Authenticate: Basic realm=\"interim\"", denied, 401},
      {"Set-Cookie: from=interim", hello, 200},
      {"Content-Type: text/html", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", 200},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.field);
    KeptAlive x({"HTTP/1.1 100 Continue\r\n" + std::string(k.field) + "\r\n\r\n" + k.final});
    x.c.cli.Username = "u";
    x.c.cli.Password = "p";
    const Ended e = x.ask("/first");
    EXPECT_EQ(e.status, k.status);
    EXPECT_EQ(e.body, k.status == 200 ? "hello" : "");
    EXPECT_EQ(x.c.count("LocationChange"), 0);
    EXPECT_EQ(x.cookies, 0);
    EXPECT_NE(x.c.cli.ContentType(), "text/html");
    EXPECT_EQ(x.asked("/first"), 1);
    EXPECT_EQ(x.asked("/evil"), 0);
    x.expectNextReadWhole(0);
  }
}

// The trailer after the last chunk is read to its empty line, however the bytes are cut into
// segments: the reply ends there and the next one on the connection is read whole.
TEST(HttpKeptAlive, TrailersAreReadToTheirEmptyLineWhateverTheSegments) {
  const std::string chunks = kChunkedHead + "5\r\nhello\r\n0\r\n";
  const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  const struct {
    const char* name;
    ServedAnswer answer;
  } cases[] = {
      {"the empty line later", {chunks + "X-Sum: 1\r\n", ServedAnswer::Keep, 200, "\r\n"}},
      {"the last field later",
       {chunks + "X-One: 1\r\n", ServedAnswer::Keep, 200, "X-Two: 2\r\n\r\n"}},
      {"bare line feeds, the empty line later",
       {kChunkedHead + "5\nhello\n0\nX-Sum: 1\n", ServedAnswer::Keep, 200, "\n"}},
      {"no trailer, byte by byte after a 100",
       {interim + chunks + "\r\n", ServedAnswer::Keep, 0, "", 2}},
      {"a trailer, byte by byte after a 100",
       {interim + chunks + "X-Sum: 1\r\n\r\n", ServedAnswer::Keep, 0, "", 2}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    KeptAlive x(k.answer);
    const Ended e = x.ask("/first");
    EXPECT_EQ(e.raised, -1) << e.reason;
    EXPECT_EQ(e.status, 200);
    EXPECT_EQ(e.body, "hello");
    EXPECT_EQ(x.c.count("DocEnd"), 1);
    x.expectNextReadWhole(0);
  }
}

// What lenient servers send within the framing rules is read whole, and the connection goes
// on: size lines with leading zeros (up to 16 digits), capitals, a blank before the extension;
// several interim replies in a row; an HTTP/1.0 server that keeps the connection alive; a
// length beside the transfer coding identity, which changes nothing.
TEST(HttpKeptAlive, LenientButSoundFramingIsReadWholeAndTheConnectionKept) {
  const std::string length5 = "Content-Length: 5\r\n\r\nhello";
  const struct {
    std::string reply;
    const char* body;
  } cases[] = {
      {kChunkedHead + "0002\r\nhe\r\n3 ;ext=\"a b\"\r\nllo\r\n0000\r\n\r\n", "hello"},
      {kChunkedHead + "A\r\n0123456789\r\nB\r\nabcdefghijk\r\n0\r\n\r\n", "0123456789abcdefghijk"},
      {kChunkedHead + "0000000000000005\r\nhello\r\n0\r\n\r\n", "hello"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\nHTTP/1.1 103 Early "
       "Hints\r\nLink: </style.css>\r\n\r\nHTTP/1.1 200 OK\r\n" +
           length5,
       "hello"},
      {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\n" + length5, "hello"},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n" + length5, "hello"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.reply);
    KeptAlive x({k.reply});
    const Ended e = x.ask("/first");
    EXPECT_EQ(e.raised, -1) << e.reason;
    EXPECT_EQ(e.status, 200);
    EXPECT_EQ(e.body, k.body);
    x.expectNextReadWhole(0);
  }
}

// A size line that does not begin with a hex digit or has more than 16 digits (leading zeros
// too, however many come), or chunk data that no line end follows, is no chunk: the request
// ends with an error of the client's own, what came before stays in the stream, and the
// connection is not used again. The peer keeps it open.
TEST(HttpKeptAlive, ChunkFramingThatDoesNotHoldEndsTheRequestAndTheConnection) {
  const struct {
    std::string chunks;
    const char* reason;
    const char* body;
  } cases[] = {
      {"-5\r\nhello\r\n0\r\n\r\n", "Bad chunk size", ""},
      {"zz\r\nhello\r\n0\r\n\r\n", "Bad chunk size", ""},
      {" 5\r\nhello\r\n0\r\n\r\n", "Bad chunk size", ""},
      {"5\r\nhello\r\n\r\n", "Bad chunk size", "hello"},
      {"5\r\nhello\r\n;x\r\n0\r\n\r\n", "Bad chunk size", "hello"},
      {"5\r\nhelloXY\r\n0\r\n\r\n", "Chunk data not followed by CR LF", "hello"},
      {"5\r\nhello\rX\r\n0\r\n\r\n", "Chunk data not followed by CR LF", "hello"},
      {"00000000000000005\r\nhello\r\n0\r\n\r\n", "Bad chunk size", ""},
      {"5\r\nhello\r\n" + std::string(4 << 20, '0') + "3\r\nabc\r\n0\r\n\r\n", "Bad chunk size",
       "hello"},
      {"5\r\nhello\r\n3;" + std::string(4 << 20, 'x') + "\r\nabc\r\n0\r\n\r\n", "Bad chunk size",
       "hello"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.chunks.substr(0, 40));
    KeptAlive x({kChunkedHead + k.chunks});
    const Ended e = x.ask("/first");
    EXPECT_FALSE(e.hung);
    EXPECT_EQ(e.raised, 404);
    EXPECT_EQ(e.status, 404);
    EXPECT_EQ(e.reason, k.reason);
    EXPECT_EQ(e.body, k.body);
    ASSERT_TRUE(pumpUntil([&] { return x.c.done == 1; }));
    EXPECT_EQ(x.c.doneErr, 404);
    x.expectNextReadWhole(1);
  }
}

// Bytes past a reply's length answer no request: the connection that carried them is not used
// again, whether they come with the body, while the client waits for nothing, or after the
// next request went out on it (that request then ends with an error, never as a reply
// without a status).
TEST(HttpKeptAlive, BytesPastTheLengthAreNeverReadAsTheNextReply) {
  const std::string hello = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  const struct {
    const char* name;
    ServedAnswer answer;
    int waitMs;      // before the next request
    bool nextFails;  // the next request met the surplus
  } cases[] = {
      {"with the body", {hello + "EXTRA"}, 0, false},
      {"with the body, a line", {hello + "EXTRA\r\n"}, 0, false},
      {"while the client waits for nothing", {hello, ServedAnswer::Keep, 100, "EXTRA"}, 400, false},
      {"after the next request went out", {hello, ServedAnswer::Keep, 300, "EXTRA"}, 0, true},
      {"after the next request went out, lines",
       {hello, ServedAnswer::Keep, 300, "\r\nEXTRA\r\n"},
       0,
       true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    KeptAlive x(k.answer);
    const Ended e = x.ask("/first");
    EXPECT_EQ(e.status, 200);
    EXPECT_EQ(e.body, "hello");
    pumpFor(k.waitMs);
    if (k.nextFails) {
      const Ended met = x.ask("/next");
      EXPECT_FALSE(met.hung);
      EXPECT_EQ(met.raised, 404) << met.status << " " << met.reason;
      EXPECT_EQ(met.reason, "Bad status line");
      EXPECT_EQ(met.body, "");
    }
    x.expectNextReadWhole(1);
  }
}

// 1xx, 204 and 304 replies and replies to HEAD end at their empty line, whatever length or
// coding they name; the connection stays in use, but after a 101, which switches to a protocol
// the client never asked for.
TEST(HttpKeptAlive, BodilessRepliesEndAtTheirEmptyLineWhateverTheirLength) {
  const struct {
    const char* reply;
    THttpRequest type;
    int status;
    int nextConnection;
  } cases[] = {
      {"HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", httpGET, 204, 0},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n", httpGET, 304, 0},
      {"HTTP/1.1 304 Not Modified\r\nTransfer-Encoding: chunked\r\n\r\n", httpGET, 304, 0},
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", httpHEAD, 200, 0},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", httpHEAD, 200, 0},
      {"HTTP/1.1 101 Switching Protocols\r\nContent-Length: 5\r\n\r\n", httpGET, 101, 1},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.reply);
    KeptAlive x({k.reply});
    const Ended e = x.ask("/first", k.type);
    EXPECT_FALSE(e.hung);
    EXPECT_EQ(e.raised, -1) << e.reason;
    EXPECT_EQ(e.status, k.status);
    EXPECT_EQ(x.c.count("DocBegin"), 0);
    x.expectNextReadWhole(k.nextConnection);
  }
}

// A first line that is no status line is no reply, on a new connection as on a kept one: the
// request ends with an error of the client's own, and the next ones go on a new connection.
TEST(HttpKeptAlive, AReplyWithoutAStatusLineFailsOnNewAndKeptConnectionsAlike) {
  for (const std::string first : {"ICY 200 OK", ""}) {
    for (const bool kept : {false, true}) {
      SCOPED_TRACE("\"" + first + (kept ? "\" on a kept connection" : "\" on a new connection"));
      KeptAlive x({first + "\r\nContent-Length: 5\r\n\r\nhello"});
      if (kept) x.expectNextReadWhole(0);
      const Ended e = x.ask("/first");
      EXPECT_FALSE(e.hung);
      EXPECT_EQ(e.raised, 404);
      EXPECT_EQ(e.status, 404);
      EXPECT_EQ(e.reason, "Bad status line");
      EXPECT_EQ(e.body, "");
      x.expectNextReadWhole(1);
      x.expectNextReadWhole(1);
    }
  }
}

// Content-Length fields (one with a list, or several) that name one length frame the body by
// it, and the connection goes on; differing lengths leave the body's end unknown and fail the
// reply.
TEST(HttpKeptAlive, RepeatedContentLengthsNameOneLengthOrFailTheReply) {
  const struct {
    const char* fields;
    bool sound;
  } cases[] = {
      {"Content-Length: 5, 5\r\n", true},
      {"Content-Length: 5,5 , 5\r\n", true},
      {"Content-Length: 5\r\nContent-Length: 5\r\n", true},
      {"Content-Length: 5, 6\r\n", false},
      {"Content-Length: 5\r\nContent-Length: 6\r\n", false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.fields);
    KeptAlive x({"HTTP/1.1 200 OK\r\n" + std::string(k.fields) + "\r\nhello"});
    const Ended e = x.ask("/first");
    EXPECT_FALSE(e.hung);
    EXPECT_EQ(e.raised, k.sound ? -1 : 404);
    EXPECT_EQ(e.reason, k.sound ? "OK" : "Content-Length values differ");
    EXPECT_EQ(e.body, k.sound ? "hello" : "");
    x.expectNextReadWhole(k.sound ? 0 : 1);
    x.expectNextReadWhole(k.sound ? 0 : 1);
  }
}

// A transfer coding that does not end in chunked leaves the body's end to the close, whatever
// length stands beside it; the next requests go on a new connection.
TEST(HttpKeptAlive, ACodingNotEndingInChunkedIsReadUntilTheClose) {
  for (const char* coding : {"gzip", "chunked, gzip"}) {
    SCOPED_TRACE(coding);
    KeptAlive x({"HTTP/1.1 200 OK\r\nTransfer-Encoding: " + std::string(coding) +
                     "\r\nContent-Length: 5\r\n\r\nhello",
                 ServedAnswer::Close, 200, "WORLD"});
    const Ended e = x.ask("/first");
    EXPECT_FALSE(e.hung);
    EXPECT_EQ(e.raised, -1) << e.reason;
    EXPECT_EQ(e.status, 200);
    EXPECT_EQ(e.body, "helloWORLD");
    x.expectNextReadWhole(1);
    x.expectNextReadWhole(1);
  }
}

// An HTTP/1.0 reply without "Connection: keep-alive", or one whose connection options name
// close among others, ends its connection: the next request goes on a new one and is
// answered, though the server closes the old one a moment later.
TEST(HttpKeptAlive, AReplyThatDoesNotPersistEndsItsConnection) {
  for (const char* head :
       {"HTTP/1.0 200 OK\r\n", "HTTP/1.1 200 OK\r\nConnection: close, keep-alive\r\n",
        "HTTP/1.1 200 OK\r\nConnection: TE,Close\r\n"}) {
    SCOPED_TRACE(head);
    KeptAlive x({head + std::string("Content-Length: 5\r\n\r\nhello"), ServedAnswer::Close, 300});
    const Ended e = x.ask("/first");
    EXPECT_EQ(e.raised, -1) << e.reason;
    EXPECT_EQ(e.body, "hello");
    x.expectNextReadWhole(1);
    x.expectNextReadWhole(1);
  }
}
