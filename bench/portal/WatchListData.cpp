#include "WatchListData.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "lib/SysUtils.h"

namespace bench {

namespace {

enum class Kind { open, openWithinHour, won, lost, lot };

Kind kindOf(int index) {
  switch (index % 10) {
    case 0:
      return Kind::openWithinHour;
    case 7:
      return Kind::won;
    case 8:
      return Kind::lost;
    case 9:
      return Kind::lot;
    default:
      return Kind::open;
  }
}

bool isOpen(Kind kind) { return kind == Kind::open || kind == Kind::openWithinHour; }

// Open auctions end at least half an hour ahead, beyond the dispatch window.
TDateTime endOf(int index, TDateTime now) {
  switch (kindOf(index)) {
    case Kind::openWithinHour:
      return now + (30 + index % 29) * OneMinute;
    case Kind::open:
      return now + OneHour * 2 + (index * 37 % (5 * 24 * 60)) * OneMinute;
    case Kind::lot:
      return now - 2.0;
    default:
      return now - 1.0;
  }
}

const char* endsCell(Kind kind) {
  switch (kind) {
    case Kind::won:
      return "WON";
    case Kind::lost:
      return "LOST";
    case Kind::lot:
      return "ENDED - LOT";
    default:
      return "2 days";
  }
}

std::string currentBid(int index, int raise) {
  return std::to_string(10 + index % 50 + raise) + ".50";
}

std::string snipeAmount(int index) { return index % 3 == 0 ? "0.00" : "35.00"; }

void writeText(const std::string& fileName, const std::string& text) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + fileName);
}

void addLine(std::string& text, const std::string& line) {
  text += line;
  text += "\r\n";
}

}  // namespace

std::string itemNumber(int index) { return std::to_string(230000000000LL + index); }

void writeWatchListFiles(int count, TDateTime now) {
  std::string watchList;
  std::string endTimes;
  for (int i = 0; i < count; ++i) {
    const std::string item = itemNumber(i);
    const Kind kind = kindOf(i);
    for (const std::string& line :
         {item, snipeAmount(i), "Practice listing " + item, currentBid(i, 0), std::string("7"),
          std::string("1"), std::string(endsCell(kind)), std::string("USD"), std::string("IND")})
      addLine(watchList, line);
    addLine(endTimes, item);
    addLine(endTimes, DateTimeToStr(endOf(i, now)).str());
    addLine(endTimes, isOpen(kind) ? "1" : "0");
  }
  writeText("lvshowall.txt", watchList);
  writeText("lvAllTdate.txt", endTimes);
}

void writeRefreshedGrid(int count, const std::string& fileName) {
  std::string grid;
  for (int i = 0; i < count; ++i) {
    const std::string item = itemNumber(i);
    const Kind kind = kindOf(i);
    for (const std::string& line :
         {item, "Practice listing " + item, currentBid(i, 1), std::string("8"), std::string("1"),
          std::string(isOpen(kind) ? "ACTIVE" : endsCell(kind)), snipeAmount(i), std::string("USD"),
          std::string("IND")})
      addLine(grid, line);
  }
  writeText(fileName, grid);
}

void writeItemPage(const std::string& itemNumber, const std::string& fileName) {
  std::ifstream fixture(ITEM_PAGE_FIXTURE, std::ios::binary);
  if (!fixture) throw std::runtime_error("cannot read the item page fixture");
  std::string page((std::istreambuf_iterator<char>(fixture)), std::istreambuf_iterator<char>());
  const std::string fixtureItem = "1234567890";
  for (std::size_t at = page.find(fixtureItem); at != std::string::npos;
       at = page.find(fixtureItem, at + itemNumber.size()))
    page.replace(at, fixtureItem.size(), itemNumber);
  writeText(fileName, page);
}

}  // namespace bench
