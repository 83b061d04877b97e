// The client against a real nginx: plain documents, the blocking status test, HEAD and PUT,
// relocations on the same and to another server, chunked replies, Basic authentication, and
// nginx as a forward proxy (with and without a Basic 407).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "HttpSupport.h"
#include "Nginx.h"
#include "Peer.h"
#include "ScriptedPeer.h"

namespace {
const char* const kServerBlock = R"(
    if_modified_since before;
    absolute_redirect off;
    location = /old.htm { return 302 /dir/a.htm; }
    location = /rel/old.htm { return 302 b.htm; }
    location = /form { return 302 /dir/a.htm; }
    location = /noext { default_type text/html; }
    location = /data.dat { default_type text/html; }
    location /ssi/ { ssi on; }
    location /secret/ { auth_basic "area"; auth_basic_user_file htpasswd; }
    location = /loop { return 302 /loop; }
    location /dav/ { dav_methods PUT; create_full_put_path on; }
)";

// nginx as a forward proxy: the request line's absolute URL names the server to ask (an
// address, so no resolver is needed); with basic, only joe:pw may pass.
std::string proxyBlock(bool basic) {
  const std::string pass =
      "      proxy_set_header Proxy-Authorization \"\";\n"
      "      proxy_pass http://$http_host$uri$is_args$args;\n";
  if (!basic) return "    location / {\n" + pass + "    }\n";
  return "    location / {\n"
         "      if ($http_proxy_authorization != \"Basic am9lOnB3\") {\n"
         "        add_header Proxy-Authenticate 'Basic realm=\"proxy\"' always;\n"
         "        return 407;\n"
         "      }\n" +
         pass + "    }\n";
}

class HttpNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Nginx::available()) GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh)";
  }
  void start(const std::string& extra = {}) {
    server = std::make_unique<Nginx>(kServerBlock + extra);
    ASSERT_TRUE(server->running()) << server->errorLog();
    server->put("dir/a.htm", "<html>a</html>");
    server->put("rel/b.htm", "<html>b</html>");
    server->put("noext", "page");
    server->put("data.dat", "data");
    server->put("plain.txt", "plain text");
    server->put("ssi/page.html", "one<!--# echo var=\"none\" default=\"two\" -->three");
    server->put("secret/x.htm", "secret");
    writeFile(server->dir() + "/htpasswd", "joe:{PLAIN}pw\n");
    // PUT writes as nginx's worker, which may be another user.
    const QString dav = QString::fromStdString(server->dir()) + "/www/dav";
    QDir().mkpath(dav);
    QFile::setPermissions(
        dav, QFile::permissions(dav) | QFile::WriteOther | QFile::ExeOther | QFile::ReadOther);
  }
  void startProxy(bool basic) {
    proxy = std::make_unique<Nginx>(proxyBlock(basic));
    ASSERT_TRUE(proxy->running()) << proxy->errorLog();
  }
  std::string proxyAddress() const { return "127.0.0.1:" + std::to_string(proxy->port()); }
  static void writeFile(const std::string& name, const std::string& text) {
    std::FILE* f = std::fopen(name.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  // nginx writes its log line after the reply: wait for it, then see that no more come.
  bool waitLogged(int requests) {
    pumpUntil([&] { return requestsLogged(*server) >= requests; }, 2000);
    pumpFor(200);
    return requestsLogged(*server) == requests;
  }
  std::unique_ptr<Nginx> server;
  std::unique_ptr<Nginx> proxy;
};
}  // namespace

TEST_F(HttpNginx, BlockingGetFetchesTheDocument) {
  start();
  RecordingClient c;
  c.cli.URL = server->url("/dir/a.htm").c_str();
  c.cli.Get();
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data(), "<html>a</html>");
  EXPECT_EQ(c.cli.ContentType(), "text/html");
  EXPECT_EQ(c.cli.DocName(), "a.htm");
}

TEST_F(HttpNginx, BlockingGetRaisesTheStatusAbove400Except401) {
  start();
  RecordingClient c;
  c.cli.URL = server->url("/missing.htm").c_str();
  try {
    c.cli.Get();
    ADD_FAILURE() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 404);
    EXPECT_EQ(e.Message(), "Not Found");
  }
  c.cli.URL = server->url("/secret/x.htm").c_str();
  EXPECT_NO_THROW(c.cli.Get());
  EXPECT_EQ(c.cli.StatusCode(), 401);
}

