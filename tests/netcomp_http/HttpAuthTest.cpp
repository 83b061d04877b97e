// Authentication against loopback peers that play a proxy and a server at once, or two
// servers: both authorization lines in one head, the bound on the rounds of one request, and
// credentials that go to the host the caller named alone.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "HttpSupport.h"
#include "ServingPeer.h"

namespace {
const std::string kProxyLine = "Proxy-Authorization: Basic " + EncodeStr(encBase64, "pu:pp").str();
const std::string kServerLine = "Authorization: Basic " + EncodeStr(encBase64, "u:p").str();

// The 1.0 replies close the connection after each answer, the 1.1 ones keep it.
ServedAnswer answerWith(const char* version, const std::string& status, const std::string& field,
                        const std::string& body = {}) {
  const bool keep = std::string(version) == "1.1";
  return {"HTTP/" + std::string(version) + " " + status + "\r\n" + field +
              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
          keep ? ServedAnswer::Keep : ServedAnswer::Close};
}

bool hasLineStarting(const ServedRequest& r, const std::string& start) {
  return r.head.find("\r\n" + start) != std::string::npos;
}

// A client that asks through the peer as its proxy, with proxy and server credentials.
void throughProxy(RecordingClient& c, const ServingPeer& proxy, const char* version) {
  c.cli.SetRequestVer(version);
  c.cli.Proxy = ("127.0.0.1:" + std::to_string(proxy.port())).c_str();
  c.cli.ProxyUsername = "pu";
  c.cli.ProxyPassword = "pp";
  c.cli.Username = "u";
  c.cli.Password = "p";
}

// An HTTP/1.1 client with the user's server credentials.
void asUser(RecordingClient& c) {
  c.cli.SetRequestVer("1.1");
  c.cli.Username = "u";
  c.cli.Password = "p";
}

// A minimal NTLM challenge (no target name, no target information), in base64.
std::string ntlmChallenge() {
  std::string m("NTLMSSP\0\2\0\0\0\0\0\0\0\x30\0\0\0\x01\x02\0\0", 24);
  m += "\x01\x23\x45\x67\x89\xab\xcd\xef" + std::string(8, '\0');
  m += std::string("\0\0\0\0\x30\0\0\0", 8);
  return EncodeStr(encBase64, AnsiString(m)).str();
}
}  // namespace

// A proxy that wants its credentials on every request, in front of a server that wants its
// own: the request goes with both lines and is answered, on one connection or on a new one
// for each reply.
TEST(HttpAuth, ProxyAndServerCredentialsGoTogether) {
  for (const char* version : {"1.0", "1.1"}) {
    SCOPED_TRACE(version);
    ServingPeer proxy([&](const ServedRequest& r) {
      if (!r.has(kProxyLine))
        return answerWith(version, "407 Proxy Authentication Required",
                          "Proxy-Authenticate: Basic realm=\"proxy\"\r\n");
      if (!r.has(kServerLine))
        return answerWith(version, "401 Unauthorized", "WWW-Authenticate: Basic realm=\"s\"\r\n");
      return answerWith(version, "200 OK", "", "ok");
    });
    RecordingClient c;
    throughProxy(c, proxy, version);
    ASSERT_TRUE(c.get("http://127.0.0.1:9/secret"));
    EXPECT_EQ(c.cli.StatusCode(), 200);
    EXPECT_EQ(c.body.data(), "ok");
    EXPECT_EQ(proxy.requests().size(), 3u);
    EXPECT_EQ(c.done, 1);
  }
}

// Peers that ask again whatever comes, by turns as proxy and as server, for Basic and for
// NTLM: each request ends by itself with an error after a few rounds.
TEST(HttpAuth, AuthenticationRoundsOfOneRequestAreBounded) {
  for (const char* scheme : {"Basic realm=\"x\"", "NTLM"}) {
    SCOPED_TRACE(scheme);
    const bool ntlm = std::string(scheme) == "NTLM";
    int asked = 0;
    ServingPeer proxy([&](const ServedRequest& r) {
      // NTLM: the challenge answers message 1, a bare offer anything else.
      const bool sentMessage1 = r.head.find(" NTLM TlRMTVNTUAABAAAA") != std::string::npos;
      const std::string offer =
          std::string(scheme) + (ntlm && sentMessage1 ? " " + ntlmChallenge() : "") + "\r\n";
      return ++asked % 2 ? answerWith("1.1", "407 Proxy Authentication Required",
                                      "Proxy-Authenticate: " + offer)
                         : answerWith("1.1", "401 Unauthorized", "WWW-Authenticate: " + offer);
    });
    RecordingClient c;
    throughProxy(c, proxy, "1.1");
    ASSERT_TRUE(c.get("http://127.0.0.1:9/secret"));
    EXPECT_EQ(c.cli.StatusCode(), 404);
    EXPECT_EQ(c.cli.ReasonPhrase(), "Too many authentication rounds");
    EXPECT_NE(c.doneErr, 0);
    EXPECT_LE(proxy.requests().size(), 12u);
    c.cli.URL = "http://127.0.0.1:9/secret";
    EXPECT_THROW(c.cli.Get(), EHttpException);
  }
}

