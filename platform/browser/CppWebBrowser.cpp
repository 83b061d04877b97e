#include "browser/CppWebBrowser.h"

#include <sys/stat.h>
#include <QEvent>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "win32/replace_file.h"

namespace {

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

bool IsHttpUrl(const std::string& url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

// The local file a file:// URL or a path names ("\" taken as "/").
QString LocalPathOf(const std::string& url) {
  if (StartsWithNoCase(url, "file:")) return QUrl(AnsiString(url).toQString()).toLocalFile();
  std::string path = url;
  std::replace(path.begin(), path.end(), '\\', '/');
  return AnsiString(path).toQString();
}

// Longest run of shown text without a blank that the view breaks at word boundaries; a longer
// one is no text a page means to show as words (real words are a few dozen characters at most).
constexpr qsizetype kLongestWordWrappedRun = 4096;

// Counted in the text the view shows, where only a blank, a tab or a line's end lets a line
// break (a no-break space does not); the page's source may hold blanks inside its tags that
// break nothing.
qsizetype LongestRunWithoutBlank(const QString& shown) {
  qsizetype longest = 0;
  qsizetype run = 0;
  for (const QChar c : shown) {
    const bool blank = c == u' ' || c == u'\t' || c == u'\n' || c == QChar::LineSeparator ||
                       c == QChar::ParagraphSeparator;
    run = blank ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

// The pending load: the network access, its requests in flight and the number of the latest
// load. A callback whose number is no longer the latest belongs to a replaced or stopped load
// and is dropped.
class TCppWebBrowser::Loader {
 public:
  QNetworkAccessManager network;
  QObject context;  // receiver of the pending load's callbacks; dropped first on destruction
  // The pending load's requests still on their way, the one asked for first in front; at most
  // that one and the latest asked for again.
  std::vector<QPointer<QNetworkReply>> replies;
  AnsiString url;  // the pending load's URL
  std::uint64_t latest = 0;

  // Forgets the pending load, if any; its callbacks will find themselves outdated.
  std::uint64_t Restart() {
    while (!replies.empty()) Drop(replies.size() - 1);
    return ++latest;
  }
  // Gives up one request of the pending load; its callbacks fire no more.
  void Drop(std::size_t index) {
    if (QNetworkReply* reply = replies[index]) {
      QObject::disconnect(reply, nullptr, &context, nullptr);
      reply->abort();
      reply->deleteLater();
    }
    replies.erase(replies.begin() + static_cast<std::ptrdiff_t>(index));
  }
  // Takes a request that has ended out of the pending load; false when it was not in it.
  bool Forget(QNetworkReply* reply) {
    const auto found = std::find(replies.begin(), replies.end(), reply);
    if (found == replies.end()) return false;
    replies.erase(found);
    return true;
  }
};

TCppWebBrowser::TCppWebBrowser(TComponent* owner, QWidget* parentWidget)
    : TComponent(owner), loader_(std::make_unique<Loader>()), alive_(std::make_shared<bool>(true)) {
  auto* view = new QTextEdit(parentWidget);
  view->setReadOnly(true);
  view->installEventFilter(new ViewShowing(this, view));
  view_ = view;
}

TCppWebBrowser::~TCppWebBrowser() {
  loader_->Restart();
  loader_.reset();
  alive_.reset();
  delete view_.data();
}

QWidget* TCppWebBrowser::widget() const { return view_.data(); }

void TCppWebBrowser::Navigate(const AnsiString& url) {
  std::uint64_t request = loader_->Restart();
  busy_ = true;
  progress_.start();
  loader_->url = url;
  const std::string& text = url.str();
  auto current = [this, request] { return loader_ && loader_->latest == request; };
  if (IsHttpUrl(text)) {
    Request(url, request);
    return;
  }
  // Local loads complete from the event loop too, never inside Navigate.
  QTimer::singleShot(0, &loader_->context, [this, url, current] {
    if (!current()) return;
    const std::string& text = url.str();
    if (StartsWithNoCase(text, "about:")) {
      if (StartsWithNoCase(text, "about:blank") && text.size() == 11)
        Complete(url, std::string());
      else
        Fail(url, TNavigateFailure::NoPage);
      return;
    }
    QFile file(LocalPathOf(text));
    if (!file.open(QIODevice::ReadOnly)) {
      Fail(url, TNavigateFailure::NoPage);
      return;
    }
    // One byte more than a page may have tells a longer file (or one without end) from a page.
    QByteArray bytes = file.read(MaxDocumentBytes + 1);
    if (file.error() != QFileDevice::NoError) {
      Fail(url, TNavigateFailure::NoPage);
      return;
    }
    if (bytes.size() > MaxDocumentBytes) {
      Fail(url, TNavigateFailure::TooLong);
      return;
    }
    Complete(url, bytes.toStdString());
  });
}

// One request of the pending load (number load) to the server.
void TCppWebBrowser::Request(const AnsiString& url, std::uint64_t load) {
  auto current = [this, load] { return loader_ && loader_->latest == load; };
  QNetworkRequest httpRequest(QUrl(url.toQString(), QUrl::TolerantMode));
  httpRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::NoLessSafeRedirectPolicy);
  QNetworkReply* reply = loader_->network.get(httpRequest);
  loader_->replies.emplace_back(reply);
  // Every step of the exchange shows the load on its way: a slow server that keeps to it is
  // waited for, one that stops is not.
  const auto moved = [this, current] {
    if (current()) progress_.start();
  };
  // Bytes of a reply are the server answering.
  const auto answered = [this, current] {
    if (!current()) return;
    progress_.start();
    if (auto progressed = OnReplyProgress) progressed(this);
  };
  QObject::connect(reply, &QNetworkReply::socketStartedConnecting, &loader_->context, moved);
  QObject::connect(reply, &QNetworkReply::requestSent, &loader_->context, moved);
  QObject::connect(reply, &QNetworkReply::metaDataChanged, &loader_->context, answered);
  // A reply that says or shows it is longer than a page may be is given up at once, before
  // it fills the memory.
  QObject::connect(reply, &QNetworkReply::downloadProgress, &loader_->context,
                   [this, url, current, answered](qint64 received, qint64 total) {
                     if (!current()) return;
                     if (received > MaxDocumentBytes || total > MaxDocumentBytes)
                       Fail(url, TNavigateFailure::TooLong);
                     else
                       answered();
                   });
  QObject::connect(reply, &QNetworkReply::finished, &loader_->context, [this, reply, url, current] {
    reply->deleteLater();
    if (!current() || !loader_->Forget(reply)) return;
    // A server that answered gave a page, whatever its status. No answer on
    // this request fails the load only when no other one is on its way.
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) {
      if (loader_->replies.empty()) Fail(url, TNavigateFailure::NoPage);
    } else if (reply->bytesAvailable() > MaxDocumentBytes) {
      Fail(url, TNavigateFailure::TooLong);
    } else {
      std::string bytes = reply->readAll().toStdString();
      loader_->Restart();  // the other request, if any, is not needed now
      Complete(url, std::move(bytes));
    }
  });
}

bool TCppWebBrowser::RequestAgain() {
  if (!busy_ || loader_->replies.empty()) return false;
  while (loader_->replies.size() > 1) loader_->Drop(loader_->replies.size() - 1);
  progress_.start();
  Request(loader_->url, loader_->latest);
  return true;
}

void TCppWebBrowser::Stop() {
  loader_->Restart();
  busy_ = false;
}

bool TCppWebBrowser::Busy() const { return busy_; }

qint64 TCppWebBrowser::MsSinceProgress() const { return busy_ ? progress_.elapsed() : -1; }

bool TCppWebBrowser::HasDocument() const { return hasDocument_; }

const AnsiString& TCppWebBrowser::Document() const { return document_; }

const AnsiString& TCppWebBrowser::LocationURL() const { return location_; }

// The document is written to a temporary file beside the name and renamed over it, so a reader
// (the other program, a copy being taken) finds the old file or the whole new one, never a part.
// A link under the name is not written through (the save fails), so a page never lands in a
// file elsewhere that a link names.
bool TCppWebBrowser::SaveDocument(const AnsiString& fileName, std::string* error) const {
  const auto fail = [error](std::string reason) {
    if (error) *error = std::move(reason);
    return false;
  };
  if (!hasDocument_) return fail("No page has been loaded to save as " + fileName.str());
  struct stat status {};
  if (lstat(fileName.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
    return fail("Cannot write " + fileName.str() + ": it is a link");
  // Not flushed to the disk: a saved page can be loaded again.
  FileReplacement save(fileName.str(), -1, false);
  if (save.Write(
          std::string_view(document_.c_str(), static_cast<std::size_t>(document_.Length()))) &&
      save.Commit())
    return true;
  return fail(save.Error());
}

void TCppWebBrowser::Complete(const AnsiString& url, std::string bytes) {
  busy_ = false;
  hasDocument_ = true;
  document_ = AnsiString(std::move(bytes));
  location_ = url;
  showDocument();
  // The three events of the load, each from a copy (a handler may replace them) and only while
  // the browser still exists (a handler may free it).
  std::weak_ptr<bool> alive = alive_;
  if (auto navigated = OnNavigateComplete2) navigated(this, url);
  if (alive.expired()) return;
  if (auto downloaded = OnDownloadComplete) downloaded(this);
  if (alive.expired()) return;
  if (auto completed = OnDocumentComplete) completed(this, url);
}

void TCppWebBrowser::Fail(const AnsiString& url, TNavigateFailure failure) {
  loader_->Restart();
  busy_ = false;
  // From a copy: a handler may replace the event, navigate again or free the browser.
  if (auto failed = OnNavigateError) failed(this, url, failure);
}

// A view that the program has hidden shows nothing: it takes the page when it is shown again,
// so a browser kept out of sight lays out none of the pages it loads.
void TCppWebBrowser::showDocument() {
  const QWidget* view = view_.data();
  viewStale_ = view && view->isHidden() && view->testAttribute(Qt::WA_WState_ExplicitShowHide);
  if (!viewStale_) renderDocument();
}

void TCppWebBrowser::renderDocument() {
  viewStale_ = false;
  auto* view = qobject_cast<QTextEdit*>(view_.data());
  if (view == nullptr) return;
  // Laying out a run of text without a blank to break it at costs the square of its length (a
  // run of a megabyte holds the window for minutes): a page with one is broken anywhere. The
  // page is laid out broken anywhere first, which costs no more than its length, and again at
  // word boundaries when its shown text has no such run. The old page goes first, so that a
  // change of the mode lays out nothing of it again.
  view->clear();
  view->setWordWrapMode(QTextOption::WrapAnywhere);
  view->setHtml(document_.toQString());
  if (LongestRunWithoutBlank(view->document()->toRawText()) <= kLongestWordWrappedRun)
    view->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

bool TCppWebBrowser::ViewShowing::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && browser_->viewStale_) browser_->renderDocument();
  return QObject::eventFilter(watched, event);
}