TEST_F(HttpNginx, DocumentNamesGetHtmOnlyWithoutAnExtension) {
  start();
  struct Case {
    const char* path;
    const char* docName;
  } cases[] = {{"/noext", "noext.htm"}, {"/data.dat", "data.dat"}, {"/plain.txt", "plain.txt"}};
  for (const auto& k : cases) {
    RecordingClient c;
    ASSERT_TRUE(c.get(server->url(k.path)));
    EXPECT_EQ(c.cli.DocName(), k.docName) << k.path;
  }
}

TEST_F(HttpNginx, RelocationsOnTheSameServer) {
  start();
  struct Case {
    const char* path;
    const char* body;
    const char* docName;
  } cases[] = {{"/old.htm", "<html>a</html>", "a.htm"},
               {"/rel/old.htm", "<html>b</html>", "b.htm"}};
  for (const char* version : {"1.0", "1.1"}) {
    for (const auto& k : cases) {
      RecordingClient c;
      c.cli.SetRequestVer(version);
      ASSERT_TRUE(c.get(server->url(k.path))) << k.path;
      EXPECT_EQ(c.cli.StatusCode(), 200) << k.path << " " << version;
      EXPECT_EQ(c.docData.substr(c.docData.size() - std::strlen(k.body)), k.body) << k.path;
      EXPECT_EQ(c.cli.DocName(), k.docName) << k.path;
      EXPECT_EQ(c.count("LocationChange"), 1) << k.path;
      EXPECT_EQ(c.done, 1);
    }
  }
}

TEST_F(HttpNginx, PostAnsweredWithARelocationIsFollowedWithAGet) {
  start();
  RecordingClient c;
  StringStream sent("a=1");
  c.cli.SendStream = &sent;
  c.cli.URL = server->url("/form").c_str();
  c.cli.PostASync();
  ASSERT_TRUE(c.waitDone());
  EXPECT_EQ(c.doneType, httpGET);
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_TRUE(waitLogged(2));
}

TEST_F(HttpNginx, AbsoluteRelocationToAnotherServerOpensANewConnection) {
  ScriptedPeer other(
      {expectBytes(16), reply("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nthere"), hangUp()});
  start("    location = /away { return 302 http://127.0.0.1:" + std::to_string(other.port()) +
        "/moved.htm; }\n");
  RecordingClient c;
  c.cli.SetRequestVer("1.1");
  ASSERT_TRUE(c.get(server->url("/away")));
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(other.received().substr(0, 16), "GET /moved.htm H");
  EXPECT_EQ(c.cli.DocName(), "moved.htm");
}

TEST_F(HttpNginx, ChunkedReplyOfAnHttp11Request) {
  start();
  RecordingClient c;
  c.cli.SetRequestVer("1.1");
  ASSERT_TRUE(c.get(server->url("/ssi/page.html")));
  EXPECT_EQ(c.cli.TransferEncoding(), "chunked");
  EXPECT_EQ(c.body.data(), "onetwothree");
  EXPECT_EQ(c.count("DocEnd"), 1);
}

TEST_F(HttpNginx, BasicAuthenticationSendsExactlyOneMoreRequest) {
  start();
  struct Case {
    const char* password;
    int status;
  } cases[] = {{"pw", 200}, {"wrong", 401}};
  int logged = 0;
  for (const auto& k : cases) {
    RecordingClient c;
    c.cli.Username = "joe";
    c.cli.Password = k.password;
    c.cli.URL = server->url("/secret/x.htm").c_str();
    c.cli.Get();
    EXPECT_EQ(c.cli.StatusCode(), k.status) << k.password;
    EXPECT_TRUE(pumpUntil([&] { return c.done == 1; }));
    logged += 2;
    EXPECT_TRUE(waitLogged(logged)) << k.password;
    // The 401 page that was answered is taken out of the stream again.
    if (k.status == 200) {
      EXPECT_EQ(c.body.data(), "secret");
    }
  }
}

TEST_F(HttpNginx, NoBasicAuthOptionEndsAt401) {
  start();
  RecordingClient c;
  c.cli.Username = "joe";
  c.cli.Password = "pw";
  c.cli.Options = {httpoNoBasicAuth};
  ASSERT_TRUE(c.get(server->url("/secret/x.htm")));
  EXPECT_EQ(c.cli.StatusCode(), 401);
  EXPECT_TRUE(waitLogged(1));
}

