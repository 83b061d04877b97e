// The refresh agent at 1,000 and 10,000 auctions: fresh, as the portal starts it, reloads every
// watched auction from the practice site and writes "newgrid.lv"; its peer is Python's urllib
// fetching the same item pages one after another from the same site, in the same run. Rounds
// alternate between the two; each figure is a median. Prints one line per size with the rate
// of each and "ratio A/B: X.XX", the agent's rate over urllib's.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "TempWorkingFolder.h"
#include "tools/testing/PracticeSite.h"

namespace {

constexpr long long kFirstItem = 240000000000LL;
constexpr int kRounds = 3;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void writeFile(const QString& path, const std::string& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()))
    throw std::runtime_error("cannot write " + path.toStdString());
}

// A catalogue of count live auctions, all ending in two days.
std::string catalogue(int count) {
  std::string json = "{\"include_defaults\": false, \"items\": [";
  for (int i = 0; i < count; ++i)
    json += (i ? ",\n" : "\n") + std::string("{\"item\": \"") + std::to_string(kFirstItem + i) +
            "\", \"ends_in\": 172800}";
  return json + "]}\n";
}

// The watch list the portal writes for the same auctions.
std::string watchList(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const std::string item = std::to_string(kFirstItem + i);
    for (const std::string& line : {item, std::string("0.00"), "Practice listing " + item,
                                    std::string("12.50"), std::string("7"), std::string("1"),
                                    std::string("2 days"), std::string("USD"), std::string("IND")})
      text += line + "\r\n";
  }
  return text;
}

class AgentRun {
 public:
  AgentRun(const tarnwick::tools::PracticeSite& site, int count) : count_(count) {
    if (!root_.isValid()) throw std::runtime_error("no temporary directory");
    work_ = QString::fromStdString(root_.work().string());
    windir_ = QString::fromStdString(root_.windows().string());
    if (!QFile::copy(QStringLiteral(FRESH_DIR) + "/dummy.htm", work_ + "/dummy.htm"))
      throw std::runtime_error("cannot copy dummy.htm");
    writeFile(windir_ + "/tarnwick.ini",
              site.hostsSection() + "[prefs]\r\nedtEbayMember=tarnbuyer\r\n");
  }

  // Seconds of one whole run of fresh, from its start to its end.
  double seconds() {
    writeFile(work_ + "/lvshowall.txt", watchList(count_));
    QFile::remove(work_ + "/newgrid.lv");
    QProcess agent;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TARNWICK_WINDIR", windir_);
    agent.setProcessEnvironment(env);
    agent.setWorkingDirectory(work_);
    QElapsedTimer timer;
    timer.start();
    agent.start(FRESH_PROGRAM, {});
    if (!agent.waitForStarted(10000) || !agent.waitForFinished(count_ * 100 + 60000))
      throw std::runtime_error("fresh did not run to its end");
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    QFile grid(work_ + "/newgrid.lv");
    if (!grid.open(QIODevice::ReadOnly) || grid.readAll().count('\n') != count_ * 9)
      throw std::runtime_error("fresh did not refresh every auction");
    return elapsed;
  }

 private:
  int count_;
  TempWorkingFolder root_;  // fresh works there; this process stays where it is
  QString work_;
  QString windir_;
};

double urllibSeconds(const tarnwick::tools::PracticeSite& site, int count) {
  const std::string command = std::string(TARNWICK_PYTHON3) + " " + URLLIB_PEER + " " +
                              site.baseUrl() + " " + std::to_string(kFirstItem) + " " +
                              std::to_string(count);
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot start " + command);
  double seconds = -1;
  if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
  if (pclose(pipe) != 0 || seconds <= 0) throw std::runtime_error("urllib peer failed");
  return seconds;
}

void measure(int count) {
  QTemporaryDir catalogueDir;
  const QString cataloguePath = catalogueDir.path() + "/catalogue.json";
  writeFile(cataloguePath, catalogue(count));
  const tarnwick::tools::PracticeSite site(
      {"--no-defaults", "--catalogue", cataloguePath.toStdString()});
  AgentRun agent(site, count);
  std::vector<double> ours;
  std::vector<double> peer;
  for (int round = 0; round < kRounds; ++round) {
    ours.push_back(agent.seconds());
    peer.push_back(urllibSeconds(site, count));
  }
  const double a = count / median(ours);
  const double b = count / median(peer);
  std::printf(
      "agent   refresh from the practice site   %6d auctions %8.0f auctions/s  Python urllib "
      "%6.0f/s  ratio A/B: %.2f  (goal at 10,000: at least 600/s)\n",
      count, a, b, a / b);
  std::fflush(stdout);
}

}  // namespace

// Usage: bench_agent_refresh [COUNT...]: the sizes to measure (default 1000 and 10000).
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::max(1, std::atoi(argv[i])));
  if (counts.empty()) counts = {1000, 10000};
  try {
    for (int count : counts) measure(count);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_agent_refresh: %s\n", error.what());
    return 1;
  }
  return 0;
}
