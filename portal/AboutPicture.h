#pragma once
// The About page's picture: the bytes of a small JPEG built into the program.
#include <string>

const std::string& aboutPictureJpeg();
