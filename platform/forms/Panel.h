#pragma once
// TPanel: a raised, opaque area that holds controls and shows its caption in the middle.
#include "forms/Control.h"

class TPanel : public TControl {
 public:
  explicit TPanel(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
};
