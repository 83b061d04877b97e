// The offset between the local clock and eBay's official clock, learnt from the official-time
// page: once at start-up through the HTTP client HttpCli1 (its success starts the second
// start-up stage and the schedule), and later through the hidden browser broOffset while the
// schedule waits.
#include "browser/CppWebBrowser.h"
#include "forms/Dialogs.h"
#include "lib/Streams.h"
#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "portal/Commander.h"
#include "portal/PortalFiles.h"
#include "portal/Unit1.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"

namespace {
constexpr broAct offsetSyncInProgress = 10;
constexpr broAct offsetObtained = 11;
// The reply's body is written to a name of the portal's own, never to the document name that
// the URL or a relocation gives (which could name the watch list or the agent's program), and
// removed once it has been read.
constexpr const char* replyBodyFile = "offsetreply.tmp";
// The official-time page is a few kilobytes: a reply that goes on past the longest page the
// browser takes is cut off (the request fails and asks Abort or Retry) instead of filling the
// disk, and then the memory when it is read back.
constexpr std::int64_t replyBodyMax = TCppWebBrowser::MaxDocumentBytes;
constexpr const char* offsetErrorText = "Error calculating eBay time offset.  Error # 1221-2358.";
// While a browser sync waits, nothing is dispatched: one whose page does not come whole (the
// site down, its layout changed) gives up after this long or this many failed pages instead
// of holding back every snipe and covering the window for as long as that lasts. The offset
// already known stays, and the next hourly sync tries again.
constexpr double offsetSyncMaxMinutes = 5;
constexpr int offsetSyncMaxFailures = 10;
// A start-up fetch whose reply is not whole after this long counts as failed, so a server that
// holds its reply back brings the Abort/Retry box instead of a portal waiting without a
// schedule for as long as it holds. The watch looks every second.
constexpr double startUpFetchMaxSeconds = 60;
constexpr unsigned startUpFetchWatchMs = 1000;

// Runs the watch over one start-up fetch: the fetch is aborted once its deadline has passed.
class FetchWatch {
 public:
  FetchWatch(TTimer* timer, THttpCli* client) : timer_(timer) {
    const TDateTime deadline = Now() + startUpFetchMaxSeconds * OneSecond;
    timer_->OnTimer = [client, deadline](TObject*) {
      if (Now() > deadline) client->Abort();
    };
    timer_->SetInterval(startUpFetchWatchMs);
    timer_->SetEnabled(true);
  }
  ~FetchWatch() { timer_->SetEnabled(false); }
  FetchWatch(const FetchWatch&) = delete;
  FetchWatch& operator=(const FetchWatch&) = delete;

 private:
  TTimer* timer_;
};
}  // namespace

void TfrmMain::buildHttpClient() {
  HttpCli1 = new THttpCli(this);
  HttpCli1->SetName("HttpCli1");
  HttpCli1->LocalAddr = "0.0.0.0";
  HttpCli1->Agent = "Mozilla/3.0 (compatible)";
  HttpCli1->Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  HttpCli1->NoCache = false;
  HttpCli1->ContentTypePost = "application/x-www-form-urlencoded";
  HttpCli1->SetMultiThreaded(false);
  HttpCli1->SetRequestVer("1.0");
  HttpCli1->FollowRelocation = true;
  HttpCli1->SocksAuthentication = socksNoAuthentication;
  HttpCli1->OnDocBegin = [this](TObject* Sender) { HttpCli1DocBegin(Sender); };
  HttpCli1->OnDocEnd = [this](TObject* Sender) { HttpCli1DocEnd(Sender); };
  HttpCli1->OnDocData = [this](TObject*, const char*, int) {
    if (HttpCli1->RcvdBodyCount() > replyBodyMax) HttpCli1->Abort();
  };
  startUpFetchTimer = new TTimer(this);
  startUpFetchTimer->SetEnabled(false);
  broOffset->OnDocumentComplete = [this](TObject* Sender, const AnsiString& URL) {
    broOffsetDocumentComplete(Sender, URL);
  };
}

