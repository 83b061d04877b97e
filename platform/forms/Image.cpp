#include "forms/Image.h"

#include <QLabel>
#include <QPixmap>
#include <fstream>
#include <iterator>

#include "forms/Jpeg.h"
#include "forms/NewWidget.h"

namespace {
bool looksLikeJpeg(const std::string& bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xD8 &&
         static_cast<unsigned char>(bytes[2]) == 0xFF;
}
}  // namespace

void TPicture::LoadFromFile(const AnsiString& fileName) {
  std::ifstream file(fileName.str(), std::ios::binary);
  if (!file) throw EInvalidGraphic("Cannot open file \"" + fileName + "\"");
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (looksLikeJpeg(bytes)) {
    LoadFromJpegBytes(bytes);
    return;
  }
  QImage other;
  if (!other.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                          static_cast<int>(bytes.size())))
    throw EInvalidGraphic("Unknown picture file extension (" + fileName + ")");
  Assign(other);
}

void TPicture::LoadFromJpegBytes(const std::string& bytes) {
  std::string why;
  QImage decoded = DecodeJpeg(bytes, &why);
  if (decoded.isNull()) throw EInvalidGraphic("JPEG error: " + AnsiString(why));
  Assign(decoded);
}

void TPicture::Assign(const QImage& image) {
  image_ = image;
  if (changed_) changed_();
}

TImage::TImage(TComponent* owner)
    : TControl(owner, NewWidget<QLabel>()), picture_([this] { showPicture(); }) {}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  showPicture();
}

void TImage::SetCenter(bool center) {
  center_ = center;
  showPicture();
}

void TImage::showPicture() {
  auto* label = widgetAs<QLabel>();
  if (!label) return;
  label->setScaledContents(stretch_);
  label->setAlignment(center_ ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
  label->setPixmap(QPixmap::fromImage(picture_.Image()));
}
