#pragma once
// TEbayScraper: the stateless operations that read an auction's facts out of saved eBay pages,
// plus the small browser, text, file and window helpers around them. Both programs reach them
// through their one global instance `ebayScraper`.
//
// Text conventions used throughout: positions are 1-based and a search that finds nothing
// gives 0. Pages pass as string lists loaded from saved page files, and every page operation
// works on the list's whole text (each line followed by CR LF), rebuilt on every call. No
// operation raises to its caller except getTimeLeftText (a date conversion error) and
// getEbayTimeOffset (a file-open error); a page that lacks what is sought gives a fixed text
// ("***", "undetermined", "error : title not found", ...).
//
// The class has no fields: every operation is a const member that reads only its arguments and
// the files, browser and windows they name. Components are passed by pointer as the forms hold
// them; a null component is treated as one with nothing in it. The reading of a bid-history
// page at the end is the refresh agent's: it is defined under agent/, so only the agent's
// program carries it.
#include "lib/AnsiString.h"
#include "lib/DateTime.h"

class TCppWebBrowser;
class TComboBox;
class TListItem;
class TListView;
class TStringList;

class TEbayScraper {
 public:
  // --- browser and page files ---

  // Saves the browser's current document to fileName, deleting an old file of that name first
  // (a file that already holds exactly the document is left as it is, since saving it again
  // would give the same file). Nothing is written (and nothing reported) when the browser has
  // no document to save.
  void saveBroDocToFile(TCppWebBrowser* browser, const AnsiString& fileName) const;
  // The same save, telling its outcome: true when the file holds the document afterwards;
  // otherwise false with the reason (the file that could not be written, and why).
  bool saveBroDocToFile(TCppWebBrowser* browser, const AnsiString& fileName,
                        AnsiString& reason) const;
  // Starts loading url (cut to its first 2998 characters); the load completes through the
  // browser's events.
  void broNavigate(TCppWebBrowser* browser, const AnsiString& url) const;
  // The page test: saves the current document to fileName and tells whether its text contains
  // marker (case-sensitive). False when nothing could be saved.
  bool broDocContains(TCppWebBrowser* browser, const AnsiString& marker,
                      const AnsiString& fileName) const;
  // Copies a file of the working directory over another one; the outcome is not checked.
  void copyLocalFile(const AnsiString& source, const AnsiString& destination) const;

  // --- text ---

  // True when needle occurs in haystack (case-sensitive); an empty needle is always found.
  bool containsText(const AnsiString& needle, const AnsiString& haystack) const;
  // text with the first / every occurrence of pattern (letter case ignored) replaced by
  // replacement. Note the order: the replacement comes before the pattern.
  AnsiString replaceFirstText(const AnsiString& text, const AnsiString& replacement,
                              const AnsiString& pattern) const;
  AnsiString replaceAllText(const AnsiString& text, const AnsiString& replacement,
                            const AnsiString& pattern) const;
  // text without its blanks.
  AnsiString stripSpaces(const AnsiString& text) const;
  // Not empty, and made only of the digits 0-9 and points.
  bool isNumericText(const AnsiString& text) const;
  // isNumericText and no point.
  bool isWholeNumberText(const AnsiString& text) const;

  // --- controls, files, windows ---

  // Refills comboBox with the captions of listView's items and returns their count; an empty
  // list view leaves the combo box as it was and gives 0.
  int fillListFromLVCaptions(TComboBox* comboBox, TListView* listView) const;
  // Deletes every file of the working directory whose extension (from the last ".", the dot
  // included) equals extension exactly, letter case included.
  void deleteFilesByExt(const AnsiString& extension) const;
  // True when a top-level window with this caption exists.
  bool isWindowOpen(const AnsiString& caption) const;

  // --- item page facts ---
  // A text cut out of a page for a cell (title, quantity, bid count) is at most
  // scraping::kLongestCellText bytes long.

  // The title, or "error : title not found" (also for titles above 95 characters).
  AnsiString getItemTitle(const TStringList& page) const;
  // The current bid as a bare decimal text, read by the page's currency, or "***".
  AnsiString getCurrentBid(const TStringList& page) const;
  AnsiString getCurrentBidAUS(const TStringList& page) const;
  AnsiString getCurrentBidCHF(const TStringList& page) const;
  AnsiString getCurrentBidEUR(const TStringList& page) const;
  AnsiString getCurrentBidGBP(const TStringList& page) const;
  // The quantity offered, "1" when the page names none.
  AnsiString getItemQuantity(const TStringList& page) const;
  // The number of bids, "LOT" (multi-quantity listing), "undetermined", or empty when the page
  // has no "Ships to:".
  AnsiString getBidCount(const TStringList& page, const AnsiString& itemNum) const;
  // The end time as it stands in the page title ("Oct-23-05 00:35:02"), or "undetermined".
  AnsiString getEndTimeText(const TStringList& page, const AnsiString& itemNum) const;
  // "AUS", "IND", "CAN", "EUR", "NTD", "GBP", "CHF", "USD", or "***".
  AnsiString getCurrencyCode(const TStringList& page) const;