TEST_F(HttpNginx, RangeRequestAndModifiedSince) {
  start();
  RecordingClient c;
  c.cli.ContentRangeBegin = "2";
  c.cli.ContentRangeEnd = "5";
  ASSERT_TRUE(c.get(server->url("/plain.txt")));
  EXPECT_EQ(c.cli.StatusCode(), 206);
  EXPECT_EQ(c.body.data(), "ain ");
  EXPECT_EQ(c.cli.ContentRangeBegin, "2");
  EXPECT_EQ(c.cli.ContentRangeEnd, "5");

  RecordingClient fresh;
  fresh.cli.ModifiedSince = Now().Val + 2;  // nginx compares with the file's time
  ASSERT_TRUE(fresh.get(server->url("/plain.txt")));
  EXPECT_EQ(fresh.cli.StatusCode(), 304);
  EXPECT_EQ(fresh.count("DocBegin"), 0);

  RecordingClient whole;
  ASSERT_TRUE(whole.get(server->url("/plain.txt")));
  EXPECT_EQ(whole.cli.AcceptRanges(), "bytes");
}

TEST_F(HttpNginx, HeadGivesTheHeaderAloneAndTheConnectionServesTheNextRequest) {
  start();
  for (const char* version : {"1.0", "1.1"}) {
    RecordingClient c;
    c.cli.SetRequestVer(version);
    c.cli.URL = server->url("/dir/a.htm").c_str();
    c.cli.Head();
    EXPECT_EQ(c.cli.StatusCode(), 200) << version;
    EXPECT_EQ(c.cli.ContentLength(), 14) << version;
    EXPECT_EQ(c.cli.ContentType(), "text/html") << version;
    EXPECT_EQ(c.count("DocBegin"), 0) << version;
    c.cli.Get();
    EXPECT_EQ(c.body.data(), "<html>a</html>") << version;
  }
}

TEST_F(HttpNginx, PutStoresTheBodyAndItsLocationIsNotFollowed) {
  start();
  RecordingClient c;
  StringStream sent("stored by PUT");
  c.cli.SendStream = &sent;
  c.cli.URL = server->url("/dav/new.txt").c_str();
  c.cli.Put();
  EXPECT_EQ(c.cli.StatusCode(), 201);
  EXPECT_NE(c.cli.Location().Pos("/dav/new.txt"), 0) << c.cli.Location().c_str();
  EXPECT_EQ(c.cli.SentBodyCount(), 13);
  EXPECT_TRUE(waitLogged(1));
  QFile stored(QString::fromStdString(server->dir()) + "/www/dav/new.txt");
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  EXPECT_EQ(stored.readAll().toStdString(), "stored by PUT");
  sent.SetPosition(0);
  c.cli.Put();
  EXPECT_EQ(c.cli.StatusCode(), 204);
}

TEST_F(HttpNginx, MultiThreadedBlockingGetPumpsTheSocketsOwnQueue) {
  start();
  RecordingClient c;
  c.cli.SetMultiThreaded(true);
  EXPECT_TRUE(c.cli.CtrlSocket()->MultiThreaded);
  c.cli.URL = server->url("/dir/a.htm").c_str();
  c.cli.Get();
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data(), "<html>a</html>");
  c.cli.URL = server->url("/missing.htm").c_str();
  EXPECT_THROW(c.cli.Get(), EHttpException);
  EXPECT_EQ(c.cli.StatusCode(), 404);
}

// Each relocation of a loop opens a new connection (HTTP/1.0): twenty are followed, and the
// count starts again with the next request.
TEST_F(HttpNginx, ARelocationLoopEndsAfterTwentyRelocations) {
  start();
  RecordingClient c;
  c.cli.URL = server->url("/loop").c_str();
  for (int requests : {21, 42}) {
    try {
      c.cli.Get();
      ADD_FAILURE() << "no exception";
    } catch (const EHttpException& e) {
      EXPECT_EQ(e.ErrorCode, 404);
      EXPECT_EQ(e.Message(), "Too many relocations");
    }
    EXPECT_TRUE(waitLogged(requests));
  }
}

