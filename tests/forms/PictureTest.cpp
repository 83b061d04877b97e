#include <cstdio>
#include <fstream>

#include <QDir>
#include <QLabel>

#include "FormsTestSupport.h"
#include "forms/Buttons.h"
#include "forms/Form.h"
#include "forms/GroupBox.h"
#include "forms/Image.h"
#include "forms/Jpeg.h"
#include "forms/Label.h"

// After the forms headers: libjpeg defines TRUE and FALSE as macros when they are not.
#include <jpeglib.h>

namespace {

using PictureTest = FormsTest;

// A width x height JPEG: left half red, right half blue, made with libjpeg's compressor.
std::string makeJpeg(int width, int height) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    const bool left = x < width / 2;
    row[x * 3] = left ? 255 : 0;
    row[x * 3 + 1] = 0;
    row[x * 3 + 2] = left ? 0 : 255;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return bytes;
}

TEST_F(PictureTest, AJpegDecodesWithLibjpegIntoTheImage) {
  const std::string jpeg = makeJpeg(32, 16);
  std::ofstream("about.jpg", std::ios::binary) << jpeg;
  TImage image(nullptr);
  image.Picture()->LoadFromFile("about.jpg");
  const QImage& decoded = image.Picture()->Image();
  ASSERT_EQ(decoded.width(), 32);
  ASSERT_EQ(decoded.height(), 16);
  const QColor left = decoded.pixelColor(4, 8), right = decoded.pixelColor(28, 8);
  EXPECT_GT(left.red(), 200);
  EXPECT_LT(left.blue(), 60);
  EXPECT_GT(right.blue(), 200);
  EXPECT_LT(right.red(), 60);
  EXPECT_FALSE(static_cast<QLabel*>(image.Widget())->pixmap().isNull());
}

TEST_F(PictureTest, BrokenPicturesRaiseInsteadOfCrashing) {
  std::string error;
  EXPECT_TRUE(DecodeJpeg("not a jpeg at all", &error).isNull());
  EXPECT_FALSE(error.empty());
  std::string truncated = makeJpeg(16, 16);
  truncated.resize(40);
  EXPECT_TRUE(DecodeJpeg(truncated).isNull());
  TImage image(nullptr);
  EXPECT_THROW(image.Picture()->LoadFromFile("missing.jpg"), EInvalidGraphic);
  std::ofstream("bad.jpg", std::ios::binary) << "\xFF\xD8\xFF garbage";
  EXPECT_THROW(image.Picture()->LoadFromFile("bad.jpg"), EInvalidGraphic);
}

TEST_F(PictureTest, ASmallFormRendersToAScreenshot) {
  TForm form(nullptr);
  form.SetCaption("Tarnwick: Control Command Portal");
  form.SetClientWidth(240);
  form.SetClientHeight(120);
  auto* group = new TGroupBox(&form);
  group->SetParent(&form);
  group->SetBounds(8, 8, 224, 104);
  group->SetCaption("  About Tarnwick  ");
  auto* label = new TLabel(&form);
  label->SetParent(group);
  label->SetBounds(10, 24, 200, 16);
  label->SetCaption("Version 1.1.0.181 \xA3 \xA5 $");
  auto* button = new TBitBtn(&form);
  button->SetParent(group);
  button->SetBounds(10, 60, 100, 25);
  button->SetCaption("&Program Help");
  form.Show();
  spin(10);
  const QPixmap shot = form.Widget()->grab();
  EXPECT_EQ(shot.width(), 240);
  EXPECT_EQ(shot.height(), 120);
  const QString file = QDir(FORMS_SCREENSHOT_DIR).filePath("forms-small-form.png");
  ASSERT_TRUE(shot.save(file, "PNG"));
  QImage back(file);
  EXPECT_EQ(back.size(), shot.size());
  form.Hide();
}

}  // namespace
