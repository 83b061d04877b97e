#pragma once
// TImage shows a picture; TPicture holds it (also a bit button's glyph). JPEG files are
// decoded with libjpeg; other formats Qt reads are taken as well.
#include <QImage>
#include <functional>

#include "forms/Control.h"
#include "forms/FormsErrors.h"

class TPicture {
 public:
  // changed runs whenever the picture is replaced, so its holder shows the new one.
  explicit TPicture(std::function<void()> changed) : changed_(std::move(changed)) {}
  // Raises EInvalidGraphic when the file is missing or not a picture.
  void LoadFromFile(const AnsiString& fileName);
  // From the bytes of a JPEG file; raises EInvalidGraphic when they do not decode.
  void LoadFromJpegBytes(const std::string& bytes);
  void Assign(const QImage& image);
  const QImage& Image() const { return image_; }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }

 private:
  std::function<void()> changed_;
  QImage image_;
};

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner);

  TPicture* Picture() { return &picture_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  bool Center() const { return center_; }
  void SetCenter(bool center);

 private:
  void showPicture();
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
};