TEST_F(HttpNginx, AbortWhileReadyOnAKeptAliveConnectionLeavesTheNextRequestWhole) {
  start();
  RecordingClient c;
  c.cli.SetRequestVer("1.1");
  ASSERT_TRUE(c.get(server->url("/dir/a.htm")));
  ASSERT_EQ(c.cli.CtrlSocket()->State(), wsConnected);
  c.cli.Abort();
  EXPECT_EQ(c.done, 2);
  ASSERT_TRUE(c.get(server->url("/rel/b.htm")));
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data(), "<html>a</html><html>b</html>");
  pumpFor(100);
  EXPECT_EQ(c.done, 3);
}

TEST_F(HttpNginx, ForwardProxyFetchesTheDocumentAndFollowsRelocationsThroughItsOwnPort) {
  start();
  startProxy(false);
  struct Case {
    const char* path;
    const char* version;
  } cases[] = {{"/dir/a.htm", "1.0"}, {"/old.htm", "1.0"}, {"/old.htm", "1.1"}};
  for (const auto& k : cases) {
    RecordingClient c;
    c.cli.SetRequestVer(k.version);
    c.cli.Proxy = proxyAddress().c_str();  // host:port; ProxyPort names no proxy
    c.cli.ProxyPort = std::to_string(peer::unusedPort()).c_str();
    c.cli.URL = server->url(k.path).c_str();
    c.cli.Get();
    EXPECT_EQ(c.cli.StatusCode(), 200) << k.path << " " << k.version;
    EXPECT_EQ(c.body.data().substr(c.body.data().size() - 14), "<html>a</html>") << k.path;
    EXPECT_EQ(c.cli.DocName(), "a.htm") << k.path;
  }
  // The relocation to another server: a new connection, again to the proxy.
  ScriptedPeer other(
      {expectBytes(16), reply("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nthere"), hangUp()});
  Nginx away("    location = /away { return 302 http://127.0.0.1:" + std::to_string(other.port()) +
             "/moved.htm; }\n");
  ASSERT_TRUE(away.running()) << away.errorLog();
  RecordingClient c;
  c.cli.Proxy = proxyAddress().c_str();
  c.cli.URL = away.url("/away").c_str();
  c.cli.Get();
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data().substr(c.body.data().size() - 5), "there");
}

TEST_F(HttpNginx, ForwardProxyAskingForBasicIsAnsweredOnceWithTheProxyCredentials) {
  start();
  startProxy(true);
  struct Case {
    const char* user;
    int status;
    int requests;
  } cases[] = {{"joe", 200, 2}, {"", 407, 1}};
  int logged = 0;
  for (const auto& k : cases) {
    RecordingClient c;
    c.cli.Proxy = proxyAddress().c_str();
    c.cli.ProxyUsername = k.user;
    c.cli.ProxyPassword = "pw";
    c.cli.URL = server->url("/dir/a.htm").c_str();
    EXPECT_NO_THROW(c.cli.Get()) << k.user;
    EXPECT_EQ(c.cli.StatusCode(), k.status) << k.user;
    if (k.status == 200) {
      EXPECT_EQ(c.body.data(), "<html>a</html>");
    }
    logged += k.requests;
    pumpUntil([&] { return requestsLogged(*proxy) >= logged; }, 2000);
    pumpFor(200);
    EXPECT_EQ(requestsLogged(*proxy), logged) << k.user;
  }
}

// nginx as a proxy that asks Basic on every request, in front of an nginx that asks Basic
// too: the request goes with both lines and ends with the document, in three requests.
TEST_F(HttpNginx, ForwardProxyAndServerAskingForBasicAreAnsweredTogether) {
  start();
  startProxy(true);
  for (const char* version : {"1.0", "1.1"}) {
    SCOPED_TRACE(version);
    RecordingClient c;
    c.cli.SetRequestVer(version);
    c.cli.Proxy = proxyAddress().c_str();
    c.cli.ProxyUsername = "joe";
    c.cli.ProxyPassword = "pw";
    c.cli.Username = "joe";
    c.cli.Password = "pw";
    const int before = requestsLogged(*proxy);
    ASSERT_TRUE(c.get(server->url("/secret/x.htm")));
    EXPECT_EQ(c.cli.StatusCode(), 200);
    EXPECT_EQ(c.body.data(), "secret");
    pumpUntil([&] { return requestsLogged(*proxy) >= before + 3; }, 2000);
    pumpFor(200);
    EXPECT_EQ(requestsLogged(*proxy), before + 3);
  }
}
