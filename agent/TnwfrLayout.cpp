// The agent window's stored layout. Only the caption and its label are seen: the browser and
// the work table lie outside the 33-pixel client area.
#include <QWidget>
#include <cstdlib>
#include <ctime>

#include "agent/Tnwfr.h"
#include "forms/Application.h"
#include "forms/Layout.h"
#include "scraping/WorkFiles.h"

TfrmRefresh* frmRefresh = nullptr;

namespace {

// The work table's columns (the portal's captions; the data order is the watch list's).
constexpr const char* kColumnCaptions[] = {"Item", "Title",     "Current",     "Bids", "Qty",
                                           "Ends", "Snipe Amt", "\xA3 \xA5 $", "Group"};

}  // namespace

TfrmRefresh::TfrmRefresh(TComponent* Owner) : TForm(Owner) {
  buildLayout();
  currItemNum = "";
  findItemNum = "";
  currUrl = "";
  // The stall timer draws its next interval at random.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

void TfrmRefresh::buildLayout() {
  SetName("frmRefresh");
  SetCaption(agentWindowCaption);
  SetBorderStyle(bsSingle);
  SetLeft(0);
  SetTop(3);
  SetClientWidth(207);
  SetClientHeight(33);
  // The portal starts the agent while the buyer may be typing into it: the window comes up
  // without taking the keyboard.
  SetActivateOnShow(false);
  // An exception of the first show is shown and the window stays, as for any handler.
  OnShow = [this](TObject* Sender) { TApplication::RunGuarded(this, [&] { FormShow(Sender); }); };

  Panel1 = placeControl<TPanel>(this, this, "Panel1", 0, 0, 207, 33);
  Panel1->SetAlign(alClient);
  Panel1->SetColor(clWhite);
  Label1 = placeControl<TLabel>(this, Panel1, "Label1", 8, 8, 140, 13);
  Label1->SetCaption(agentWindowCaption);
  // A help button without a handler: pressing it does nothing.
  btnPrgrmHlp = placeControl<TBitBtn>(this, Panel1, "btnPrgrmHlp", 152, 0, 53, 27);
  btnPrgrmHlp->SetCaption("&Help");

  broRefresh = new TCppWebBrowser(this, Panel1->ClientWidget());
  broRefresh->SetName("broRefresh");
  broRefresh->widget()->setGeometry(0, 31, 777, 666);
  // Below the client area and never seen, so never shown either: a shown page view would lay
  // out every page the run loads.
  broRefresh->widget()->hide();
  broRefresh->OnDocumentComplete = [this](TObject* Sender, const AnsiString& URL) {
    broRefreshDocumentComplete(Sender, URL);
  };
  broRefresh->OnDownloadComplete = [this](TObject* Sender) { broRefreshDownloadComplete(Sender); };
  broRefresh->OnNavigateComplete2 = [this](TObject* Sender, const AnsiString& URL) {
    broRefreshNavigateComplete2(Sender, URL);
  };
  broRefresh->OnNavigateError = [this](TObject* Sender, const AnsiString& URL,
                                       TNavigateFailure Failure) {
    broRefreshNavigateError(Sender, URL, Failure);
  };
  broRefresh->OnReplyProgress = [this](TObject* Sender) { broRefreshReplyProgress(Sender); };

  Panel2 = placeControl<TPanel>(this, Panel1, "Panel2", 184, 56, 600, 200);
  lvRefresh = placeControl<TListView>(this, Panel2, "lvRefresh", 0, 0, 600, 200);
  lvRefresh->SetReadOnly(true);
  lvRefresh->SetRowSelect(true);
  lvRefresh->SetGridLines(true);
  lvRefresh->SetHint("Right Click For More Options");
  for (const char* caption : kColumnCaptions) lvRefresh->Columns()->Add()->SetCaption(caption);

  tmrBroStall = new TTimer(this);
  tmrBroStall->SetName("tmrBroStall");
  tmrBroStall->SetEnabled(false);
  tmrBroStall->SetInterval(2000);
  tmrBroStall->OnTimer = [this](TObject* Sender) { tmrBroStallTimer(Sender); };
  GiveUpTimer = new TTimer(this);
  GiveUpTimer->SetName("GiveUpTimer");
  GiveUpTimer->SetEnabled(false);
  GiveUpTimer->SetInterval(30000);
  GiveUpTimer->OnTimer = [this](TObject* Sender) { GiveUpTimerTimer(Sender); };
}

void TfrmRefresh::broRefreshDownloadComplete(TObject* Sender) { (void)Sender; }

void TfrmRefresh::broRefreshNavigateComplete2(TObject* Sender, const AnsiString& URL) {
  (void)Sender;
  (void)URL;
}