void TfrmMain::getOffsetHttp() {
  logLine("TAG:getOffsetHttp()");
  GetButtonClick(this);
}

// Retry starts the attempt again; Abort closes the main window. A request that fails asks the
// same question as a page that arrives cut short: otherwise the portal would look normal while
// no refresh and no snipe could ever run.
bool TfrmMain::askRetryOffset() {
  if (MessageDlg(offsetErrorText, mtError, TMsgDlgButtons() << mbAbort << mbRetry, 0) == mrRetry)
    return true;
  Close();
  return false;
}

void TfrmMain::GetButtonClick(TObject* Sender) {
  (void)Sender;
  for (;;) {
    DeleteFile(replyBodyFile);
    DisplayMemo->Lines()->Clear();
    DocumentMemo->Lines()->Clear();
    HttpCli1->URL = URLEdit->Text();
    HttpCli1->Proxy = "";
    HttpCli1->ProxyPort = "";
    HttpCli1->RcvdStream = nullptr;
    HttpCli1->ModifiedSince = 0;
    try {
      // The fetch waits in a loop of its own, inside which the user works and adds run: a box
      // with only OK that they raise there comes once the fetch has returned, from the event
      // loop, since a box left open inside the fetch would keep the schedule from starting.
      const BoxesShownAfterWork boxes(BoxesShownAfterWork::Shown::backInEventLoop);
      const FetchWatch watch(startUpFetchTimer, HttpCli1);
      HttpCli1->Get();
    } catch (const Exception&) {
      DisplayMemo->Lines()->Add("GET Failed !");
      DisplayMemo->Lines()->Add("StatusCode   = " + IntToStr(HttpCli1->StatusCode()));
      DisplayMemo->Lines()->Add("ReasonPhrase = " + HttpCli1->ReasonPhrase());
      HttpCli1DocEnd(nullptr);
      DeleteFile(replyBodyFile);
      if (askRetryOffset()) continue;
      return;
    }
    DisplayMemo->Lines()->Add("StatusCode = " + IntToStr(HttpCli1->StatusCode()));
    TStringList* headers = HttpCli1->RcvdHeaderLines();
    for (int i = 0; i < headers->Count(); ++i)
      DisplayMemo->Lines()->Add("hdr>" + headers->Strings(i));
    // A reply without a body leaves no file: it is a page without its end, not a failure that
    // ends the program.
    if (FileExists(replyBodyFile)) DocumentMemo->Lines()->LoadFromFile(replyBodyFile);
    DeleteFile(replyBodyFile);
    DocumentMemo->Lines()->SaveToFile(officialTimePageFileName);
    // A page whose official time does not read (another layout, another zone, a page that only
    // ends like one) asks Abort or Retry as a cut page does: an offset of about zero would
    // silently shift every end time by the difference between the local and eBay's clock.
    double offset = 0;
    if (ebayScraper.containsText("</html>", DocumentMemo->Text()) &&
        ebayScraper.readEbayTimeOffset(officialTimePageFileName, offset)) {
      SetcurrBroOffsetAction(offsetObtained);
      SetdoBrowserRetryOffset(false);
      broOffset->Stop();
      acceptOfficialTimePage(offset);
      formShow2();
      return;
    }
    if (!askRetryOffset()) return;
  }
}

void TfrmMain::acceptOfficialTimePage(double offset) {
  ebayTimeOffset = offset;
  DeleteFile(officialTimePageFileName);
  SetpanStat(0);
  SetdynaWaiting(false);
  SetdoDispatchLaunchCheck(true);
  SetdoRefreshLVShowAll(true);
  SetdoEbaySync(true);
  SetdoRecalc(true);
}

