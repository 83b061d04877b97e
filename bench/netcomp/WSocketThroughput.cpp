// Moves 256 MB over 127.0.0.1 through a TWSocket pair in one thread, through a poll() loop
// making the same 1460-byte sends and 64 KB receives, and through a QTcpSocket pair, in
// alternating runs, and prints the pair's throughput over each peer's.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <vector>

#include "BenchRuns.h"
#include "PollLoopPair.h"
#include "QtSocketPair.h"
#include "netcomp/WSocket.h"

namespace {

constexpr std::size_t kTotal = 256u << 20;
constexpr int kChunk = 1 << 20;

double wsocketPairSeconds() {
  TWSocket listener(nullptr);
  TWSocket receiver(nullptr);
  TWSocket sender(nullptr);
  std::size_t received = 0;
  std::vector<char> buffer(65536);
  listener.OnSessionAvailable = [&](TObject*, WORD) { receiver.Dup(listener.Accept()); };
  receiver.OnDataAvailable = [&](TObject*, WORD) {
    const int n = receiver.Receive(buffer.data(), static_cast<int>(buffer.size()));
    if (n > 0) received += static_cast<std::size_t>(n);
  };
  listener.SetAddr("127.0.0.1");
  listener.SetRemotePort("0");
  listener.Listen();

  const std::vector<char> chunk(kChunk, 'w');
  std::size_t queued = 0;
  bool connected = false;
  // About one chunk stays queued: the next goes in whenever the queue has run empty.
  sender.OnSessionConnected = [&](TObject*, WORD) { connected = true; };
  sender.OnDataSent = [&](TObject*, WORD) {
    if (connected && queued < kTotal) {
      sender.Send(chunk.data(), kChunk);
      queued += kChunk;
    }
  };
  sender.LingerOnOff = wsLingerNoSet;
  sender.SetAddr("127.0.0.1");
  sender.SetRemotePort(listener.GetXPort());
  QElapsedTimer timer;
  timer.start();
  sender.Connect();
  while (received < kTotal) QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const auto seconds = bench::alternatingMedians(
      bench::rounds(), {wsocketPairSeconds, [] { return pollLoopPairSeconds(kTotal); },
                        [] { return qtSocketPairSeconds(kTotal); }});
  const double mb = static_cast<double>(kTotal) / (1 << 20);
  bench::printRate("TWSocket pair", mb, "MB", seconds[0]);
  bench::printRate("poll() loop", mb, "MB", seconds[1]);
  bench::printRate("QTcpSocket pair", mb, "MB", seconds[2]);
  bench::printRatio("TWSocket", "poll", seconds[0], seconds[1]);
  bench::printRatio("TWSocket", "QTcpSocket", seconds[0], seconds[2]);
  return 0;
}