// A relocation to another port or another host name carries no credentials of the user,
// neither Basic nor NTLM; one on the named host and port does.
TEST(HttpAuth, CredentialsGoToTheNamedHostAlone) {
  const struct {
    const char* name;
    const char* challenge;
    const char* line;  // how the user's credentials would show
  } schemes[] = {{"Basic", "Basic realm=\"s\"", "Authorization: Basic "},
                 {"NTLM", "NTLM", "Authorization: NTLM "}};
  for (const auto& scheme : schemes) {
    SCOPED_TRACE(scheme.name);
    ServingPeer other([&](const ServedRequest& r) {
      if (!hasLineStarting(r, scheme.line))
        return answerWith("1.1", "401 Unauthorized",
                          std::string("WWW-Authenticate: ") + scheme.challenge + "\r\n");
      return answerWith("1.1", "200 OK", "", "robbed");
    });
    const std::string elsewhere[] = {other.url("/x"),
                                     "http://localhost:" + std::to_string(other.port()) + "/x"};
    for (const std::string& target : elsewhere) {
      SCOPED_TRACE(target);
      ServingPeer named([&](const ServedRequest&) {
        return answerWith("1.1", "302 Found", "Location: " + target + "\r\n");
      });
      RecordingClient c;
      asUser(c);
      ASSERT_TRUE(c.get(named.url("/start")));
      EXPECT_EQ(c.cli.StatusCode(), 401);
      EXPECT_EQ(c.body.data().find("robbed"), std::string::npos);
    }
    for (const ServedRequest& r : other.requests())
      EXPECT_FALSE(hasLineStarting(r, scheme.line)) << r.head;
  }
  // On the named host itself, after a relocation there, the credentials go as asked.
  ServingPeer same([&](const ServedRequest& r) {
    if (r.head.rfind("GET /start ", 0) == 0)
      return answerWith("1.1", "302 Found", "Location: /secret\r\n");
    if (!r.has(kServerLine))
      return answerWith("1.1", "401 Unauthorized", "WWW-Authenticate: Basic realm=\"s\"\r\n");
    return answerWith("1.1", "200 OK", "", "ok");
  });
  RecordingClient c;
  asUser(c);
  ASSERT_TRUE(c.get(same.url("/start")));
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data().substr(c.body.data().size() - 2), "ok");
}

// Without a proxy the proxy's credentials are for no one: a server that answers 407 gets
// none of them, by Basic or by NTLM, and the request ends with its 407.
TEST(HttpAuth, ProxyCredentialsGoToAProxyAlone) {
  for (const char* scheme : {"Basic realm=\"p\"", "NTLM"}) {
    SCOPED_TRACE(scheme);
    ServingPeer server([&](const ServedRequest&) {
      return answerWith("1.1", "407 Proxy Authentication Required",
                        std::string("Proxy-Authenticate: ") + scheme + "\r\n");
    });
    RecordingClient c;
    c.cli.SetRequestVer("1.1");
    c.cli.ProxyUsername = "pu";
    c.cli.ProxyPassword = "pp";
    ASSERT_TRUE(c.get(server.url("/x")));
    EXPECT_EQ(c.cli.StatusCode(), 407);
    EXPECT_EQ(c.doneErr, 0);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(hasLineStarting(requests[0], "Proxy-Authorization: ")) << requests[0].head;
  }
}

// A location that names a user and a password serves that relocation alone: the caller's
// Username and Password are as the caller set them after the request, and the next request
// answers its challenge with them, on a kept-alive connection and on new ones.
TEST(HttpAuth, ALocationsCredentialsServeThatRelocationAlone) {
  const std::string bobLine = "Authorization: Basic " + EncodeStr(encBase64, "bob:pw").str();
  for (const char* version : {"1.1", "1.0"}) {
    SCOPED_TRACE(version);
    int port = 0;
    ServingPeer peer([&](const ServedRequest& r) {
      if (r.head.rfind("GET /start ", 0) == 0)
        return answerWith(version, "302 Found",
                          "Location: http://bob:pw@127.0.0.1:" + std::to_string(port) + "/in\r\n");
      if (!hasLineStarting(r, "Authorization: "))
        return answerWith(version, "401 Unauthorized", "WWW-Authenticate: Basic realm=\"s\"\r\n");
      return answerWith(version, "200 OK", "", "ok");
    });
    port = peer.port();
    RecordingClient c;
    asUser(c);
    c.cli.SetRequestVer(version);
    ASSERT_TRUE(c.get(peer.url("/start")));
    EXPECT_EQ(c.cli.StatusCode(), 200);
    EXPECT_EQ(c.cli.Username, "u");
    EXPECT_EQ(c.cli.Password, "p");
    ASSERT_TRUE(c.get(peer.url("/secret")));
    EXPECT_EQ(c.cli.StatusCode(), 200);
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(requests[2].has(bobLine)) << requests[2].head;
    EXPECT_TRUE(requests[4].has(kServerLine)) << requests[4].head;
  }
}

