// THttpCli against curl, both fetching from one private nginx on 127.0.0.1 started for the
// run, in alternating runs:
// - 1,000 GETs of a 4 KB document over one kept-alive connection, through the blocking Get
//   (HTTP/1.1), and curl fetching the same 1,000 URLs in one process (it keeps the
//   connection);
// - one GET of a 256 MB document into a stream that discards what it is given, and curl
//   writing the same document to /dev/null.
// curl's start-up is left out of its times (see curlKeepAliveSeconds, curlTransferSeconds).
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchRuns.h"
#include "Nginx.h"
#include "lib/Streams.h"
#include "netcomp/HttpProt.h"

namespace {

constexpr int kRequests = 1000;
constexpr int kSmallSize = 4096;
constexpr std::int64_t kLargeSize = 256ll << 20;
const char* const kCurl = "/usr/bin/curl";

// Counts what it is given and keeps none of it.
class DiscardingStream : public TStream {
 public:
  int Read(void*, int) override { return 0; }
  int Write(const void*, int count) override {
    written_ += count;
    return count;
  }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return written_; }
  std::int64_t written() const { return written_; }

 private:
  std::int64_t written_ = 0;
};

void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

double clientKeepAliveSeconds(const Nginx& server) {
  THttpCli cli(nullptr);
  DiscardingStream body;
  cli.RcvdStream = &body;
  cli.SetRequestVer("1.1");
  cli.URL = server.url("/small.bin").c_str();
  const double seconds = bench::secondsOf([&] {
    for (int i = 0; i < kRequests; ++i) cli.Get();
  });
  if (body.written() != std::int64_t{kRequests} * kSmallSize) fail("keep-alive GETs: short body");
  return seconds;
}

double clientLargeSeconds(const Nginx& server) {
  THttpCli cli(nullptr);
  DiscardingStream body;
  cli.RcvdStream = &body;
  cli.URL = server.url("/large.bin").c_str();
  const double seconds = bench::secondsOf([&] { cli.Get(); });
  if (body.written() != kLargeSize) fail("256 MB GET: short body");
  return seconds;
}

// Runs curl over a config file that lists the URL `times` times; returns curl's wall time
// and, through transfers, how many transfers it reported.
double curlWallSeconds(const std::string& url, int times, int* transfers) {
  QTemporaryFile config;
  if (!config.open()) fail("no temporary file for curl's URLs");
  for (int i = 0; i < times; ++i)
    config.write(("url = \"" + url + "\"\noutput = \"/dev/null\"\n").c_str());
  config.close();
  std::string out;
  const double seconds = bench::secondsOf([&] {
    out = bench::runPeer(kCurl, {"--silent", "--show-error", "--fail", "--write-out",
                                 "%{time_total}\\n", "--config", config.fileName()});
  });
  *transfers = static_cast<int>(std::count(out.begin(), out.end(), '\n'));
  return seconds;
}

// curl's time for kRequests kept-alive GETs: the wall time of a run over all of them less
// that of a run over one, so that curl's start-up and connection are not counted.
double curlKeepAliveSeconds(const std::string& url) {
  int one = 0, all = 0;
  const double single = curlWallSeconds(url, 1, &one);
  const double many = curlWallSeconds(url, kRequests, &all);
  if (one != 1 || all != kRequests) fail("curl made too few transfers");
  return (many - single) * kRequests / (kRequests - 1);
}

// curl's time for one GET of a document: time_total, which leaves out its start-up.
double curlTransferSeconds(const std::string& url) {
  QTemporaryFile config;
  if (!config.open()) fail("no temporary file for curl's URL");
  config.write(("url = \"" + url + "\"\noutput = \"/dev/null\"\n").c_str());
  config.close();
  const std::string out =
      bench::runPeer(kCurl, {"--silent", "--show-error", "--fail", "--write-out", "%{time_total}",
                             "--config", config.fileName()});
  return std::atof(out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (!Nginx::available()) fail("nginx is not installed (scripts/install-deps.sh)");
  if (!QFile::exists(kCurl)) fail("curl is not installed (scripts/install-deps.sh)");
  Nginx server("    access_log off;\n    keepalive_requests 100000;\n    sendfile on;\n");
  if (!server.running()) fail("nginx did not start: " + server.errorLog());
  server.put("small.bin", std::string(kSmallSize, 's'));
  {
    QFile large(QString::fromStdString(server.dir() + "/www/large.bin"));
    if (!large.open(QIODevice::WriteOnly)) fail("cannot write the 256 MB document");
    const QByteArray block(1 << 20, 'l');
    for (std::int64_t at = 0; at < kLargeSize; at += block.size()) large.write(block);
  }

  const int rounds = bench::rounds();
  const auto small = bench::alternatingMedians(
      rounds, {[&] { return clientKeepAliveSeconds(server); },
               [&] { return curlKeepAliveSeconds(server.url("/small.bin")); }});
  bench::printRate("THttpCli Get, kept alive", kRequests, "req", small[0]);
  bench::printRate("curl, kept alive", kRequests, "req", small[1]);
  bench::printRatio("THttpCli", "curl", small[0], small[1]);

  const auto large = bench::alternatingMedians(
      rounds, {[&] { return clientLargeSeconds(server); },
               [&] { return curlTransferSeconds(server.url("/large.bin")); }});
  const double mb = static_cast<double>(kLargeSize) / (1 << 20);
  bench::printRate("THttpCli Get of 256 MB", mb, "MB", large[0]);
  bench::printRate("curl GET of 256 MB", mb, "MB", large[1]);
  bench::printRatio("THttpCli", "curl", large[0], large[1]);
  return 0;
}
