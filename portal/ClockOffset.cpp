// The offset between the local clock and eBay's official clock, learnt from the official-time
// page: once at start-up through the HTTP client HttpCli1 (its success starts the second
// start-up stage and the schedule), and later through the hidden browser broOffset while the
// schedule waits.
#include "forms/Dialogs.h"
#include "lib/Streams.h"
#include "lib/SysUtils.h"
#include "netcomp/HttpProt.h"
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "scraping/EbayScraper.h"
#include "scraping/SiteHosts.h"

namespace {
constexpr broAct offsetSyncInProgress = 10;
constexpr broAct offsetObtained = 11;
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
  broOffset->OnDocumentComplete = [this](TObject* Sender, const AnsiString& URL) {
    broOffsetDocumentComplete(Sender, URL);
  };
}

void TfrmMain::getOffsetHttp() {
  logLine("TAG:getOffsetHttp()");
  GetButtonClick(this);
}

void TfrmMain::GetButtonClick(TObject* Sender) {
  (void)Sender;
  // Retry starts the attempt again; Abort (or a failed request) ends the attempts.
  for (;;) {
    DisplayMemo->Lines()->Clear();
    DocumentMemo->Lines()->Clear();
    HttpCli1->URL = URLEdit->Text();
    HttpCli1->Proxy = "";
    HttpCli1->ProxyPort = "";
    HttpCli1->RcvdStream = nullptr;
    HttpCli1->ModifiedSince = 0;
    try {
      HttpCli1->Get();
    } catch (const Exception&) {
      DisplayMemo->Lines()->Add("GET Failed !");
      DisplayMemo->Lines()->Add("StatusCode   = " + IntToStr(HttpCli1->StatusCode()));
      DisplayMemo->Lines()->Add("ReasonPhrase = " + HttpCli1->ReasonPhrase());
      HttpCli1DocEnd(nullptr);
      return;
    }
    DisplayMemo->Lines()->Add("StatusCode = " + IntToStr(HttpCli1->StatusCode()));
    TStringList* headers = HttpCli1->RcvdHeaderLines();
    for (int i = 0; i < headers->Count(); ++i)
      DisplayMemo->Lines()->Add("hdr>" + headers->Strings(i));
    DocumentMemo->Lines()->LoadFromFile(HttpCli1->DocName());
    DocumentMemo->Lines()->SaveToFile("offset.htm");
    if (ebayScraper.containsText("</html>", DocumentMemo->Text())) {
      SetcurrBroOffsetAction(offsetObtained);
      SetdoBrowserRetryOffset(false);
      broOffset->Stop();
      acceptOfficialTimePage();
      formShow2();
      return;
    }
    if (MessageDlg("Error calculating eBay time offset.  Error # 1221-2358.", mtError,
                   TMsgDlgButtons() << mbAbort << mbRetry, 0) != mrRetry) {
      Close();
      return;
    }
  }
}

void TfrmMain::acceptOfficialTimePage() {
  ebayTimeOffset = ebayScraper.getEbayTimeOffset("offset.htm");
  DeleteFile("offset.htm");
  SetpanStat(0);
  SetdynaWaiting(false);
  SetdoDispatchLaunchCheck(true);
  SetdoRefreshLVShowAll(true);
  SetdoEbaySync(true);
  SetdoRecalc(true);
}

// The body of the reply goes to the file the client names, in the working directory.
void TfrmMain::HttpCli1DocBegin(TObject* Sender) {
  (void)Sender;
  DisplayMemo->Lines()->Add(HttpCli1->ContentType() + " => " + HttpCli1->DocName());
  DisplayMemo->Lines()->Add("Document = " + HttpCli1->DocName());
  HttpCli1->RcvdStream = new TFileStream(HttpCli1->DocName(), fmCreate);
}

void TfrmMain::HttpCli1DocEnd(TObject* Sender) {
  (void)Sender;
  delete HttpCli1->RcvdStream;
  HttpCli1->RcvdStream = nullptr;
}

void TfrmMain::startBrowserOffsetSync() {
  logLine("TAG:btnGetOffsetClick(TObject *Sender)");
  SetcurrBroOffsetAction(offsetSyncInProgress);
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
    ebayScraper.saveBroDocToFile(broOffset, "offset.htm");
    const bool complete =
        ebayScraper.broDocContains(broOffset,
                                   "All Rights Reserved. Designated trademarks and brands are the",
                                   "offset.htm") &&
        ebayScraper.broDocContains(broOffset, "Hawaii Time:", "offset.htm") &&
        ebayScraper.broDocContains(broOffset, "</html>", "offset.htm");
    if (complete) {
      SetcurrBroOffsetAction(offsetObtained);
      SetdoBrowserRetryOffset(false);
      broOffset->Stop();
      acceptOfficialTimePage();
    } else {
      SetdoBrowserRetryOffset(true);
    }
  }
  ebayScraper.broNavigate(broOffset, officialTimePageUrl("TimeShow&ssPageName=f:f:US"));
}

void TfrmMain::SetcurrBroOffsetAction(broAct value) {
  if (value != currBroOffsetAction) pnlPleaseWait->SetCaption("Calculating Ebay Time Offset.");
  currBroOffsetAction = value;
}

broAct TfrmMain::GetcurrBroOffsetAction() { return currBroOffsetAction; }
