#pragma once
// TMemo: lines of text. Lines is the memo's string list: what is added, loaded or set shows,
// and what is saved are exactly the bytes that were put in (the user's typing is read back
// into the lines).
#include "forms/Control.h"
#include "lib/StringList.h"

class TMemo;

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemoLines {
 public:
  explicit TMemoLines(TMemo* owner) : owner_(owner) {}
  int Count() const;
  const AnsiString& Strings(int index) const;
  const AnsiString& operator[](int index) const { return Strings(index); }
  void SetStrings(int index, const AnsiString& line);
  int Add(const AnsiString& line);
  void Delete(int index);
  void Clear();
  AnsiString Text() const;
  void SetText(const AnsiString& text);
  // Raise EFOpenError / EFCreateError as the string list does.
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;
  // Replaces the lines with those of another list.
  void Assign(const TStringList& other);

 private:
  friend class TMemo;
  const TStringList& lines() const;
  TMemo* owner_;
};

class TMemo : public TControl {
 public:
  explicit TMemo(TComponent* owner);

  TMemoLines* Lines() { return &lines_; }
  // Every line followed by CR LF.
  AnsiString Text() const { return lines_.Text(); }
  void SetText(const AnsiString& text) { lines_.SetText(text); }
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  // Long lines wrap at the memo's width (the default); without it they run on past it.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  // The scroll bars the memo shows; none by default.
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle scrollBars);

  TNotifyEvent OnChange;

 private:
  friend class TMemoLines;
  void showLines();
  void lineAdded(const AnsiString& line);
  void readBackTyping();

  TMemoLines lines_;
  TStringList data_;
  bool typed_ = false;  // the widget holds typing not yet read back into data_
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = ssNone;
};
