#pragma once
// TImage shows a picture; TPicture holds it. JPEG files are decoded with libjpeg; other
// formats Qt reads are taken as well.
#include <QImage>

#include "forms/Control.h"
#include "forms/FormsErrors.h"

class TImage;

class TPicture {
 public:
  explicit TPicture(TImage* owner) : owner_(owner) {}
  // Raises EInvalidGraphic when the file is missing or not a picture.
  void LoadFromFile(const AnsiString& fileName);
  // From the bytes of a JPEG file; raises EInvalidGraphic when they do not decode.
  void LoadFromJpegBytes(const std::string& bytes);
  void Assign(const QImage& image);
  const QImage& Image() const { return image_; }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }

 private:
  TImage* owner_;
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
  friend class TPicture;
  void showPicture();
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
};
