// THtmlSmtpCli: HTML mail. In HTML mode a generator over the body line number writes a
// multipart/related message: the multipart/alternative part (plain text and HTML, both
// quoted-printable), then the inline images, then the attached files. In plain mode the
// plain text follows the message text unencoded, then the attachments as TSmtpCli sends them.
#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"
#include "smtp/SmtpProt.h"
#include "win32/ticks.h"

namespace {

AnsiString quoted(const AnsiString& Text) { return "\"" + Text + "\""; }

// Takes the next line request's worth of a quoted-printable text off its front: whole
// soft-broken lines, at most Limit characters (the sending step doubles the dot that begins
// each of them).
AnsiString takeEncodedLines(AnsiString& Rest, int Limit) {
  const std::string text = Rest.str();
  const auto limit = static_cast<std::size_t>(Limit);
  std::string out;
  std::size_t at = 0;
  for (bool first = true;; first = false) {
    const std::size_t end = std::min(text.find("\r\n", at), text.size());
    std::string line = text.substr(at, end - at);
    if (first && line.size() > limit) {
      // One line longer than a request (only with a tiny limit): cut where it must be.
      out = line.substr(0, limit);
      at += limit;
      break;
    }
    if (!first && out.size() + 2 + line.size() > limit) break;
    if (!first) out += "\r\n";
    out += line;
    at = std::min(end + 2, text.size());
    if (end == text.size()) break;
  }
  Rest = AnsiString(text.substr(at));
  return out;
}

}  // namespace

THtmlSmtpCli::THtmlSmtpCli(TComponent* AOwner)
    : TSmtpCli(AOwner),
      FEmailImages(std::make_unique<TStringList>()),
      FPlainText(std::make_unique<TStringList>()),
      FHtmlText(std::make_unique<TStringList>()) {
  SetContentType(smtpHtml);
}

THtmlSmtpCli::~THtmlSmtpCli() { ClearImageStreamArray(); }

void THtmlSmtpCli::SetEmailImages(const TStringList& Value) { AssignPaths(*FEmailImages, Value); }

void THtmlSmtpCli::SetPlainText(const TStringList* Value) {
  FPlainText->SetText(Value ? Value->Text() : AnsiString());
}

void THtmlSmtpCli::SetHtmlText(const TStringList* Value) {
  FHtmlText->SetText(Value ? Value->Text() : AnsiString());
}

TStream* THtmlSmtpCli::GetImageStream(int Index) const {
  return Index >= 0 && Index < GetImageStreamCount() ? FStreamArray[Index] : nullptr;
}

void THtmlSmtpCli::SetImageStream(int Index, TStream* Stream) {
  if (!Stream || Index < 0) return;
  if (Index >= GetImageStreamCount()) FStreamArray.resize(static_cast<std::size_t>(Index) + 1);
  FStreamArray[Index] = Stream;
}

void THtmlSmtpCli::GenerateBoundaries() {
  char text[64];
  std::snprintf(text, sizeof text, "----=_NextPart_000_%08X", GetTickCount());
  const AnsiString prefix = text;
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(SmtpRandom(2147483647)));
  FOutsideBoundary = prefix + "_0." + text;
  FInsideBoundary = prefix + "_1." + text;
}

void THtmlSmtpCli::PrepareEMail() {
  if (GetContentType() == smtpPlainText) {
    TSmtpCli::PrepareEMail();
    FPlainIndex = 0;
    FPlainAt = 0;
    return;
  }
  // The main header must not take the boundary of an earlier message with attachments.
  ClearBoundary();
  CloseFileStream();
  FMimeState = smtpMimeIntro;
  FCarry = "";
  // Made here, not with the header: under OwnHeaders no header is made, and the body needs
  // them all the same.
  GenerateBoundaries();
}

void THtmlSmtpCli::CheckMessageValues() {
  TSmtpCli::CheckMessageValues();
  for (int i = 0; i < EmailImages()->Count(); ++i)
    RefuseLineBreaks(ExtractFileName(EmailImages()->Strings(i)), "EmailImages");
}