  // --- eBay dates and the clock offset ---

  // An end-time text such as "Oct-23-05 00:35:02" as a date-time; Now() when it does not
  // convert. Reads under the process-wide short date format (month first).
  TDateTime parseEbayDateTime(const AnsiString& endText) const;
  // As parseEbayDateTime, but false (value untouched) when the text does not convert.
  bool tryParseEbayDateTime(const AnsiString& endText, TDateTime& value) const;
  // "01" to "12" for a three-letter English month (any letter case); "01" for anything else.
  AnsiString monthToNumber(const AnsiString& month) const;
  // Whole minutes between eBay's now (Now() - offset) and end, without sign.
  int minutesToClose(TDateTime end, double offset) const;
  // The local clock minus eBay's official clock, in days, from a saved official-time page.
  // Raises EFOpenError when the file cannot be opened.
  double getEbayTimeOffset(const AnsiString& fileName) const;
  // As getEbayTimeOffset, but false (offset untouched) when the page shows no official time
  // that converts, where getEbayTimeOffset gives about zero: a caller that already has an
  // offset keeps it instead of taking a made-up one.
  bool readEbayTimeOffset(const AnsiString& fileName, double& offset) const;
  // Minutes and seconds from eBay's now to endText, such as "35m 12s"; "00m 00s" once endText
  // has passed. endText is read with the process-wide formats; raises EConvertError when it
  // does not convert.
  AnsiString getTimeLeftText(const AnsiString& endText, double offset) const;
  // The Ends text of a running auction that ends at end: whole days ("2 days", "1 days"), else
  // hours and minutes ("1h 30m"), and in its last hour minutes and seconds to lastHourEnd
  // ("35m 12s"; the end-time entry's end, where the caller has one). An end that has passed is
  // no time to go, however long ago: "00m 00s".
  AnsiString getClosingTimeText(TDateTime end, TDateTime lastHourEnd, double offset) const;

  // --- ended auctions and the member id ---

  // True when the page before "<!-- Begin Description -->" says
  // "<b>Bidding has ended for this item</b>"; false on a page without the description marker.
  bool isBiddingEnded(const TStringList& page) const;
  // The user id between "userid=" and "&amp;iid=" behind ">Winning bidder:<", in the page
  // before the description; empty on a page without the description marker or without a
  // winning bidder before it.
  AnsiString getWinningBidder(const TStringList& page) const;
  // The member id as typed or stored, without leading or trailing blanks.
  AnsiString memberIdOf(const AnsiString& typed) const;
  // Whether a user id read off a page is the member's: eBay user ids do not depend on ASCII
  // letter case, and blanks around either are no part of it. An empty member id is nobody's.
  bool isMemberId(const AnsiString& userId, const AnsiString& member) const;
  // The result of an ended item page for the member: "ENDED - LOT" for a multi-quantity
  // listing (its result is on the bid-history page), "WON" when the page's winning bidder is
  // the member, "LOST" otherwise.
  AnsiString endedAuctionState(const TStringList& page, const AnsiString& itemNum,
                               const AnsiString& member) const;
  // Whether text names the item number whole, not as part of a longer number: the page of
  // item 220000000101, to which a request for 2200000001 may have been relocated, is no page
  // of 2200000001. An empty number is named by any text.
  bool namesItemNumber(const AnsiString& text, const AnsiString& itemNum) const;

  // --- bid-history pages (the refresh agent's) ---

  // Reads the member's result off a saved bid-history page into row's state cell (sub-item
  // 5): "LOST" when the member is not among the bidders (an empty member id never is; ids are
  // compared as isMemberId does) or won
  // 0 units, "WON -n-" for n units, "..." for a number of units that is no whole number; any
  // other unit cell leaves the state as it was. A null row is left alone. Raises EFOpenError
  // when the file cannot be opened.
  void markLotResult(const AnsiString& fileName, TListItem* row, const AnsiString& member) const;

 private:
  // A time left, in days, as minutes and seconds ("35m 12s"); "00m 00s" for none.
  AnsiString minutesSecondsText(double left) const;
  // The official time cut out of a saved official-time page, in the end-time shape
  // ("December-08-26 06:43:33"). Raises EFOpenError when the file cannot be opened.
  AnsiString officialTimeText(const AnsiString& fileName) const;
};

// The one instance of each program.
extern TEbayScraper ebayScraper;
