// The watch list's files. Reading and writing "lvshowall.txt" and
// "lvAllTdate.txt" come with the watch list's row operations; until then the
// start-up and the shutdown find nothing to load and write nothing.
#include "portal/Commander.h"
#include "portal/Unit1.h"
#include "scraping/EbayScraper.h"

void TfrmCommand::btnLoadLVShowAllClick(TObject *Sender) { (void)Sender; }

void TfrmCommand::btnSaveLVShowAllClick(TObject *Sender) { (void)Sender; }

void TfrmMain::loadlvAllTdateGrid() { logLine("TAG:loadlvAllTdateGrid()"); }

void TfrmMain::deleteTNWFiles() {
  logLine("TAG:deleteTNWFiles()");
  ebayScraper.deleteFilesByExt(".tnw");
}
