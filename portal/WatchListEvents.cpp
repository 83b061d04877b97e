// Connects the watch list's controls to their handlers: the item-number button, both
// completion events of the item-page browser, the Save button, the popup menu's row edits and
// its dispatch and refresh items, and the "Refresh Now" button.
#include "forms/Layout.h"
#include "portal/Unit1.h"

void TfrmMain::connectWatchListEvents() {
  const auto on = [this](void (TfrmMain::*handler)(TObject*)) { return handlerOf(this, handler); };
  btnEnterItemNum->OnClick = on(&TfrmMain::btnEnterItemNumClick);
  bro->OnDownloadComplete = on(&TfrmMain::broDownloadComplete);
  bro->OnDocumentComplete = [this](TObject* Sender, const AnsiString& URL) {
    broDocumentComplete(Sender, URL);
  };
  BitBtn1->OnClick = on(&TfrmMain::BitBtn1Click);
  EditSnipeAmount1->OnClick = on(&TfrmMain::EditSnipeAmount1Click);
  Setsnipeamounttozero1->OnClick = on(&TfrmMain::Setsnipeamounttozero1Click);
  EnterQuanityToBidOn1->OnClick = on(&TfrmMain::EnterQuanityToBidOn1Click);
  Delete1->OnClick = on(&TfrmMain::Delete1Click);
  DeleteAll1->OnClick = on(&TfrmMain::DeleteAll1Click);
  DeleteEnded1->OnClick = on(&TfrmMain::DeleteEnded1Click);
  ViewInSystemBrowser1->OnClick = on(&TfrmMain::ViewInSystemBrowser1Click);
  LaunchSniper1->OnClick = on(&TfrmMain::LaunchSniper1Click);
  Refresh1->OnClick = on(&TfrmMain::Refresh1Click);
  btnRefreshNow->OnClick = on(&TfrmMain::btnRefreshNowClick);
}
