#include "Exchange.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "FuzzSupport.h"
#include "LoopbackWinsock.h"
#include "ScriptPeer.h"

namespace {

// Idle turns before the peer is nudged: a loopback byte and a posted message arrive within
// one turn, a look-up on the stand-in's helper thread within a few.
constexpr int kIdleTurns = 40;
// How long a component may take to end once its peer has nothing left, and in all.
constexpr int kEndingMs = 5000;
constexpr int kExchangeMs = 20000;

// One turn of the loop and one step of the peer; true when either moved.
bool turn(ScriptPeer& peer) {
  bool moved = QCoreApplication::eventDispatcher()->processEvents(QEventLoop::AllEvents);
  moved = peer.step() || moved;
  return moved;
}

}  // namespace

bool RunExchange(ScriptPeer& peer, const std::function<bool()>& done) {
  int idle = 0;
  QElapsedTimer ending;
  QElapsedTimer all;
  all.start();
  while (!done()) {
    if (all.elapsed() > kExchangeMs) return false;
    if (turn(peer)) {
      idle = 0;
      continue;
    }
    if (++idle < kIdleTurns) {
      if (idle > kIdleTurns / 2) QThread::usleep(50);
      continue;
    }
    idle = 0;
    if (peer.nudge()) continue;
    // The peer is through: the component has all it will ever get.
    if (!ending.isValid()) ending.start();
    if (ending.elapsed() > kEndingMs) return false;
    QThread::msleep(1);
  }
  return true;
}

void Settle(ScriptPeer& peer) {
  for (int idle = 0; idle < kIdleTurns;) idle = turn(peer) ? 0 : idle + 1;
}

std::string DescribeExchange(const ScriptPeer& peer) {
  return "--- the component sent, over " + std::to_string(peer.connections()) + " connections:\n" +
         peer.received() + "\n---";
}

std::unique_ptr<ScriptPeer> StartPeer(const std::uint8_t* data, std::size_t size,
                                      std::size_t maxPieces, ScriptPeer::Options options,
                                      std::uint8_t& settings) {
  if (size < 1) return nullptr;
  settings = data[0];
  std::vector<std::string> pieces = SplitPieces(AsText(data + 1, size - 1));
  if (pieces.size() > maxPieces) return nullptr;
  options.dripBytes = settings & kDripSetting ? 1 : 0;
  auto peer = std::make_unique<ScriptPeer>(std::move(pieces), std::move(options));
  SetLoopbackPort(peer->port());
  return peer;
}
