// The SMTP client against Python's smtplib, both sending to one sink on 127.0.0.1 (SmtpSink),
// in alternating runs: 1,000 small mails, and 100 mails of 1 MB, each run over one connection
// (connect, greeting, the mails, QUIT). The client is the blocking wrapper TSyncSmtpCli with
// the body in MailMessage.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchRuns.h"
#include "SmtpSink.h"
#include "smtp/SmtpProt.h"

namespace {

constexpr int kSmallMails = 1000;
constexpr int kSmallLines = 5;
constexpr int kLargeMails = 100;
constexpr int kLargeLines = (1 << 20) / 78;  // 76 characters and CR LF a line: 1 MB

void fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

// Sends `mails` mails of `lines` body lines (MailMessage) over one session through the
// blocking wrapper; returns the seconds taken.
double clientSeconds(const SmtpSink& sink, int mails, int lines) {
  TSyncSmtpCli client(nullptr);
  client.Host = "127.0.0.1";
  client.Port = std::to_string(sink.port()).c_str();
  client.SignOn = "bench.test";
  client.FromName = "bench@sink.test";
  client.HdrFrom = "bench@sink.test";
  client.HdrTo = "rcpt@sink.test";
  client.HdrSubject = "benchmark";
  client.RcptName()->Add("rcpt@sink.test");
  const AnsiString line(std::string(76, 'x'));
  for (int i = 0; i < lines; ++i) client.MailMessage()->Add(line);
  auto check = [&](bool ok, const char* step) {
    if (!ok) fail(std::string(step) + " failed: " + client.ErrorMessage().str());
  };
  const long long before = sink.messages();
  const double seconds = bench::secondsOf([&] {
    check(client.OpenSync(), "OpenSync");
    for (int i = 0; i < mails; ++i) check(client.MailSync(), "MailSync");
    check(client.QuitSync(), "QuitSync");
  });
  if (sink.messages() - before != mails) fail("the sink did not get every mail");
  return seconds;
}

double smtplibSeconds(const SmtpSink& sink, int mails, int lines) {
  const long long before = sink.messages();
  const std::string out =
      bench::runPeer("/usr/bin/python3", {SMTPLIB_PEER_SCRIPT, QString::number(sink.port()),
                                          QString::number(mails), QString::number(lines)});
  if (sink.messages() - before != mails) fail("the sink did not get every mail from smtplib");
  return std::atof(out.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  SmtpSink sink;
  if (sink.port() == 0) fail("the SMTP sink could not listen");
  const int rounds = bench::rounds();

  const auto small = bench::alternatingMedians(
      rounds, {[&] { return clientSeconds(sink, kSmallMails, kSmallLines); },
               [&] { return smtplibSeconds(sink, kSmallMails, kSmallLines); }});
  bench::printRate("SMTP client, small mails", kSmallMails, "msg", small[0]);
  bench::printRate("smtplib, small mails", kSmallMails, "msg", small[1]);
  bench::printRatio("SMTP client", "smtplib", small[0], small[1]);

  const auto large = bench::alternatingMedians(
      rounds, {[&] { return clientSeconds(sink, kLargeMails, kLargeLines); },
               [&] { return smtplibSeconds(sink, kLargeMails, kLargeLines); }});
  const double mb = kLargeMails * kLargeLines * 78.0 / (1 << 20);
  bench::printRate("SMTP client, 1 MB mails", mb, "MB", large[0]);
  bench::printRate("smtplib, 1 MB mails", mb, "MB", large[1]);
  bench::printRatio("SMTP client", "smtplib", large[0], large[1]);
  return 0;
}
