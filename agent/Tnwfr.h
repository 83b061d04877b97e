#pragma once
// The refresh agent's window: a small form whose caption tells the portal that a refresh is
// running, an out-of-sight browser that reloads the watched auctions, and an out-of-sight work
// table of the auctions (one row each, in the order of "lvshowall.txt").
//
// A run: FormShow loads the table from "lvshowall.txt" and starts the item pass; every row that
// is not won, lost or ended has its item page loaded and read into the row (PageStates.cpp);
// then the bid-history pass loads the bid history of every row left "ENDED - LOT" and reads
// the member's result; then the table is written to "newgrid.lv" and the form closes, which
// ends the program. The stall timer asks again for a page that does not come (a load still on
// its way is left to come, and a request asked again keeps the first one on its way). A page
// that comes but cannot be used (longer than a page may be, or whole and still no page of the
// row) is asked for once more and then leaves its row as it was. The give-up timer passes over
// a row whose page made no progress for 30 seconds (no byte of the site's answer came), or
// had its two minutes in all however steadily it came; when the next row makes none either, the
// site is not answering: the item pass ends there, the bid histories are still asked for (a
// third row in a row without progress ends that pass too), and "newgrid.lv" holds every row,
// each row not read in this run as it was.
//
// The source is split by concern:
//   TnwfrLayout.cpp  construction and the stored layout
//   RefreshRun.cpp   the table's file, the two passes, the timers and "newgrid.lv"
//   PageStates.cpp   what a completed page means in each page state, and the row update
#include <QElapsedTimer>
#include <optional>

#include "browser/CppWebBrowser.h"
#include "forms/Buttons.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/ListView.h"
#include "forms/Panel.h"
#include "forms/Timer.h"
#include "lib/AnsiString.h"

// The agent's own scratch file: the portal saves its pages to "temp.tmp" in the same folder,
// also while a refresh runs, and a shared name would let either program read the other's page.
inline constexpr const char* refreshPageCopy = "refresh.tmp";

// Which page the agent waits for.
using pgState = unsigned char;
inline constexpr pgState psHandled = 1;     // a page is being handled (inside one event)
inline constexpr pgState psItemPage = 5;    // the current row's item page
inline constexpr pgState psItemBlank = 9;   // the blank page after an item page
inline constexpr pgState psBidsPage = 10;   // the current row's bid-history page
inline constexpr pgState psBidsBlank = 13;  // the blank page after a bid-history page

class TfrmRefresh : public TForm {
 public:
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TBitBtn* btnPrgrmHlp = nullptr;
  TCppWebBrowser* broRefresh = nullptr;
  TPanel* Panel2 = nullptr;
  TListView* lvRefresh = nullptr;
  TTimer* tmrBroStall = nullptr;
  TTimer* GiveUpTimer = nullptr;

  explicit TfrmRefresh(TComponent* Owner);

  // Published handlers.
  void FormShow(TObject* Sender);
  void broRefreshDocumentComplete(TObject* Sender, const AnsiString& URL);
  void broRefreshDownloadComplete(TObject* Sender);
  void broRefreshNavigateComplete2(TObject* Sender, const AnsiString& URL);
  void broRefreshNavigateError(TObject* Sender, const AnsiString& URL, TNavigateFailure Failure);
  void broRefreshReplyProgress(TObject* Sender);
  void tmrBroStallTimer(TObject* Sender);
  void GiveUpTimerTimer(TObject* Sender);

  // The run as FormShow starts it on the first show: the table loaded, the stall timer on,
  // the item pass started at row 0. A "lvshowall.txt" that cannot be opened is shown and
  // ends the run with an empty "newgrid.lv".
  void beginRun();

  void loadLVFromShowAll();
  void navigateItemPage();
  void nextItemPage();
  void navigateBidHistoryPage();
  void nextBidHistoryPage();
  // The member id of the preferences, read afresh ("" when none).
  AnsiString readEbayMember();

  // What a completed page means in the current page state.
  void processLoadedPage();
  // Reads a saved item page into the row of the current item.
  void updateLVfromTNW(TListView* listView, const AnsiString& fileName);

  void SetcurrIndex(int value);
  int GetcurrIndex();
  void SetcurrItemNum(const AnsiString& value);
  AnsiString GetcurrItemNum();

 private:
  void buildLayout();
  // Steps of the two passes for the row at currIndex: false when the row is skipped, true when
  // its page was asked for or the run ended.
  bool requestItemPage();
  bool requestBidHistoryPage();
  void restartGiveUpTimer();
  // Waits for url in state: the stall timer asks for it again.
  void requestPage(pgState state, const AnsiString& url);
  void requestBlankPage();
  // The saved page copied to the item's ".tnw" file and read into its row; then the blank page.
  void keepItemPage();
  // A page of the current row that came but cannot be used: asked for once more, and the
  // second time the row is left as it was.
  void passUnusablePage();
  // The current row goes back to its cells as they were when its page was asked for, and the
  // pass goes on after the blank page.
  void leaveRowAsItWas();
  // Puts back the cells of a row given up as they were when its page was asked for.
  void restoreRowAsItWas();
  // What a run leaves in "newgrid.lv" as it ends.
  enum class RunResult { NoFile, EmptyFile, Rows };
  // Stops both timers, writes "newgrid.lv" as result says and closes the form.
  void finishRun(RunResult result);
  // Stops both timers and closes the form, which ends the program.
  void endRun();

  int currIndex = 0;
  AnsiString currItemNum;
  TListItem* currRow = nullptr;
  AnsiString findItemNum;
  AnsiString currUrl;
  // Since the current row's page was first asked for.
  QElapsedTimer pageAskedFor;
  pgState pageState = 0;
  // Whether the give-up timer skipped the row before this one: a row whose page makes no
  // progress is left as it was and the pass goes on; a second in a row ends the pass.
  bool gaveUpOnLastRow = false;
  // The pages of the current row that came but could not be used.
  int unusablePages = 0;
  // The cells the passes change, as the current row held them when its page was asked for,
  // until the page has been read into it: a row given up goes back to them, so that nothing of
  // a handling cut short (the "ENDED" an ended page sets before the row is read) is written.
  struct RowCells {
    TListItem* row;
    AnsiString current;
    AnsiString bids;
    AnsiString ends;
  };
  std::optional<RowCells> rowAsItWas;
};

extern TfrmRefresh* frmRefresh;
