#pragma once
// TControl: a component that shows itself as a Qt widget.
//
// The control owns its widget. Qt deletes child widgets with their parent, so the control
// only tracks the widget (QPointer) and deletes it when the control goes first; a control
// whose widget Qt already freed stays safe to use and to destroy (its setters do nothing).
// The parent control is where the widget sits; the owner is who frees the control.
//
// Visible is the control's own flag, as in the class library: a visible control inside a
// hidden parent shows when the parent shows. A control without a parent is never shown on its
// own (only forms are windows).
#include <QPointer>

#include "lib/AnsiString.h"
#include "lib/Classes.h"

class QWidget;
class TControl;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Colours as the class library writes them: 0x00BBGGRR.
using TColor = unsigned int;
inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clBtnFace = 0xFF00000F;  // the system's face colour

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;  // an or of TFontStyle values

// The control's font: the application's font (see TApplication) in the styles set here.
class TFont {
 public:
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);

 private:
  friend class TControl;
  explicit TFont(TControl* owner) : owner_(owner) {}
  TControl* owner_;
  TFontStyles style_ = 0;
};

class TControl : public TComponent {
 public:
  ~TControl() override;

  // The widget, or null once Qt freed it.
  QWidget* Widget() const;
  // Where child controls' widgets go (a group box's or tab sheet's inside).
  virtual QWidget* ClientWidget() const;

  TControl* Parent() const;
  void SetParent(TControl* parent);

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  virtual void SetBounds(int left, int top, int width, int height);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  bool Enabled() const;
  void SetEnabled(bool enabled);

  const AnsiString& Hint() const { return hint_; }
  void SetHint(const AnsiString& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show);

  // alClient fills the parent's client area and follows its size; alTop/alBottom/alLeft/
  // alRight keep to that edge at the control's height or width.
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  void BringToFront();
  void SendToBack();

  // The menu that a right click (or the context-menu key) opens over the control.
  TPopupMenu* PopupMenu() const;
  void SetPopupMenu(TPopupMenu* menu);

  TColor Color() const { return color_; }
  void SetColor(TColor color);

  TFont* Font() { return &font_; }

  // The control whose widget (or one of whose ancestors' widgets) this is, or null.
  static TControl* FromWidget(const QWidget* widget);

 protected:
  // widget: created by the derived class, parentless; the control takes it over.
  TControl(TComponent* owner, QWidget* widget);

  template <class W>
  W* widgetAs() const {
    return static_cast<W*>(Widget());
  }

  // Called after the position or size changed (for labels that travel with their control).
  virtual void boundsChanged() {}
  // Called after the parent changed.
  virtual void parentChanged() {}
  // Shows or hides the widget as the own flag and the parent allow.
  void applyVisibility();
  // An opaque control paints its background in its colour, the face colour included.
  void SetOpaque(bool opaque);

 private:
  void applyAlign();
  void applyHint();

  QPointer<QWidget> widget_;
  QPointer<QObject> alignKeeper_;  // a child of the widget
  QPointer<QObject> popupMenu_;
  TPopupMenu* popupMenuControl_ = nullptr;
  AnsiString hint_;
  bool showHint_ = true;
  bool visible_ = true;
  TAlign align_ = alNone;
  TColor color_ = clBtnFace;
  bool opaque_ = false;
  TFont font_{this};
};
