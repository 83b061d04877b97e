// Item groups: a group ties watched auctions together, and once its count of wins still wanted
// reaches zero, its cancel file "canc" + name + ".TDL" lists its auctions for the sniper. The
// groups live in lvGroups and in "groups.tnq" (three lines a group: name, note, how many),
// written whenever a group is added, changed, deleted or its count lessened, so a restart
// brings back the groups as they were: a group satisfied before it stays satisfied. The built-in
// group "IND" bids independently.
//
// A cancel file is there exactly while its group wants no more wins: a raised count removes it
// before the count is saved, and each start writes it for every satisfied group and removes it
// for every other group, so a kill between two steps never leaves the sniper cancelling the
// snipes of a group that wants wins.
#include "forms/Dialogs.h"
#include "lib/StringList.h"
#include "lib/SysUtils.h"
#include "portal/PortalFiles.h"
#include "portal/Unit1.h"
#include "portal/WatchListRows.h"
#include "scraping/EbayScraper.h"
#include "scraping/WorkFiles.h"
#include "win32/replace_file.h"

namespace {

constexpr const char* independent = "IND";
constexpr int siGroupNote = 0;
constexpr int siGroupHowMany = 1;

void showError(const char* text) { MessageDlg(text, mtError, {mbOK}); }

// Whether the group still wants wins, by its count; a count that is no integer (an edited
// "groups.tnq", a run of digits too long) holds nothing back.
bool wantsWins(const TListItem* group) {
  return StrToIntDef(cellText(group, siGroupHowMany), 1) > 0;
}

// Removes the cancel file of a group that wants wins again, by the name launchCancelSnipesText
// gives it. Only a regular file goes: a link, a folder, a device or a pipe that bears the name is
// none the portal wrote. "IND" never has one, and a name that cannot be part of a file name
// names no file of the folder.
void removeCancelFile(const AnsiString& group) {
  if (group == independent || !fitsInFileName(group)) return;
  RemoveRegularFile(cancelFileName(group).str());
}

}  // namespace

void TfrmMain::connectGroupEvents() {
  btnAddGrp->OnClick = [this](TObject* Sender) { btnAddGrpClick(Sender); };
  btnChange->OnClick = [this](TObject* Sender) { btnChangeClick(Sender); };
  DeleteGroup1->OnClick = [this](TObject* Sender) { DeleteGroup1Click(Sender); };
  lvGroups->OnClick = [this](TObject* Sender) { lvGroupsClick(Sender); };
  edtGrpHowMany->OnChange = [this](TObject* Sender) { edtGrpHowManyChange(Sender); };
  comGroup->OnChange = [this](TObject* Sender) { comGroupChange(Sender); };
  tsItemInGroup->OnShow = [this](TObject* Sender) { tsItemInGroupShow(Sender); };
  EditItemGroup1->OnClick = [this](TObject* Sender) { EditItemGroup1Click(Sender); };
}

void TfrmMain::saveGroupsLV() {
  logLine("TAG:saveGroupsLV()");
  // Before the start-up has read the file, the list does not hold it.
  if (startUpPending || lvGroups->Items()->Count() == 0) return;
  TStringList lines;
  for (int i = 0; i < lvGroups->Items()->Count(); ++i) {
    const TListItem* group = lvGroups->Items()->Item(i);
    lines.Add(group->Caption());
    lines.Add(cellText(group, siGroupNote));
    lines.Add(cellText(group, siGroupHowMany));
  }
  lines.SaveToFile(groupsFileName);
}

void TfrmMain::loadGroupsListView() {
  logLine("TAG:loadGroupsListView()");
  if (!FileExists(groupsFileName)) return;
  TStringList lines;
  lines.LoadFromFile(groupsFileName);
  lvGroups->Items()->Clear();
  for (int i = 0; i + 3 <= lines.Count(); i += 3) {
    TListItem* group = lvGroups->Items()->Add();
    group->SetCaption(lines.Strings(i));
    group->SubItems()->Add(lines.Strings(i + 1));
    group->SubItems()->Add(lines.Strings(i + 2));
  }
  ebayScraper.fillListFromLVCaptions(comGroup, lvGroups);
}

