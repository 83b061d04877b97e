#include "portal/Commander.h"

TfrmCommand* frmCommand = nullptr;

TfrmCommand::TfrmCommand(TComponent* Owner) : TForm(Owner) {
  SetName("frmCommand");
  SetCaption("Command Bar");
  SetBounds(922, 112, 164, 429);
  SetBorderIcons(0);
}
