// SOCKS 4, 4A and 5 replies as a proxy sends them, read by the socket component, and the data
// after a granted reply in line mode. A loopback peer plays the proxy: one fuzzed piece after
// each request the socket sends (greeting, login, connect), then the close.
// Input: one byte of settings (level, username and password, line mode, a host name for the
// destination, bytes written one at a time), then the pieces, separated by "~~~~".
// Properties: the negotiation ends with exactly one connected event, with code 0 only when
// no SOCKS error was reported; the socket ends closed with one closed event; in line mode
// every piece of data offered but the last is a whole line.
#include <string>

#include "Exchange.h"
#include "FuzzSupport.h"
#include "netcomp/WSocket.h"

namespace {

constexpr std::size_t kMaxPieces = 8;

enum Setting : std::uint8_t {
  kLevelBits = 0x03,  // 5, 4, 4A, 5
  kUsercode = 0x04,
  kLineMode = 0x08,
  kNamedDestination = 0x10,
};

const char* levelOf(std::uint8_t settings) {
  switch (settings & kLevelBits) {
    case 1:
      return "4";
    case 2:
      return "4A";
    default:
      return "5";
  }
}

struct Negotiation {
  TWSocket socket{nullptr};
  int connected = 0;
  WORD connectedCode = 0;
  int closed = 0;
  int socksErrors = 0;
  std::vector<std::string> offered;

  Negotiation(std::uint8_t settings, int port) {
    socket.SetSocksServer("127.0.0.1");
    socket.SetSocksPort(AnsiString(std::to_string(port)));
    socket.SetSocksLevel(levelOf(settings));
    socket.SetAddr(settings & kNamedDestination ? "destination.example" : "127.0.0.1");
    socket.SetRemotePort("80");
    if (settings & kUsercode) {
      socket.SocksAuthentication = socksAuthenticateUsercode;
      socket.SocksUsercode = "user";
      socket.SocksPassword = "secret";
    }
    if (settings & kLineMode) socket.SetLineMode(true);
    socket.OnSessionConnected = [this](TObject*, WORD code) {
      ++connected;
      connectedCode = code;
    };
    socket.OnSessionClosed = [this](TObject*, WORD) { ++closed; };
    socket.OnSocksError = [this](TObject*, int, const AnsiString&) { ++socksErrors; };
    socket.OnDataAvailable = [this](TObject*, WORD) {
      const AnsiString data = socket.ReceiveStr();
      if (!data.IsEmpty()) offered.push_back(data.str());
    };
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t settings = 0;
  const std::unique_ptr<ScriptPeer> started = StartPeer(data, size, kMaxPieces, {}, settings);
  if (!started) return 0;
  ScriptPeer& peer = *started;

  Negotiation n(settings, peer.port());
  const FailureContext context([&] {
    return DescribeExchange(peer) + "\nconnected code " + std::to_string(n.connectedCode) + ", " +
           std::to_string(n.offered.size()) + " pieces of data offered";
  });
  n.socket.Connect();
  const bool ended =
      RunExchange(peer, [&] { return n.closed > 0 && n.socket.State() == wsClosed; });
  FUZZ_REQUIRE(ended, "the socket never closed (state " + std::to_string(n.socket.State()) + ")");
  Settle(peer);
  FUZZ_REQUIRE(n.closed == 1, "OnSessionClosed fired " + std::to_string(n.closed) + " times");
  FUZZ_REQUIRE(n.connected == 1,
               "OnSessionConnected fired " + std::to_string(n.connected) + " times");
  FUZZ_REQUIRE(n.socksErrors == 0 || n.connectedCode != 0, "a SOCKS error, then connected 0");
  if (settings & kLineMode)
    for (std::size_t i = 0; i + 1 < n.offered.size(); ++i)
      FUZZ_REQUIRE(n.offered[i].ends_with("\r\n"), "line mode offered a part of a line");
  return 0;
}