// The client is ready for a moment while it answers a challenge, but the request goes on until
// the answered request ends: a blocking call whose message pump ends its pass right there (a
// slow handler of that moment) returns with the answer, not with the 401; a new request
// started at that moment meets the busy error, and the running one still ends, once; an
// Abort at that moment aborts the running request.
TEST(HttpAuth, TheRequestRunsOnWhileItsChallengeIsAnswered) {
  ServingPeer peer([&](const ServedRequest& r) {
    if (!r.has(kServerLine))
      return answerWith("1.1", "401 Unauthorized", "WWW-Authenticate: Basic realm=\"s\"\r\n");
    return answerWith("1.1", "200 OK", "", "secret");
  });
  enum Then { SlowHandler, NewRequest, Abort };
  const struct {
    const char* name;
    Then then;
    int status;
    const char* body;
    WORD doneErr;
  } cases[] = {
      {"a blocking Get, a slow handler", SlowHandler, 200, "secret", 0},
      {"a new request", NewRequest, 200, "secret", 0},
      {"an Abort", Abort, 404, "", 3},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    RecordingClient c;
    asUser(c);
    int busy = 0;
    HWND later = AllocateHWnd([&](TMessage&) {
      if (k.then == Abort) {
        c.cli.Abort();
        return;
      }
      try {
        c.cli.GetASync();
      } catch (const EHttpException& e) {
        busy = e.ErrorCode;
      }
    });
    bool first = true;
    c.cli.OnStateChange = [&](TObject*) {
      if (c.cli.State() != httpReady || !first) return;
      first = false;
      if (k.then == SlowHandler)
        std::this_thread::sleep_for(std::chrono::milliseconds(2 * kPumpPassMs));
      else
        PostMessageA(later, WM_USER, 0, 0);  // handled after the answer's start is posted
    };
    c.cli.URL = peer.url("/secret").c_str();
    if (k.then == SlowHandler) {
      c.cli.Get();
    } else {
      c.cli.GetASync();
      ASSERT_TRUE(pumpUntil([&] { return c.done == 1; }));
      EXPECT_EQ(busy, k.then == NewRequest ? 1 : 0);
    }
    EXPECT_EQ(c.cli.StatusCode(), k.status);
    EXPECT_EQ(c.body.data(), k.body);
    pumpFor(200);
    DeallocateHWnd(later);
    EXPECT_EQ(c.done, 1);
    EXPECT_EQ(c.doneErr, k.doneErr);
  }
}

// An exchange that its request left unfinished (an error answered NTLM message 1, the request
// was aborted as message 1 went, a 401 without a challenge answered message 3 or the Basic
// credentials) goes no further: the next request, a POST to a server that asks for nothing,
// carries none of the user's credentials unasked and sends its whole body.
TEST(HttpAuth, AnUnfinishedExchangeDoesNotGoOnIntoTheNextRequest) {
  const std::string message1 = "Authorization: NTLM " + NtlmGetMessage1("", "").str();
  const ServedAnswer error = answerWith("1.1", "500 Internal Server Error", "");
  const ServedAnswer bare401 = answerWith("1.1", "401 Unauthorized", "");
  const struct {
    const char* name;
    const char* offer;
    ServedAnswer toMessage1;
    ServedAnswer toCredentials;  // to NTLM message 3 or to the Basic line
    bool abortAsTheyGo;          // as message 1 goes
  } cases[] = {
      {"NTLM, a 500 to message 1", "NTLM", error, {}, false},
      {"NTLM, an Abort as message 1 goes", "NTLM", error, {}, true},
      {"NTLM, a bare 401 to message 3", "NTLM",
       answerWith("1.1", "401 Unauthorized", "WWW-Authenticate: NTLM " + ntlmChallenge() + "\r\n"),
       bare401, false},
      {"Basic, a bare 401 to the credentials", "Basic realm=\"s\"", error, bare401, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    ServingPeer guarded([&](const ServedRequest& r) {
      if (r.has(message1)) return k.toMessage1;
      if (hasLineStarting(r, "Authorization: ")) return k.toCredentials;
      return answerWith("1.1", "401 Unauthorized",
                        "WWW-Authenticate: " + std::string(k.offer) + "\r\n");
    });
    ServingPeer open([&](const ServedRequest&) { return answerWith("1.1", "200 OK", ""); });
    RecordingClient c;
    asUser(c);
    c.cli.OnCommand = [&](TObject*, AnsiString& line) {
      if (k.abortAsTheyGo && line.SubString(1, 15) == "Authorization: ") c.cli.Abort();
    };
    ASSERT_TRUE(c.get(guarded.url("/n")));
    c.cli.OnCommand = nullptr;
    StringStream data("data");
    c.cli.SendStream = &data;
    c.cli.URL = open.url("/form").c_str();
    c.cli.Post();
    EXPECT_EQ(c.cli.StatusCode(), 200);
    const auto requests = open.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(hasLineStarting(requests[0], "Authorization: ")) << requests[0].head;
    EXPECT_EQ(requests[0].body, "data");
  }
}
