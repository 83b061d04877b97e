// Moves 256 MB over loopback through a TWSocket pair and through plain blocking POSIX sockets
// in the same run, and prints the throughput of the first over the second.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <vector>

#include "PosixPair.h"
#include "netcomp/WSocket.h"

namespace {

constexpr std::size_t kTotal = 256u << 20;
constexpr int kChunk = 1 << 20;

double wsocketLoopbackSeconds() {
  TWSocket listener(nullptr);
  TWSocket receiver(nullptr);
  TWSocket sender(nullptr);
  std::size_t received = 0;
  std::vector<char> buffer(65536);
  listener.OnSessionAvailable = [&](TObject*, WORD) { receiver.Dup(listener.Accept()); };
  receiver.OnDataAvailable = [&](TObject*, WORD) {
    int n = receiver.Receive(buffer.data(), static_cast<int>(buffer.size()));
    if (n > 0) received += static_cast<std::size_t>(n);
  };
  listener.SetAddr("127.0.0.1");
  listener.SetRemotePort("0");
  listener.Listen();

  std::vector<char> chunk(kChunk, 'w');
  std::size_t queued = 0;
  // Keeps about one chunk queued: the next goes in whenever the queue runs empty.
  auto feed = [&] {
    if (queued < kTotal) {
      sender.Send(chunk.data(), kChunk);
      queued += kChunk;
    }
  };
  bool connected = false;
  sender.OnSessionConnected = [&](TObject*, WORD) { connected = true; };
  sender.OnDataSent = [&](TObject*, WORD) {
    if (connected) feed();
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
  double wsocket = wsocketLoopbackSeconds();
  double posix = posixLoopbackSeconds(kTotal);
  double mb = static_cast<double>(kTotal) / (1 << 20);
  std::printf("TWSocket: %.0f MB in %.3f s (%.1f MB/s)\n", mb, wsocket, mb / wsocket);
  std::printf("POSIX:    %.0f MB in %.3f s (%.1f MB/s)\n", mb, posix, mb / posix);
  std::printf("ratio TWSocket/POSIX: %.2f\n", posix / wsocket);
  return 0;
}
