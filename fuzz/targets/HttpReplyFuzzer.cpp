// The HTTP client's reply reader, fed through its own data handler: a loopback peer plays the
// fuzzed replies, one piece per request head (status lines, header fields, lengths, chunks,
// relocations, Basic and NTLM challenges, closes), and the client runs a request to its end.
// Input: one byte of settings (request method, HTTP version, relocations followed, server and
// proxy credentials, a proxy, bytes written one at a time), then the pieces, separated by
// "~~~~". After the request a GET follows on the same client, as a caller of a kept-alive
// connection asks again, with what is left of the pieces. Properties, for each request: it
// ends, with exactly one OnRequestDone, and the client is ready afterwards; the document
// events pair up, and so do the send events; Username and Password are as the caller set
// them; a request that ended without an error read a status line (or a document without a
// header), and a GET that went on the kept-alive connection and ended so reports a status of
// 100 to 599. And what the client sent holds no
// NUL and no line break but CR LF (nothing of a reply, a location say, went onto the wire
// raw).
#include <string>

#include "Exchange.h"
#include "FuzzSupport.h"
#include "HttpSupport.h"  // the tests' stream over a string
#include "netcomp/HttpProt.h"

namespace {

constexpr std::size_t kMaxPieces = 24;

enum Setting : std::uint8_t {
  kMethodBits = 0x03,  // GET, HEAD, POST, PUT
  kVersion11 = 0x04,
  kNoRelocation = 0x08,
  kCredentials = 0x10,
  kProxy = 0x20,
  kProxyCredentials = 0x40,
};

// A request head ends with an empty line; a body may follow it in the same piece of sending.
bool asksForReply(const std::string& sent) { return sent.find("\r\n\r\n") != std::string::npos; }

// No NUL, no CR without its LF, no LF without its CR.
bool linesAreWhole(const std::string& sent) {
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i] == '\0') return false;
    if (sent[i] == '\r' && (i + 1 == sent.size() || sent[i + 1] != '\n')) return false;
    if (sent[i] == '\n' && (i == 0 || sent[i - 1] != '\r')) return false;
  }
  return true;
}

struct RunningRequest {
  THttpCli cli{nullptr};
  StringStream received;
  StringStream sent{"name=value&other=1"};
  int done = 0;
  WORD lastError = 0;
  int docBegins = 0;
  int docEnds = 0;
  int sendBegins = 0;
  int sendEnds = 0;
  AnsiString username, password;  // as set
  std::string events;             // what happened, for a finding's report

  RunningRequest(std::uint8_t settings, int port) {
    const std::string here = "127.0.0.1:" + std::to_string(port);
    cli.URL = AnsiString("http://" + here + "/dir/page.htm");
    cli.RcvdStream = &received;
    if (settings & kVersion11) cli.SetRequestVer("1.1");
    cli.FollowRelocation = !(settings & kNoRelocation);
    if (settings & kCredentials) {
      cli.Username = "user";
      cli.Password = "secret";
    }
    username = cli.Username;
    password = cli.Password;
    if (settings & kProxy) {
      cli.Proxy = "127.0.0.1";
      cli.ProxyPort = AnsiString(std::to_string(port));
    }
    if (settings & kProxyCredentials) {
      cli.ProxyUsername = "proxyuser";
      cli.ProxyPassword = "proxysecret";
    }
    cli.OnRequestDone = [this](TObject*, THttpRequest, WORD error) {
      ++done;
      lastError = error;
      note("done " + std::to_string(error));
    };
    cli.OnSendBegin = [this](TObject*) {
      ++sendBegins;
      note("send begin");
    };
    cli.OnSendEnd = [this](TObject*) {
      ++sendEnds;
      note("send end");
    };
    cli.OnDocBegin = [this](TObject*) {
      ++docBegins;
      note("doc begin");
    };
    cli.OnDocEnd = [this](TObject*) {
      ++docEnds;
      note("doc end");
    };
    cli.OnHeaderEnd = [this](TObject*) { note("header end " + std::to_string(cli.StatusCode())); };
    cli.OnLocationChange = [this](TObject*) { note("location " + cli.Location().str()); };
    cli.OnStateChange = [this](TObject*) { note("state " + std::to_string(cli.State())); };
  }

  void note(const std::string& event) { events += event + "; "; }

  void start(std::uint8_t settings) {
    switch (settings & kMethodBits) {
      case 0:
        cli.GetASync();
        break;
      case 1:
        cli.HeadASync();
        break;
      case 2:
        cli.SendStream = &sent;
        cli.PostASync();
        break;
      default:
        cli.SendStream = &sent;
        cli.PutASync();
        break;
    }
  }
};

// A document without a header: its first line was the HTML start tag, and its type is HTML.
bool headerless(const THttpCli& cli) {
  return cli.RcvdHeaderLines()->Count() == 0 && cli.ContentType() == "text/html";
}

// The reply began with a status line's version (its status may still not read as a number).
bool statusLineRead(const THttpCli& cli) {
  const TStringList& lines = *cli.RcvdHeaderLines();
  if (lines.Count() == 0) return false;
  const AnsiString version = lines[0].SubString(1, 8);
  return version == "HTTP/1.0" || version == "HTTP/1.1";
}

// Runs the started request to its end and checks what every request must keep to; the
// request is the done-th of the client.
void checkRequest(ScriptPeer& peer, RunningRequest& request, int done) {
  const bool ended =
      RunExchange(peer, [&] { return request.done >= done && request.cli.State() == httpReady; });
  FUZZ_REQUIRE(ended, "request " + std::to_string(done) + " never ended (state " +
                          std::to_string(request.cli.State()) + ", " +
                          std::to_string(peer.connections()) + " connections)");
  Settle(peer);
  FUZZ_REQUIRE(request.done == done, "OnRequestDone fired " + std::to_string(request.done) +
                                         " times for " + std::to_string(done) + " requests");
  FUZZ_REQUIRE(request.cli.State() == httpReady, "the client is not ready after its end");
  FUZZ_REQUIRE(request.docEnds <= request.docBegins, "OnDocEnd without OnDocBegin");
  FUZZ_REQUIRE(request.sendEnds == request.sendBegins, "OnSendBegin and OnSendEnd do not pair");
  FUZZ_REQUIRE(request.cli.Username == request.username && request.cli.Password == request.password,
               "the request changed Username or Password");
  FUZZ_REQUIRE(request.lastError != 0 || statusLineRead(request.cli) || headerless(request.cli),
               "a request ended without an error on a reply without a status line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t settings = 0;
  const std::unique_ptr<ScriptPeer> started =
      StartPeer(data, size, kMaxPieces, {.asksForMore = asksForReply}, settings);
  if (!started) return 0;
  ScriptPeer& peer = *started;

  RunningRequest request(settings, peer.port());
  const FailureContext context([&] {
    return DescribeExchange(peer) + "\nstatus " + std::to_string(request.cli.StatusCode()) +
           ", body \"" + request.received.data() + "\"\nevents: " + request.events;
  });
  request.start(settings);
  checkRequest(peer, request, 1);

  const int connections = peer.connections();
  request.cli.GetASync();
  checkRequest(peer, request, 2);
  const int status = request.cli.StatusCode();
  FUZZ_REQUIRE(peer.connections() != connections || request.lastError != 0 ||
                   (status >= 100 && status <= 599) || headerless(request.cli),
               "a reply on the kept-alive connection without a status: " + std::to_string(status));
  FUZZ_REQUIRE(linesAreWhole(peer.received()), "a NUL or a lone CR or LF went onto the wire");
  return 0;
}