void THtmlSmtpCli::TriggerProcessHeader(TStringList* HdrLines) {
  if (GetContentType() != smtpPlainText) {
    for (int i = 0; i < HdrLines->Count(); ++i) {
      if (strncasecmp(HdrLines->Strings(i).c_str(), "Content-Type:", 13) != 0) continue;
      HdrLines->SetStrings(
          i, "Content-Type: multipart/related; type=" + quoted("multipart/alternative") +
                 "; boundary=" + quoted(FOutsideBoundary));
      break;
    }
  }
  TSmtpCli::TriggerProcessHeader(HdrLines);
}

void THtmlSmtpCli::TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) {
  if (GetContentType() == smtpPlainText) {
    plainTextGetData(LineNum, MsgLine, MaxLen, More);
    return;
  }
  AnsiString line;
  More = true;
  if (!htmlLine(LineNum, line, MaxLen, More)) {
    CopyLine(MsgLine, MaxLen, "");
    return;
  }
  CopyLine(MsgLine, MaxLen, line);
  // The user may still change every line, the last one included.
  if (OnGetData) OnGetData(this, LineNum, MsgLine, MaxLen, More);
}

void THtmlSmtpCli::plainTextGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) {
  if (TakeQueuedLine(MsgLine, MaxLen)) {
    More = true;
    return;
  }
  if (FBodyFlag && FPlainIndex < PlainText()->Count()) {
    // Unencoded; a line too long for one request goes on in the next ones.
    const AnsiString& text = PlainText()->Strings(FPlainIndex);
    const int piece = MaxLen - 1;
    CopyLine(MsgLine, piece, text.SubString(FPlainAt + 1, piece));
    FPlainAt += piece;
    if (FPlainAt >= text.Length()) {
      ++FPlainIndex;
      FPlainAt = 0;
    }
    More = true;
    return;
  }
  FBodyFlag = false;
  TSmtpCli::TriggerGetData(LineNum, MsgLine, MaxLen, More);
}

// A text line of the alternative part, quoted-printable, soft-broken past 76 characters; what
// does not fit this request waits in FCarry for the next ones.
AnsiString THtmlSmtpCli::textLine(const AnsiString& Text, int MaxLen) {
  AnsiString encoded = EncodeQuotedPrintable(Text);
  if (encoded.Length() > 76) encoded = SplitQuotedPrintableString(encoded);
  FCarry = encoded;
  return takeEncodedLines(FCarry, MaxLen - 1);
}

bool THtmlSmtpCli::htmlLine(int LineNum, AnsiString& Line, int MaxLen, bool& More) {
  if (!FCarry.IsEmpty()) {
    // The rest of the last text line; the section's lines wait one line number more.
    Line = takeEncodedLines(FCarry, MaxLen - 1);
    ++FLineOffset;
    return true;
  }
  for (;;) {
    const int k = LineNum - FLineOffset;
    switch (FMimeState) {
      case smtpMimeIntro:
        if (introLine(LineNum, Line)) return true;
        continue;
      case smtpMimePlainText:
        if (plainTextLine(LineNum, k, Line, MaxLen)) return true;
        continue;
      case smtpMimeHtmlText:
        if (htmlTextLine(LineNum, k, Line, MaxLen)) return true;
        continue;
      case smtpMimeImages:
        if (FImageNumber <= EmailImages()->Count() + EmailFiles()->Count())
          return partLine(LineNum, k, Line, More);
        if (k == 1) {
          Line = "--" + FOutsideBoundary + "--";
          return true;
        }
        FMimeState = smtpMimeDone;
        continue;
      case smtpMimeDone:
        Line = "";
        More = false;
        return true;
    }
  }
}

