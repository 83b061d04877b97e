#include "BenchRuns.h"

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

int rounds() {
  const char* text = std::getenv("TARNWICK_BENCH_ROUNDS");
  const int n = text ? std::atoi(text) : 5;
  return std::max(n, 1);
}

std::vector<double> alternatingMedians(int rounds,
                                       const std::vector<std::function<double()>>& contenders) {
  const char* only = std::getenv("TARNWICK_BENCH_ONLY");
  const std::size_t chosen = only ? static_cast<std::size_t>(std::atoi(only)) : 0;
  std::vector<std::vector<double>> runs(contenders.size());
  for (int r = 0; r < rounds; ++r)
    for (std::size_t c = 0; c < contenders.size(); ++c)
      if (chosen == 0 || chosen == c + 1) runs[c].push_back(contenders[c]());
  std::vector<double> medians;
  for (auto& seconds : runs) {
    if (seconds.empty()) {
      medians.push_back(0);
      continue;
    }
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    medians.push_back(n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2);
  }
  return medians;
}

double secondsOf(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

std::string runPeer(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    std::fprintf(stderr, "%s failed: %s%s\n", qPrintable(program),
                 qPrintable(process.errorString()), process.readAllStandardError().constData());
    std::exit(1);
  }
  return process.readAllStandardOutput().toStdString();
}

void printRate(const std::string& name, double amount, const std::string& unit, double seconds) {
  std::printf("%s: %.0f %s in %.3f s (%.1f %s/s)\n", name.c_str(), amount, unit.c_str(), seconds,
              amount / seconds, unit.c_str());
}

void printRatio(const std::string& a, const std::string& b, double secondsA, double secondsB) {
  std::printf("ratio %s/%s: %.2f\n", a.c_str(), b.c_str(), secondsB / secondsA);
  std::fflush(stdout);
}

}  // namespace bench
