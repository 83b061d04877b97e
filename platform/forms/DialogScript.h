#pragma once
// Answers and logging for boxes of a scripted process (TARNWICK_DIALOG_SCRIPT and
// TARNWICK_DIALOG_LOG, see Dialogs.h).
#include <optional>

#include "forms/Dialogs.h"

// Each button with the modal result it gives and its name in scripts and logs.
struct DialogButtonInfo {
  TMsgDlgBtn button;
  int modalResult;
  const char* name;
};
inline constexpr DialogButtonInfo kDialogButtons[] = {
    {mbYes, mrYes, "Yes"},          {mbNo, mrNo, "No"},          {mbOK, mrOk, "OK"},
    {mbCancel, mrCancel, "Cancel"}, {mbAbort, mrAbort, "Abort"}, {mbRetry, mrRetry, "Retry"},
    {mbIgnore, mrIgnore, "Ignore"}};
int ModalResultOf(TMsgDlgBtn button);

// The script's answer for the box, when a script is set and a line matches.
std::optional<DialogAnswer> ScriptedDialogAnswer(const DialogRequest& request);
bool DialogScriptIsSet();
// Appends the box and its answer to the log file, when one is set.
void LogDialog(const DialogRequest& request, const DialogAnswer& answer);
