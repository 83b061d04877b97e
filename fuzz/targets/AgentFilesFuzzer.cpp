// The refresh agent's file loaders and what reads the values they load: its work table from
// "lvshowall.txt", the member id from "tarnwick.ini", and for every row the saved item page
// read into the row, then the saved bid-history page for a row left "ENDED - LOT".
// Input: "lvshowall.txt", "tarnwick.ini", an item page and a bid-history page, separated by
// "~~~~"; a file that is not given is empty. Properties: nothing raises out of the agent's
// steps; a loaded row has its eight cells, or the warning was shown and loading stopped; a row
// read from a page holds a state word there.
#include <string>

#include "FuzzSupport.h"
#include "agent/Tnwfr.h"
#include "forms/Application.h"
#include "forms/Dialogs.h"
#include "scraping/EbayScraper.h"

namespace {

constexpr std::size_t kMaxFileBytes = 16384;
constexpr int kMaxRows = 40;
constexpr int kStateCell = 5;
constexpr const char* kItemPageFile = "page.tnw";
constexpr const char* kBidsPageFile = "page.dsp";

TfrmRefresh* agent = nullptr;
int warnings = 0;

bool isStateWord(const AnsiString& state) {
  const std::string& s = state.str();
  return s == "ACTIVE" || s == "ENDED - LOT" || s == "WON" || s == "LOST" || s == "..." ||
         (s.starts_with("WON -") && s.ends_with("-"));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  StartFuzzTarget(QtKind::Widgets);
  MoveIntoTemporaryFolders(*argv);
  agent = new TfrmRefresh(nullptr);
  SetDialogResponder([](const DialogRequest& request) {
    ++warnings;
    return DefaultDialogAnswer(request);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<std::vector<std::string>> given =
      SplitFiles(AsText(data, size), 4, kMaxFileBytes);
  if (!given) return 0;
  const std::vector<std::string>& files = *given;
  WriteFile("lvshowall.txt", files[0]);
  WriteFile(qEnvironmentVariable("TARNWICK_WINDIR").toStdString() + "/tarnwick.ini", files[1]);
  WriteFile(kItemPageFile, files[2]);
  WriteFile(kBidsPageFile, files[3]);

  TListView* table = agent->lvRefresh;
  table->Items()->Clear();
  warnings = 0;
  agent->loadLVFromShowAll();
  const int rows = table->Items()->Count();
  for (int i = 0; i < rows; ++i)
    FUZZ_REQUIRE(
        table->Items()->Item(i)->SubItems()->Count() == 8 || (i == rows - 1 && warnings > 0),
        "row " + std::to_string(i) + " of the table lacks cells without a warning");
  if (rows > 0 && table->Items()->Item(rows - 1)->SubItems()->Count() < 8) return 0;

  const AnsiString member = agent->readEbayMember();
  for (int i = 0; i < std::min(rows, kMaxRows); ++i) {
    TListItem* row = table->Items()->Item(i);
    agent->SetcurrItemNum(ebayScraper.replaceAllText(row->Caption(), "", " "));
    agent->updateLVfromTNW(table, kItemPageFile);
    // The row read is the first whose caption is the item number, which may be an earlier one.
    if (TListItem* read = table->FindCaption(0, agent->GetcurrItemNum(), false, true, true))
      FUZZ_REQUIRE(isStateWord(read->SubItems()->Strings(kStateCell)),
                   "a read row's state is '" + read->SubItems()->Strings(kStateCell).str() + "'");
    if (row->SubItems()->Strings(kStateCell) == "ENDED - LOT")
      ebayScraper.markLotResult(kBidsPageFile, row, member);
  }
  // What the steps left for the event loop (a grid's repaint, say) runs as the program's would.
  Application->ProcessMessages();
  return 0;
}