void TfrmMain::btnAddGrpClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnAddGrpClick(TObject *Sender)");
  edtGrpNme->SetText(AnsiUpperCase(edtGrpNme->Text()));
  const AnsiString name = edtGrpNme->Text();
  if (!ebayScraper.isNumericText(edtGrpHowMany->Text()))
    return showError("How Many is not numeric or blank. Group not created.");
  // A name of blanks alone looks empty in the list and in the group box.
  if (Trim(name).IsEmpty()) return showError("Group Name is blank. Group not created.");
  // The name becomes part of the group's cancel file name.
  if (!fitsInFileName(name))
    return showError(
        "Group Name cannot be part of a file name: leave out / \\ : .. and control characters, "
        "and keep it to 200 characters. Group not created.");
  if (findRowByCaption(lvGroups, name))
    return showError("Group Name is already in use. Group not created.");
  TListItem* group = lvGroups->Items()->Add();
  group->SetCaption(name);
  // The note is typed text that goes into one line of "groups.tnq".
  group->SubItems()->Add(oneLine(edtGrpNote->Text()));
  group->SubItems()->Add(edtGrpHowMany->Text());
  saveGroups();
}

bool TfrmMain::saveGroups() {
  return saveOrTell("Group list", [this] { saveGroupsLV(); });
}

void TfrmMain::btnChangeClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:btnChangeClick(TObject *Sender)");
  edtGrpNme->SetText(AnsiUpperCase(edtGrpNme->Text()));
  const AnsiString name = edtGrpNme->Text();
  if (name == independent) return showError("Attempt to change IND.");
  if (Trim(name).IsEmpty()) return showError("Attempt to change group with name blank.");
  TListItem* group = findRowByCaption(lvGroups, name);
  if (!group) return showError("Attempt to change group name.");
  setCellText(group, siGroupNote, oneLine(edtGrpNote->Text()));
  setCellText(group, siGroupHowMany, edtGrpHowMany->Text());
  // The cancel file goes first: a kill before the count's save then leaves the old count
  // saved and no cancel file, which the next start writes again when that count wants no
  // wins. The other order could leave the raised count saved beside a cancel file for good.
  if (wantsWins(group)) removeCancelFile(group->Caption());
  saveGroups();
}

void TfrmMain::DeleteGroup1Click(TObject* Sender) {
  (void)Sender;
  logLine("TAG:DeleteGroup1Click(TObject *Sender)");
  TListItem* group = lvGroups->Selected();
  if (!group) return showError("No group highlighted.");
  if (group->Caption() == independent) return showError("IND group delete attempted.");
  if (totalInGroup(group->Caption()) >= 1)
    return showError(
        "Attempt to delete group that is in use.  First change group for auctions using this "
        "group.");
  group->Delete();
  // Written at once, like an added or changed group: a restart must not bring it back.
  saveGroups();
}

void TfrmMain::lvGroupsClick(TObject* Sender) {
  (void)Sender;
  logLine("TAG:lvGroupsClick(TObject *Sender)");
  const TListItem* group = lvGroups->Selected();
  if (!group) return;
  edtGrpNme->SetText(group->Caption());
  edtGrpNote->SetText(cellText(group, siGroupNote));
  edtGrpHowMany->SetText(cellText(group, siGroupHowMany));
}

void TfrmMain::edtGrpHowManyChange(TObject* Sender) {
  (void)Sender;
  logLine("TAG:edtGrpHowManyChange(TObject *Sender)");
  if (ebayScraper.isWholeNumberText(edtGrpHowMany->Text())) return;
  showError("Field must be integer.");
  edtGrpHowMany->SetText("1");
}

void TfrmMain::comGroupChange(TObject* Sender) {
  (void)Sender;
  logLine("TAG:comGroupChange(TObject *Sender)");
  TListItem* row = lvShowAll->Selected();
  if (!row) return showError("Attempt to change group name with no item selected.");
  setCellText(row, siGroup, comGroup->Text());
  saveWatchList();
}

void TfrmMain::tsItemInGroupShow(TObject* Sender) {
  (void)Sender;
  logLine("TAG:tsItemInGroupShow(TObject *Sender)");
  MInstruct->Hide();
  const TListItem* row = lvShowAll->Selected();
  if (!row) {
    MessageDlg(
        "No item selected. To manage group membership, choose the Show All tab and select an "
        "item.  Then click this tab, or right click and select Select Item Group.",
        mtWarning, {mbOK});
    MInstruct->Show();
    return;
  }
  edtNumTitle->SetText(row->Caption() + " " + cellText(row, siTitle));
  ebayScraper.fillListFromLVCaptions(comGroup, lvGroups);
}

