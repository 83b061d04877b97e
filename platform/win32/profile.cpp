#include "win32/profile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "win32/replace_file.h"
#include "win32/text_lines.h"

namespace fs = std::filesystem;

namespace {

struct IniLine {
  std::string text;
};

std::string resolve(const std::string& file) {
  if (file.find('/') != std::string::npos) return file;
  return (fs::path(WindowsDirectory()) / file).string();
}

// The file's lines, broken as every text file of the system is (CR LF, LF or CR alone).
std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return SplitTextLines(bytes);
}

std::string trim(const std::string& s) {
  auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool isSection(const std::string& line, std::string* name) {
  std::string t = trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  *name = trim(t.substr(1, t.size() - 2));
  return true;
}

bool isKey(const std::string& line, std::string* key, std::string* value) {
  auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = trim(line.substr(0, eq));
  if (value) *value = line.substr(eq + 1);
  return true;
}

}  // namespace

std::string WindowsDirectory() {
  if (const char* dir = std::getenv("TARNWICK_WINDIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return (fs::path(xdg) / "tarnwick").string();
  const char* home = std::getenv("HOME");
  return (fs::path(home ? home : ".") / ".config" / "tarnwick").string();
}

std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const std::string& fallback) {
  std::string current;
  bool inSection = false;
  for (const std::string& line : readLines(resolve(file))) {
    std::string name, k, v;
    if (isSection(line, &name)) {
      inSection = sameName(name, section);
    } else if (inSection && isKey(line, &k, &v) && sameName(k, key)) {
      return v;
    }
  }
  return fallback;
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value, std::string* error) {
  const std::string path = resolve(file);
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::vector<std::string> lines = readLines(path);
  const std::string entry = key + "=" + value;

  bool inSection = false;
  std::ptrdiff_t sectionEnd = -1;  // index after the last line of the wanted section
  bool written = false;
  for (std::size_t i = 0; i < lines.size() && !written; ++i) {
    std::string name, k;
    if (isSection(lines[i], &name)) {
      if (inSection) break;
      inSection = sameName(name, section);
      if (inSection) sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
    } else if (inSection) {
      if (isKey(lines[i], &k, nullptr) && sameName(k, key)) {
        lines[i] = entry;
        written = true;
      } else if (!trim(lines[i]).empty()) {
        sectionEnd = static_cast<std::ptrdiff_t>(i) + 1;
      }
    }
  }
  if (!written) {
    if (sectionEnd < 0) {
      if (!lines.empty() && !trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    } else {
      lines.insert(lines.begin() + sectionEnd, entry);
    }
  }

  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return ReplaceFileContents(path, bytes, error);
}

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (!lpReturnedString || nSize == 0) return 0;
  std::string value = ReadProfileString(lpFileName ? lpFileName : "", lpAppName ? lpAppName : "",
                                        lpKeyName ? lpKeyName : "", lpDefault ? lpDefault : "");
  DWORD n = std::min<DWORD>(static_cast<DWORD>(value.size()), nSize - 1);
  std::memcpy(lpReturnedString, value.data(), n);
  lpReturnedString[n] = '\0';
  return n;
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
  if (!lpAppName || !lpKeyName || !lpFileName) return FALSE;
  return WriteProfileString(lpFileName, lpAppName, lpKeyName, lpString ? lpString : "") ? TRUE
                                                                                        : FALSE;
}
