#pragma once
// JPEG decoding with libjpeg, into a QImage.
#include <string>

#include <QImage>

// The decoded picture, or a null image when bytes is no JPEG libjpeg can read; then error
// (when given) tells why.
QImage DecodeJpeg(const std::string& bytes, std::string* error = nullptr);