void TfrmMain::HttpCli1DocBegin(TObject* Sender) {
  (void)Sender;
  DisplayMemo->Lines()->Add(HttpCli1->ContentType() + " => " + HttpCli1->DocName());
  DisplayMemo->Lines()->Add("Document = " + HttpCli1->DocName());
  // A relocation begins a second document: the first one's stream is closed first.
  HttpCli1DocEnd(Sender);
  HttpCli1->RcvdStream = new TFileStream(replyBodyFile, fmCreate);
}

void TfrmMain::HttpCli1DocEnd(TObject* Sender) {
  (void)Sender;
  delete HttpCli1->RcvdStream;
  HttpCli1->RcvdStream = nullptr;
}

void TfrmMain::startBrowserOffsetSync() {
  logLine("TAG:btnGetOffsetClick(TObject *Sender)");
  SetcurrBroOffsetAction(offsetSyncInProgress);
  offsetSyncStarted = Now();
  offsetSyncFailures = 0;
  SetpanStat(1);
  ebayScraper.broNavigate(broOffset, "about:blank");
  SetdoBrowserRetryOffset(true);
  for (int request = 0; request < 5; ++request)
    ebayScraper.broNavigate(broOffset, officialTimePageUrl("TimeShow"));
}

void TfrmCommand::btnGetOffsetClick(TObject* Sender) {
  (void)Sender;
  frmMain->startBrowserOffsetSync();
}

void TfrmMain::broOffsetDocumentComplete(TObject* Sender, const AnsiString& URL) {
  (void)Sender;
  (void)URL;
  broOffsetLoadingPageJunction();
}

void TfrmMain::broOffsetLoadingPageJunction() {
  logLine("TAG:broOffsetLoadingPageJunction()");
  if (GetcurrBroOffsetAction() != offsetSyncInProgress) return;
  if (!broOffset->Busy()) {
    ebayScraper.saveBroDocToFile(broOffset, officialTimePageFileName);
    const bool complete =
        ebayScraper.broDocContains(broOffset,
                                   "All Rights Reserved. Designated trademarks and brands are the",
                                   officialTimePageFileName) &&
        ebayScraper.broDocContains(broOffset, "Hawaii Time:", officialTimePageFileName) &&
        ebayScraper.broDocContains(broOffset, "</html>", officialTimePageFileName);
    if (complete) {
      // A whole page whose official time does not read keeps the last offset read: the
      // schedule runs on with it rather than with a made-up offset of about zero, and the next
      // hourly sync tries again.
      double offset = ebayTimeOffset;
      ebayScraper.readEbayTimeOffset(officialTimePageFileName, offset);
      SetcurrBroOffsetAction(offsetObtained);
      SetdoBrowserRetryOffset(false);
      broOffset->Stop();
      acceptOfficialTimePage(offset);
    } else {
      ++offsetSyncFailures;
      if (giveUpOffsetSync()) return;
      SetdoBrowserRetryOffset(true);
    }
  }
  ebayScraper.broNavigate(broOffset, officialTimePageUrl("TimeShow&ssPageName=f:f:US"));
}

bool TfrmMain::giveUpOffsetSync() {
  if (GetcurrBroOffsetAction() != offsetSyncInProgress) return false;
  const bool tooLong = Now() - offsetSyncStarted > offsetSyncMaxMinutes * OneMinute;
  if (!tooLong && offsetSyncFailures < offsetSyncMaxFailures) return false;
  SetcurrBroOffsetAction(offsetObtained);
  SetdoBrowserRetryOffset(false);
  broOffset->Stop();
  acceptOfficialTimePage(ebayTimeOffset);
  return true;
}

void TfrmMain::SetcurrBroOffsetAction(broAct value) {
  if (value != currBroOffsetAction) pnlPleaseWait->SetCaption("Calculating Ebay Time Offset.");
  currBroOffsetAction = value;
}

broAct TfrmMain::GetcurrBroOffsetAction() { return currBroOffsetAction; }
