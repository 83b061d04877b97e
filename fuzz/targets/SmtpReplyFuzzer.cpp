// SMTP replies as a server sends them, read by the SMTP client through a whole session: Open
// (banner, EHLO or HELO, the login), then Mail (MAIL FROM, RCPT TO, DATA, the message), then
// Quit. A loopback peer plays the server: the banner on connecting, then one fuzzed piece
// after each line the client sends, then the close.
// Input: one byte of settings (login method, whether to send a mail, own headers, bytes written
// one at a time), then the pieces, separated by "~~~~". Properties: every request ends with an
// OnRequestDone and leaves the client ready; once the server has closed, the client is neither
// connected nor busy; whatever the replies, the client sends only whole CR LF lines, and no
// more lone "." lines than DATA commands (a body line holds line breaks and dots after them).
#include <cstring>
#include <string>

#include "Exchange.h"
#include "FuzzSupport.h"
#include "smtp/SmtpProt.h"

namespace {

constexpr std::size_t kMaxPieces = 32;

enum Setting : std::uint8_t {
  kAuthBits = 0x07,  // none, PLAIN, LOGIN, CRAM-MD5, CRAM-SHA1, auto-select, none, none
  kSendMail = 0x08,
  kOwnHeaders = 0x10,
};

TSmtpAuthType authOf(std::uint8_t settings) {
  const int bits = settings & kAuthBits;
  return bits <= smtpAuthAutoSelect ? static_cast<TSmtpAuthType>(bits) : smtpAuthNone;
}

bool asksForReply(const std::string& sent) { return sent.find("\r\n") != std::string::npos; }

// Every CR the client sent begins a CR LF and every LF ends one.
bool wholeLines(const std::string& sent) {
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (sent[i] == '\r' && (i + 1 == sent.size() || sent[i + 1] != '\n')) return false;
    if (sent[i] == '\n' && (i == 0 || sent[i - 1] != '\r')) return false;
  }
  return true;
}

std::size_t countOf(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

struct Session {
  TCustomSmtpClient client{nullptr};
  int ends = 0;
  std::vector<std::string> body = {"first line", ".a line that begins with a dot\n.\r.\r\nx", "",
                                   "last"};

  Session(std::uint8_t settings, int port) {
    client.Host = "127.0.0.1";
    client.Port = AnsiString(std::to_string(port));
    client.SignOn = "fuzz host";
    client.AuthType = authOf(settings);
    client.Username = "user";
    client.Password = "secret";
    client.FromName = "Sender <sender@example.test>";
    client.RcptName()->Add("first@example.test");
    client.RcptName()->Add("second@example.test");
    client.HdrFrom = "sender@example.test";
    client.HdrTo = "first@example.test";
    client.HdrSubject = "fuzzed";
    client.OwnHeaders = (settings & kOwnHeaders) != 0;
    client.OnRequestDone = [this](TObject*, TSmtpRequest, WORD) { ++ends; };
    client.OnGetData = [this](TObject*, int lineNum, char* line, int maxLen, bool& more) {
      if (lineNum > static_cast<int>(body.size())) {
        more = false;
        return;
      }
      std::strncpy(line, body[lineNum - 1].c_str(), static_cast<std::size_t>(maxLen));
    };
  }

  // Runs one request to its end; false when it raised (the client refused it) at once.
  bool run(ScriptPeer& peer, void (TCustomSmtpClient::*request)(), const char* name) {
    const int before = ends;
    try {
      (client.*request)();
    } catch (const SmtpException&) {
      return false;
    }
    const bool ended =
        RunExchange(peer, [&] { return ends > before && client.State() == smtpReady; });
    FUZZ_REQUIRE(ended,
                 std::string(name) + " never ended (state " + std::to_string(client.State()) + ")");
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint8_t settings = 0;
  const std::unique_ptr<ScriptPeer> started = StartPeer(
      data, size, kMaxPieces, {.speaksFirst = true, .asksForMore = asksForReply}, settings);
  if (!started) return 0;
  ScriptPeer& peer = *started;

  Session s(settings, peer.port());
  const FailureContext context([&] {
    return DescribeExchange(peer) + "\nlast reply " + s.client.LastResponse().str() + ", " +
           std::to_string(s.ends) + " ends, " + (s.client.Connected() ? "" : "not ") + "connected";
  });
  s.run(peer, &TCustomSmtpClient::Open, "Open");
  if ((settings & kSendMail) && s.client.Connected()) s.run(peer, &TCustomSmtpClient::Mail, "Mail");
  if (s.client.Connected()) s.run(peer, &TCustomSmtpClient::Quit, "Quit");
  const bool closed =
      RunExchange(peer, [&] { return !s.client.Connected() && s.client.State() == smtpReady; });
  FUZZ_REQUIRE(closed, "the session never ended (state " + std::to_string(s.client.State()) + ")");
  Settle(peer);
  FUZZ_REQUIRE(!s.client.Connected() && s.client.State() == smtpReady,
               "the client came back to life after its session ended");
  const std::string& sent = peer.received();
  FUZZ_REQUIRE(wholeLines(sent), "the client sent a bare CR or LF");
  FUZZ_REQUIRE(countOf("\n" + sent, "\n.\r\n") <= countOf("\n" + sent, "\nDATA\r\n"),
               "the client ended a message its DATA did not start");
  return 0;
}
