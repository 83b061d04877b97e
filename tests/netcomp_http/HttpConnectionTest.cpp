// The connection across requests against scripted peers: keep-alive reuse and the blocking
// wait when the application closes; and cutting a file stream.
#include <gtest/gtest.h>

#include <QDir>
#include <ctime>

#include "HttpSupport.h"
#include "Peer.h"
#include "ScriptedPeer.h"
#include "ServingPeer.h"
#include "win32/windows.h"

namespace {
std::string headFor(const std::string& path, const char* version) {
  return "GET " + path + " HTTP/" + version +
         "\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
         "User-Agent: Mozilla/4.0 (compatible; NetComp)\r\nHost: 127.0.0.1:00000\r\n\r\n";
}
}  // namespace

TEST(HttpConnection, KeptAliveConnectionIsUsedAgainWithoutALookup) {
  const std::size_t head = headFor("/a", "1.1").size();
  ScriptedPeer peer({expectBytes(head), reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none"),
                     expectBytes(head), reply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo")});
  RecordingClient c;
  c.cli.SetRequestVer("1.1");
  const std::string url = "http://127.0.0.1:" + std::to_string(peer.port()) + "/a";
  ASSERT_TRUE(c.get(url));
  std::vector<THttpState> states;
  c.cli.OnStateChange = [&](TObject*) { states.push_back(c.cli.State()); };
  ASSERT_TRUE(c.get(url));
  EXPECT_EQ(c.body.data(), "onetwo");
  EXPECT_EQ(std::count(states.begin(), states.end(), httpDnsLookup), 0);
  EXPECT_EQ(states.front(), httpConnected);
}

TEST(HttpConnection, ClosingTheApplicationAbortsABlockingGet) {
  ScriptedPeer peer({expectBytes(16), pause(3000)});
  RecordingClient c;
  c.cli.URL = ("http://127.0.0.1:" + std::to_string(peer.port()) + "/slow").c_str();
  PostQuitMessage(0);
  try {
    c.cli.Get();
    ADD_FAILURE() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 404);
    EXPECT_EQ(e.Message(), "Connection aborted on request");
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

// Either blocking wait sleeps while the server takes its time, instead of spinning.
TEST(HttpConnection, ABlockingGetSleepsWhileTheServerIsSlow) {
  for (const bool multiThreaded : {false, true}) {
    SCOPED_TRACE(multiThreaded);
    ScriptedPeer peer(
        {expectBytes(16), pause(400), reply("HTTP/1.0 200 OK\r\n\r\nlate"), hangUp()});
    RecordingClient c;
    c.cli.SetMultiThreaded(multiThreaded);
    c.cli.URL = ("http://127.0.0.1:" + std::to_string(peer.port()) + "/slow").c_str();
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    c.cli.Get();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    EXPECT_EQ(c.body.data(), "late");
    const double cpuMs =
        (after.tv_sec - before.tv_sec) * 1000.0 + (after.tv_nsec - before.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 100.0) << "the wait spins";
  }
}

TEST(HttpConnection, FileStreamIsCutToANewSize) {
  const AnsiString name = (QDir::currentPath() + "/cut.bin").toStdString();
  TFileStream file(name, fmCreate);
  file.Write("0123456789", 10);
  file.SetSize(4);
  EXPECT_EQ(file.Size(), 4);
  EXPECT_EQ(file.Position(), 4);
  file.Write("ab", 2);
  file.SetPosition(0);
  char back[8] = {};
  EXPECT_EQ(file.Read(back, 8), 6);
  EXPECT_STREQ(back, "0123ab");
}

// What one request leaves behind on a kept-alive connection (bytes after its body, its
// reason phrase) is no part of the next one's reply.
TEST(HttpConnection, NothingOfAReplyLeaksIntoTheNextRequest) {
  int answered = 0;
  ServingPeer peer([&](const ServedRequest&) -> ServedAnswer {
    switch (answered++) {
      case 0:
        return {"HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nnoEXTRA BYTES"};
      case 1:
        return {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\ntwo"};
      default:
        return {"<html>three</html>\r\n", ServedAnswer::Close};
    }
  });
  RecordingClient c;
  c.cli.SetRequestVer("1.1");
  ASSERT_TRUE(c.get(peer.url("/one")));
  EXPECT_EQ(c.cli.ReasonPhrase(), "Not Found");
  pumpFor(100);
  ASSERT_TRUE(c.get(peer.url("/two")));
  EXPECT_EQ(c.cli.StatusCode(), 200);
  EXPECT_EQ(c.body.data(), "notwo");
  ASSERT_TRUE(c.get(peer.url("/three")));
  EXPECT_EQ(c.cli.ReasonPhrase(), "");
  EXPECT_EQ(c.body.data(), "notwo<html>three</html>");
}
