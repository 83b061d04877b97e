#pragma once
// What the HTTP tests share: a stream over a string, and a client whose events are counted
// and whose asynchronous request is run to its OnRequestDone.
#include <string>
#include <vector>

#include "Pump.h"
#include "lib/Streams.h"
#include "netcomp/HttpProt.h"

// A stream over a string (what the client writes into a body stream, or reads from one).
class StringStream : public TStream {
 public:
  explicit StringStream(std::string data = {}) : data_(std::move(data)) {}
  int Read(void* buffer, int count) override {
    const int n = std::max(0, std::min<int>(count, static_cast<int>(data_.size()) - pos_));
    if (n > 0) std::copy_n(data_.data() + pos_, n, static_cast<char*>(buffer));
    pos_ += n;
    return n;
  }
  int Write(const void* buffer, int count) override {
    const auto at = static_cast<std::size_t>(pos_);
    if (data_.size() < at + count) data_.resize(at + count);
    std::copy_n(static_cast<const char*>(buffer), count, data_.data() + at);
    pos_ += count;
    return count;
  }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == soFromBeginning ? 0
                              : origin == soFromCurrent ? pos_
                                                        : static_cast<std::int64_t>(data_.size());
    pos_ = static_cast<int>(std::max<std::int64_t>(0, base + offset));
    return pos_;
  }
  void SetSize(std::int64_t newSize) override {
    data_.resize(static_cast<std::size_t>(newSize));
    pos_ = std::min(pos_, static_cast<int>(newSize));
  }
  const std::string& data() const { return data_; }

 private:
  std::string data_;
  int pos_ = 0;
};

struct RecordingClient {
  THttpCli cli{nullptr};
  StringStream body;
  std::vector<std::string> events;
  int done = 0;
  WORD doneErr = 0;
  THttpRequest doneType = httpABORT;
  std::string docData;

  RecordingClient() {
    cli.SetName("HttpCli1");
    cli.RcvdStream = &body;
    cli.OnHeaderBegin = [this](TObject*) { events.push_back("HeaderBegin"); };
    cli.OnHeaderEnd = [this](TObject*) { events.push_back("HeaderEnd"); };
    cli.OnDocBegin = [this](TObject*) { events.push_back("DocBegin"); };
    cli.OnDocEnd = [this](TObject*) { events.push_back("DocEnd"); };
    cli.OnLocationChange = [this](TObject*) { events.push_back("LocationChange"); };
    cli.OnDocData = [this](TObject*, const char* data, int len) { docData.append(data, len); };
    cli.OnRequestDone = [this](TObject*, THttpRequest type, WORD err) {
      ++done;
      doneType = type;
      doneErr = err;
    };
  }
  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
  // Starts the asynchronous GET and pumps until OnRequestDone has fired.
  bool get(const std::string& url) {
    cli.URL = url.c_str();
    cli.GetASync();
    return waitDone();
  }
  bool waitDone(int timeoutMs = 5000) {
    const int before = done;
    return pumpUntil([&] { return done > before; }, timeoutMs);
  }
};
