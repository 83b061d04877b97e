#pragma once
// Drives an SMTP client in a test: records its requests' ends and what it displayed, feeds
// the body from a list of lines, and pumps the message loop until a request has ended.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Pump.h"
#include "ScriptedPeer.h"
#include "smtp/SmtpProt.h"

struct RequestEnd {
  TSmtpRequest request;
  WORD code;
  bool operator==(const RequestEnd&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RequestEnd& e) {
  return out << "{request " << e.request << ", code " << e.code << "}";
}

struct SmtpRecorder {
  std::vector<RequestEnd> ends;
  std::vector<std::string> display;
  std::vector<std::string> responses;
  std::vector<std::string> body;  // the lines OnGetData hands out

  void attach(TCustomSmtpClient& c) {
    c.OnRequestDone = [this](TObject*, TSmtpRequest rq, WORD code) { ends.push_back({rq, code}); };
    c.OnDisplay = [this](TObject*, const AnsiString& m) { display.push_back(m.str()); };
    c.OnResponse = [this](TObject*, const AnsiString& m) { responses.push_back(m.str()); };
    c.OnGetData = [this](TObject*, int lineNum, char* line, int maxLen, bool& more) {
      if (lineNum > static_cast<int>(body.size())) {
        more = false;
        return;
      }
      std::strncpy(line, body[lineNum - 1].c_str(), static_cast<std::size_t>(maxLen));
    };
  }
  // Waits for the next request end and returns it.
  RequestEnd next(int timeoutMs = 5000) {
    const std::size_t seen = taken;
    if (!pumpUntil([&] { return ends.size() > seen; }, timeoutMs)) return {smtpCustom, 65535};
    return ends[taken++];
  }
  std::size_t taken = 0;
};

// A script step that reads the bytes of one expected command; the test compares them.
inline PeerStep expectCommand(const std::string& command) { return expectBytes(command.size()); }

// Automatic selection of the login method, with the credentials the peers accept.
inline void useAutoSelectLogin(TCustomSmtpClient& c) {
  c.AuthType = smtpAuthAutoSelect;
  c.Username = "tarn";
  c.Password = "s3cret";
}

inline std::string hexOf(const std::string& s) {
  std::string out;
  char two[4];
  for (unsigned char c : s) std::snprintf(two, sizeof two, "%02x", c), out += two;
  return out;
}
