// The watch list at scale, in a temporary working directory: loading and saving
// "lvshowall.txt" with 10,000 auctions, and one pass of addUpdateLVfromTNW over every watched
// auction, each from its own saved item page.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <cstdlib>
#include <string>

#include "PortalInWorkDir.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"

namespace {

constexpr int kAuctions = 10000;
constexpr const char* kFixtureItem = "1234567890";

std::string itemNumber(int i) { return std::to_string(220000000000LL + i); }

QByteArray watchListFile() {
  QByteArray bytes;
  for (int i = 0; i < kAuctions; ++i) {
    const QByteArray item = QByteArray::fromStdString(itemNumber(i));
    bytes += item + "\r\n0.00\r\nPractice listing " + item + "\r\n12.50\r\n7\r\n1\r\n2 days\r\n" +
             "USD\r\nIND\r\n";
  }
  return bytes;
}

void writeFile(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly)) std::abort();
  file.write(bytes);
}

// One saved item page per auction: the fixture page with its item number replaced.
void writePageFiles() {
  QFile fixture(ITEM_PAGE_FIXTURE);
  if (!fixture.open(QIODevice::ReadOnly)) std::abort();
  const QByteArray page = fixture.readAll();
  for (int i = 0; i < kAuctions; ++i) {
    QByteArray copy = page;
    copy.replace(kFixtureItem, QByteArray::fromStdString(itemNumber(i)));
    writeFile(QString::fromStdString(itemNumber(i) + ".tnw"), copy);
  }
}

void BM_LoadWatchList(benchmark::State& state) {
  writeFile("lvshowall.txt", watchListFile());
  for (auto _ : state) frmCommand->btnLoadLVShowAllClick(frmCommand);
  state.SetItemsProcessed(state.iterations() * kAuctions);
}
BENCHMARK(BM_LoadWatchList)->Unit(benchmark::kMillisecond);

void BM_SaveWatchList(benchmark::State& state) {
  writeFile("lvshowall.txt", watchListFile());
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  for (auto _ : state) frmCommand->btnSaveLVShowAllClick(frmCommand);
  state.SetItemsProcessed(state.iterations() * kAuctions);
}
BENCHMARK(BM_SaveWatchList)->Unit(benchmark::kMillisecond);

// Every auction is watched, so each call takes the update road: find the row, then Current,
// Bids and Ends from the page.
void BM_UpdateEveryRowFromItsPage(benchmark::State& state) {
  writeFile("lvshowall.txt", watchListFile());
  frmCommand->btnLoadLVShowAllClick(frmCommand);
  writePageFiles();
  for (auto _ : state)
    for (int i = 0; i < kAuctions; ++i)
      frmMain->addUpdateLVfromTNW(frmMain->lvShowAll, (itemNumber(i) + ".tnw").c_str());
  state.SetItemsProcessed(state.iterations() * kAuctions);
}
BENCHMARK(BM_UpdateEveryRowFromItsPage)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  const bench::PortalInWorkDir portal;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