// The preamble and the headers of the alternative part and of its plain text.
bool THtmlSmtpCli::introLine(int LineNum, AnsiString& Line) {
  switch (LineNum) {
    case 1:
      Line = "This is a multipart MIME formatted message.";
      return true;
    case 3:
      Line = "--" + FOutsideBoundary;
      return true;
    case 4:
      Line = "Content-Type: multipart/alternative; boundary=" + quoted(FInsideBoundary);
      return true;
    case 6:
      Line = "--" + FInsideBoundary;
      return true;
    case 7:
      Line = "Content-Type: text/plain; charset=" + quoted(CharSet);
      return true;
    case 8:
      Line = "Content-Transfer-Encoding: quoted-printable";
      return true;
    case 2:
    case 5:
    case 9:
      Line = "";
      return true;
    default:
      FMimeState = smtpMimePlainText;
      FLineOffset = 9;
      return false;
  }
}

// The plain text, then the headers of the HTML text.
bool THtmlSmtpCli::plainTextLine(int LineNum, int K, AnsiString& Line, int MaxLen) {
  const int n = PlainText()->Count();
  if (K <= n) {
    Line = textLine(PlainText()->Strings(K - 1), MaxLen);
  } else if (K == n + 1 || K == n + 5) {
    Line = "";
  } else if (K == n + 2) {
    Line = "--" + FInsideBoundary;
  } else if (K == n + 3) {
    Line = "Content-Type: text/html; charset=" + quoted(FHtmlCharSet);
  } else if (K == n + 4) {
    Line = "Content-Transfer-Encoding: quoted-printable";
  } else {
    FMimeState = smtpMimeHtmlText;
    FLineOffset = LineNum - 1;
    return false;
  }
  return true;
}

// The HTML text, then the end of the alternative part.
bool THtmlSmtpCli::htmlTextLine(int LineNum, int K, AnsiString& Line, int MaxLen) {
  const int m = HtmlText()->Count();
  if (K <= m) {
    Line = textLine(HtmlText()->Strings(K - 1), MaxLen);
  } else if (K == m + 1 || K == m + 3) {
    Line = "";
  } else if (K == m + 2) {
    Line = "--" + FInsideBoundary + "--";
  } else {
    FMimeState = smtpMimeImages;
    FImageNumber = 1;
    FLineOffset = LineNum - 1;
    return false;
  }
  return true;
}

// Line K of part FImageNumber: the images first, then the files.
bool THtmlSmtpCli::partLine(int LineNum, int K, AnsiString& Line, bool& More) {
  const int images = EmailImages()->Count();
  const bool image = FImageNumber <= images;
  const AnsiString path = image ? EmailImages()->Strings(FImageNumber - 1)
                                : EmailFiles()->Strings(FImageNumber - images - 1);
  switch (K) {
    case 1:
      Line = "--" + FOutsideBoundary;
      return true;
    case 2:
      NamePart(FImageNumber, path, FFileName, FContentType);
      Line = "Content-Type: " + FContentType + ";\r\n\tname=" + quoted(FFileName);
      return true;
    case 3:
      Line = "Content-Transfer-Encoding: base64";
      return true;
    case 4:
      Line =
          AnsiString(image ? "Content-Disposition: inline;" : "Content-Disposition: attachment;") +
          "\r\n\tfilename=" + quoted(FFileName);
      return true;
    case 5:
      Line = image ? "Content-ID: <IMAGE" + IntToStr(FImageNumber) + ">"
                   : "X-File-ID: <FILE" + IntToStr(FImageNumber - images) + ">";
      TriggerAttachHeader(FImageNumber, FFileName, nullptr);
      return true;
    case 6:
      Line = "";
      switch (OpenAttachment(FImageNumber, path)) {
        case FileOpening::Opened:
          return true;
        case FileOpening::Next:
          return false;  // the part stays empty: the next line closes it
        case FileOpening::Retry:
          ++FLineOffset;  // the next line opens the same file again
          return false;
        case FileOpening::Aborted:
          More = false;
          return false;
      }
      return false;
    default:
      if (FFileStream) {
        bool fileHasMore = false;
        Line = DoFileEncBase64(FFileStream, fileHasMore);
        if (!fileHasMore) CloseFileStream();
        return true;
      }
      Line = "";
      FLineOffset = LineNum;
      ++FImageNumber;
      return true;
  }
}
