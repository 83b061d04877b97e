#include "forms/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit; it must not return, and exceptions must
// not cross the C library, so it jumps back to the decoder with the message kept.
struct JumpingErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

void jumpBack(j_common_ptr info) {
  auto* manager = reinterpret_cast<JumpingErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->back, 1);
}

// Decodes into image (already sized by the caller through the callback); only plain data
// lives in this frame, as longjmp skips destructors.
bool decode(const unsigned char* data, unsigned long size, QImage* image, char* message) {
  jpeg_decompress_struct info;
  JumpingErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = jumpBack;
  errors.message[0] = '\0';
  if (setjmp(errors.back)) {
    jpeg_destroy_decompress(&info);
    std::strncpy(message, errors.message, JMSG_LENGTH_MAX);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    std::strncpy(message, "unsupported colour layout", JMSG_LENGTH_MAX);
    return false;
  }
  *image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                  QImage::Format_RGB888);
  if (image->isNull()) {
    jpeg_destroy_decompress(&info);
    std::strncpy(message, "picture too large", JMSG_LENGTH_MAX);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const std::string& bytes, std::string* error) {
  QImage image;
  char message[JMSG_LENGTH_MAX] = {};
  if (bytes.empty()) {
    if (error) *error = "empty file";
    return {};
  }
  if (!decode(reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<unsigned long>(bytes.size()), &image, message)) {
    if (error) *error = message;
    return {};
  }
  return image;
}
