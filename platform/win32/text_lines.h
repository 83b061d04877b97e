#pragma once
// How the system's text files break into lines: at CR LF, at LF alone and at CR alone, so a
// file written on any system reads the same. A final line break adds no empty line.
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string> SplitTextLines(std::string_view text);
