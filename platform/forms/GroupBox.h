#pragma once
// TGroupBox: a framed, captioned area that holds controls.
#include "forms/Control.h"

class TGroupBox : public TControl {
 public:
  explicit TGroupBox(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
};
