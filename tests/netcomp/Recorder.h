#pragma once
// Records a socket's events as short texts, in order ("state wsClosed>wsOpened",
// "connected 10061", "closed 0", "sent 0", "senddata 1460", "dns 0").
#include <string>
#include <vector>

#include "netcomp/WSocket.h"

inline const char* stateName(TSocketState s) {
  static const char* const names[] = {"wsInvalidState", "wsOpened",         "wsBound",
                                      "wsConnecting",   "wsSocksConnected", "wsConnected",
                                      "wsAccepting",    "wsListening",      "wsClosed"};
  return names[s];
}

struct Recorder {
  std::vector<std::string> log;
  int dataSentCount = 0;
  long long bytesSent = 0;

  void attach(TCustomWSocket& s, bool withSendData = false) {
    s.OnChangeState = [this](TObject*, TSocketState o, TSocketState n) {
      log.push_back(std::string("state ") + stateName(o) + ">" + stateName(n));
    };
    s.OnSessionConnected = [this](TObject*, WORD e) {
      log.push_back("connected " + std::to_string(e));
    };
    s.OnSessionClosed = [this](TObject*, WORD e) { log.push_back("closed " + std::to_string(e)); };
    s.OnDataSent = [this](TObject*, WORD e) {
      ++dataSentCount;
      log.push_back("sent " + std::to_string(e));
    };
    s.OnDnsLookupDone = [this](TObject*, WORD e) { log.push_back("dns " + std::to_string(e)); };
    if (withSendData)
      s.OnSendData = [this](TObject*, int n) {
        bytesSent += n;
        log.push_back("senddata " + std::to_string(n));
      };
  }
  bool has(const std::string& entry) const {
    for (auto& l : log)
      if (l == entry) return true;
    return false;
  }
};

// The message of the ESocketException that f raises, or "" when it raises none.
template <typename F>
std::string refusalOf(F f) {
  try {
    f();
  } catch (ESocketException& e) {
    return e.Message().str();
  }
  return "";
}

inline AnsiString text(int value) { return AnsiString(std::to_string(value)); }
