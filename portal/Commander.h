#pragma once
// The command bar: a narrow window beside the main window. Its page buttons come with the
// docking; the main window already reaches the routines of its hidden buttons through
// frmCommand.
#include "forms/Form.h"

class TfrmCommand : public TForm {
 public:
  explicit TfrmCommand(TComponent* Owner);

  // Hidden buttons' routines, run by the main window.
  void btnLdOptnsClick(TObject* Sender);        // preferences file -> preference controls
  void btnSvOptnsClick(TObject* Sender);        // preference controls -> preferences file
  void btnLoadLVShowAllClick(TObject* Sender);  // "lvshowall.txt" -> watch list
  void btnSaveLVShowAllClick(TObject* Sender);  // watch list -> "lvshowall.txt"
  void btnTarnClick(TObject* Sender);           // deletes the saved page files
  void btnGetOffsetClick(TObject* Sender);      // starts a clock sync in the offset browser
  void Button2Click(TObject* Sender);           // awaits an agent result without starting one
  void Button3Click(TObject* Sender);           // runs the dispatch check at once
};

extern TfrmCommand* frmCommand;