// Showing the page runs its show handler; when the page is already showing, it runs here, so
// the handler runs once either way.
void TfrmMain::EditItemGroup1Click(TObject* Sender) {
  logLine("TAG:EditItemGroup1Click(TObject *Sender)");
  if (PageControl1->ActivePage() == tsItemInGroup)
    tsItemInGroupShow(Sender);
  else
    PageControl1->SetActivePage(tsItemInGroup);
}

int TfrmMain::totalInGroup(AnsiString grpNm) {
  logLine("TAG:totalInGroup(AnsiString grpNm)");
  int total = 0;
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i)
    if (cellText(lvShowAll->Items()->Item(i), siGroup) == grpNm) ++total;
  return total;
}

bool TfrmMain::stlNdPrchseFrmGrp(AnsiString grp) {
  logLine("TAG:stlNdPrchseFrmGrp(AnsiString grp)");
  if (grp == independent) return true;
  const TListItem* group = findRowByCaption(lvGroups, grp);
  return !group || wantsWins(group);
}

// A count that is no integer is left as it is.
AnsiString TfrmMain::countAfterWin(const AnsiString& groupName) {
  if (groupName == independent) return "";
  const TListItem* group = findRowByCaption(lvGroups, groupName);
  if (!group) return "";
  int howMany = 0;
  try {
    howMany = StrToInt(cellText(group, siGroupHowMany));
  } catch (const EConvertError&) {
    return "";
  }
  return IntToStr(static_cast<std::int64_t>(howMany) - 1);
}

void TfrmMain::setGroupCount(const AnsiString& groupName, const AnsiString& count) {
  if (TListItem* group = findRowByCaption(lvGroups, groupName))
    setCellText(group, siGroupHowMany, count);
}

bool TfrmMain::decGroup(AnsiString groupToLessen) {
  logLine("TAG:decGroup(AnsiString groupToLessen)");
  const AnsiString lessened = countAfterWin(groupToLessen);
  if (lessened.IsEmpty()) return true;
  setGroupCount(groupToLessen, lessened);
  const bool saved = saveGroups();
  if (lessened == "0") launchCancelSnipesText(groupToLessen);
  return saved;
}

// Each group as the dispatch sees it: one whose auctions it holds back (a count below 0,
// lessened by hand in the file, wants no more wins either) gets its cancel file again, which
// shutdown deleted; any other loses one that a kill left. A cancel file of a name that is no
// group of the list stays: the portal cannot tell that it wrote it, nor whether the buyer wants
// the snipes it holds back (a deleted group's auctions may have left the watch list with their
// snipes still at the sniper).
void TfrmMain::renewCancelFiles() {
  for (int i = 0; i < lvGroups->Items()->Count(); ++i) {
    const AnsiString name = lvGroups->Items()->Item(i)->Caption();
    if (stlNdPrchseFrmGrp(name))
      removeCancelFile(name);
    else
      launchCancelSnipesText(name);
  }
}

void TfrmMain::launchCancelSnipesText(AnsiString grmName) {
  logLine("TAG:launchCancelSnipesText(AnsiString grmName)");
  TStringList items;
  for (int i = 0; i < lvShowAll->Items()->Count(); ++i) {
    const TListItem* row = lvShowAll->Items()->Item(i);
    if (cellText(row, siGroup) == grmName) items.Add(row->Caption());
  }
  if (items.Count() == 0) return;
  // A name taken from an edited "groups.tnq" may still not fit in a file name (it may name a
  // folder, or one outside the working folder): no file then, and the user is told, as of any
  // cancel file not saved, once in the run, since the name stays as it is.
  if (!fitsInFileName(grmName)) {
    if (toldUnfitCancelFileNames.insert(grmName.str()).second)
      MessageDlg("Cancel file not saved: the group name \"" + grmName +
                     "\" cannot be part of a file name.",
                 mtError, {mbOK});
    return;
  }
  saveOrTell("Cancel file", [&] { items.SaveToFile(cancelFileName(grmName)); });
}
