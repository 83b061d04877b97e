#pragma once
// The pictures of the main window's layout: the bytes of small JPEGs built into the program.
#include <string>

// The About group's picture on the Help page.
const std::string& aboutPictureJpeg();
// The Support Center's contact button, which carries a picture and no caption.
const std::string& mailPictureJpeg();
