#pragma once
// TCppWebBrowser: the embedded browser the programs load their pages in.
//
// Navigate takes an http:// or https:// URL (loaded through Qt Network, redirects followed),
// "about:blank" (an empty document), a file:// URL or a local path ("\" accepted as a
// separator). Loads are asynchronous: Navigate returns at once and the events come later from
// the event loop, never from inside Navigate. Only the latest load stands: a Navigate while a
// load is pending replaces it, and Stop drops it; a replaced or stopped load fires nothing.
// RequestAgain asks the server for the pending page once more while the request asked for
// first stays on its way, so that a slow answer is not thrown away by asking again: the first
// of the two to bring a reply completes the load (the other is dropped), and the load fails
// only when neither is left on its way.
//
// Each completed load fires OnNavigateComplete2, OnDownloadComplete and OnDocumentComplete,
// in that order, one after another. Before the first one runs, the load's bytes have become
// the document and Busy() is false (unless a handler navigates again). All three events of
// a load fire even when a handler stops the browser or starts a new load meanwhile.
//
// What completes a load: any reply of an HTTP server, whatever its status (an error page is a
// page: its body, possibly empty, becomes the document); a local file that can be read;
// "about:blank". What fails: a refused or broken connection, an unknown host, a missing or
// unreadable file, an unknown scheme, a reply or file longer than MaxDocumentBytes. A failed
// load fires none of the three, keeps the old document and ends Busy; it fires
// OnNavigateError, which says whether the load came to no page or to one longer than a page
// may be.
//
// The document stays that of the last completed load until the next one completes.
// SaveDocument writes its bytes exactly (what the page's persist interface saved). The view
// shows the document; a view that the program has hidden takes it when it is shown again.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "lib/AnsiString.h"
#include "lib/Classes.h"

class QWidget;

using TWebBrowserNavigateEvent = std::function<void(TObject* Sender, const AnsiString& URL)>;
// Why a load failed: nothing came that could be a page (no answer, a broken connection, no
// such file), or what came is longer than MaxDocumentBytes.
enum class TNavigateFailure { NoPage, TooLong };
using TWebBrowserNavigateErrorEvent =
    std::function<void(TObject* Sender, const AnsiString& URL, TNavigateFailure Failure)>;

class TCppWebBrowser : public TComponent {
 public:
  // Longest page a load takes. A real auction page is a small part of it; a longer one is no
  // page these programs can read, and taking it would cost each of them several times its size
  // in memory (the document, its saved copy, the loaded text and the lines made from it). The
  // portal's fetch of the official time holds to the same bound.
  static constexpr qint64 MaxDocumentBytes = 4 * 1024 * 1024;

  TCppWebBrowser(TComponent* owner, QWidget* parentWidget);
  ~TCppWebBrowser() override;

  // The widget that shows the loaded page (read-only), a child of parentWidget.
  QWidget* widget() const;

  void Navigate(const AnsiString& url);
  // Asks for the pending http(s) page on a request of its own, keeping the one asked for first
  // and dropping an earlier re-ask; false, doing nothing, when no such load is pending.
  bool RequestAgain();
  void Stop();
  // True from a Navigate until its load completes, fails or is stopped.
  bool Busy() const;
  // Milliseconds since the pending load last showed that it is on its way: since it was asked
  // for (or asked for again), or one of its requests began to connect, sent its request or
  // received bytes of its reply. -1 while no load is pending.
  qint64 MsSinceProgress() const;

  bool HasDocument() const;
  // The bytes of the last completed load (empty before the first).
  const AnsiString& Document() const;
  // The URL (as navigated) of the last completed load.
  const AnsiString& LocationURL() const;
  // Writes the document's bytes to the file, replacing it whole (through a temporary file
  // renamed over it); false, writing nothing, when there is no document yet, the name is a
  // link or the file cannot be written, with the reason in *error when it is given.
  bool SaveDocument(const AnsiString& fileName, std::string* error = nullptr) const;

  // Events; the URL is the one given to Navigate.
  TWebBrowserNavigateEvent OnNavigateComplete2;
  TNotifyEvent OnDownloadComplete;
  TWebBrowserNavigateEvent OnDocumentComplete;
  // Fired once for a failed load (never for one replaced or stopped), once Busy has ended.
  TWebBrowserNavigateErrorEvent OnNavigateError;
  // Fired whenever bytes of a reply to the pending load arrive (its header, each part of its
  // body): the server is answering. Asking, connecting and sending the request fire nothing.
  TNotifyEvent OnReplyProgress;

 private:
  class Loader;
  // Sends one request of the pending load, whose number is load.
  void Request(const AnsiString& url, std::uint64_t load);
  void Complete(const AnsiString& url, std::string bytes);
  void Fail(const AnsiString& url, TNavigateFailure failure);
  // Puts the document into the view, or, while the program keeps the view hidden, when the
  // view is next shown.
  void showDocument();
  void renderDocument();

  // Brings a hidden view up to date when it is shown (a child of the view).
  class ViewShowing : public QObject {
   public:
    ViewShowing(TCppWebBrowser* browser, QObject* view) : QObject(view), browser_(browser) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    TCppWebBrowser* browser_;
  };

  std::unique_ptr<Loader> loader_;
  QPointer<QWidget> view_;
  bool busy_ = false;
  QElapsedTimer progress_;  // restarted at every sign of the pending load
  bool hasDocument_ = false;
  bool viewStale_ = false;  // the view was hidden when the document came
  AnsiString document_;
  AnsiString location_;
  std::shared_ptr<bool> alive_;
};
