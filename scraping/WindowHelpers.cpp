// Finding another program's window by its caption.
#include "scraping/EbayScraper.h"
#include "win32/findwindow.h"

bool TEbayScraper::isWindowOpen(const AnsiString& caption) const {
  return FindWindowA(nullptr, caption.c_str()) != nullptr;
}
