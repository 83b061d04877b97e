#pragma once
// TCheckBox. OnClick fires whenever Checked changes: by the user's click or by the program.
#include "forms/Control.h"

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
  bool Checked() const;
  void SetChecked(bool checked);

  TNotifyEvent OnClick;
};
