// The client against a real nginx: plain documents, the blocking status test, relocations
// on the same and to another server, chunked replies and Basic authentication.
#include <gtest/gtest.h>

#include "HttpSupport.h"
#include "Nginx.h"
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
)";

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
  }
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
