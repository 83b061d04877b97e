#pragma once
// TLabel: a line of text. With AutoSize (the default) the label takes the size of its caption
// whenever the caption changes, so a caption is never cut; without it the label
// keeps the size it was given and aligns its caption in it.
#include "forms/Control.h"

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);

  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
  bool WordWrap() const;
  void SetWordWrap(bool wrap);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);

 private:
  void fitCaption();
  bool autoSize_ = true;
  TAlignment alignment_ = taLeftJustify;
};
