// TSmtpCli: the message text, the lines of OnGetData and the files of EmailFiles as base64
// attachments of a multipart/mixed message, one line per line request.
#include <strings.h>
#include <algorithm>
#include <cstring>

#include "lib/DateTime.h"
#include "lib/SysUtils.h"
#include "netcomp/Mimeutil.h"
#include "smtp/SmtpProt.h"

namespace {

// The longest line the queue hands out (the core's line buffer less its zero).
constexpr int kQueuedLineMax = kSmtpLineBufSize - 1;

}  // namespace

void TSmtpCli::CopyLine(char* MsgLine, int MaxLen, const AnsiString& Line) {
  const int length = std::min({Line.Length(), MaxLen, kQueuedLineMax});
  std::memcpy(MsgLine, Line.c_str(), static_cast<std::size_t>(length));
  MsgLine[length] = '\0';
}

TSmtpCli::TSmtpCli(TComponent* AOwner)
    : TCustomSmtpClient(AOwner), FEmailFiles(std::make_unique<TStringList>()) {}

TSmtpCli::~TSmtpCli() = default;

void TSmtpCli::AssignPaths(TStringList& List, const TStringList& Value) {
  List.Clear();
  for (int i = 0; i < Value.Count(); ++i) {
    const AnsiString path = Value.Strings(i).Trim();
    if (path.IsEmpty()) continue;
    if (!FileExists(path)) throw SmtpException("File not found '" + path + "'");
    List.Add(path);
  }
}

void TSmtpCli::SetEmailFiles(const TStringList& Value) { AssignPaths(*FEmailFiles, Value); }

void TSmtpCli::TriggerAttachContentType(int FileNumber, AnsiString& FileName,
                                        AnsiString& ContentType) {
  if (OnAttachContentType) OnAttachContentType(this, FileNumber, FileName, ContentType);
}

void TSmtpCli::TriggerAttachHeader(int FileNumber, const AnsiString& FileName,
                                   TStringList* HdrLines) {
  if (OnAttachHeader) OnAttachHeader(this, FileNumber, FileName, HdrLines);
}

void TSmtpCli::CheckMessageValues() {
  TCustomSmtpClient::CheckMessageValues();
  for (int i = 0; i < FEmailFiles->Count(); ++i)
    RefuseLineBreaks(ExtractFileName(FEmailFiles->Strings(i)), "EmailFiles");
}

void TSmtpCli::NamePart(int FileNumber, const AnsiString& Path, AnsiString& FileName,
                        AnsiString& ContentType) {
  FileName = ExtractFileName(Path);
  ContentType = FilenameToContentType(FileName);
  TriggerAttachContentType(FileNumber, FileName, ContentType);
  RefuseLineBreaks(FileName, "FileName");
  RefuseLineBreaks(ContentType, "ContentType");
}

void TSmtpCli::Data() {
  PrepareEMail();
  TCustomSmtpClient::Data();
}

void TSmtpCli::queueText(const AnsiString& Line) {
  // A line longer than a line request goes out as several lines rather than cut.
  int at = 1;
  do {
    FLines.Add(Line.SubString(at, kQueuedLineMax));
    at += kQueuedLineMax;
  } while (at <= Line.Length());
}

void TSmtpCli::PrepareEMail() {
  FBodyFlag = true;
  FFileIndex = 0;
  FBodyLineCount = 0;
  FEncoding = false;
  CloseFileStream();
  FLines.Clear();
  FLinesSent = 0;
  if (FEmailFiles->Count() > 0) {
    FBoundary = "= Multipart Boundary " + FormatDateTime("mmddyyhhnn", Now());
    FLines.Add("This is a multipart MIME message.");
    FLines.Add("");
    FLines.Add("--" + FBoundary);
    FLines.Add("Content-Type: " + ContentTypeText() + "; charset=\"" + CharSet + "\"");
    FLines.Add("Content-Transfer-Encoding: 7bit");
    FLines.Add("");
  } else {
    FBoundary = "";
  }
  for (int i = 0; i < MailMessage()->Count(); ++i) queueText(MailMessage()->Strings(i));
}

void TSmtpCli::TriggerHeaderLine(char* Line, int Size) {
  if (!FBoundary.IsEmpty() && strncasecmp(Line, "Content-Type:", 13) == 0) {
    const AnsiString folded = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + FBoundary + "\"";
    std::snprintf(Line, static_cast<std::size_t>(Size), "%s", folded.c_str());
  }
  TCustomSmtpClient::TriggerHeaderLine(Line, Size);
}

bool TSmtpCli::TakeQueuedLine(char* MsgLine, int MaxLen) {
  if (FLinesSent >= FLines.Count()) return false;
  CopyLine(MsgLine, MaxLen, FLines.Strings(FLinesSent++));
  // The lines are taken from the front by a count, not deleted one by one (a long message
  // would be moved up once per line); the queue is emptied when its last line is taken.
  if (FLinesSent == FLines.Count()) {
    FLines.Clear();
    FLinesSent = 0;
  }
  return true;
}

TSmtpCli::FileOpening TSmtpCli::OpenAttachment(int Idx, const AnsiString& FileName) {
  TSmtpBeforeOpenFileAction before = smtpBeforeOpenFileNone;
  if (OnBeforeFileOpen) OnBeforeFileOpen(this, Idx, FileName, before);
  if (before == smtpBeforeOpenFileNext) return FileOpening::Next;
  if (before == smtpBeforeOpenFileAbort) {
    Abort();
    return FileOpening::Aborted;
  }
  TSmtpAfterOpenFileAction after = smtpAfterOpenFileNone;
  try {
    FFileStream = InitFileEncBase64(FileName, ShareFlags());
  } catch (const Exception& E) {
    if (!OnAfterFileOpen) throw;
    OnAfterFileOpen(this, Idx, FileName, &E, after);
    switch (after) {
      case smtpAfterOpenFileNext:
        return FileOpening::Next;
      case smtpAfterOpenFileRetry:
        return FileOpening::Retry;
      case smtpAfterOpenFileAbort:
        Abort();
        return FileOpening::Aborted;
      default:
        throw;
    }
  }
  if (OnAfterFileOpen) OnAfterFileOpen(this, Idx, FileName, nullptr, after);
  if (after == smtpAfterOpenFileNone) return FileOpening::Opened;
  CloseFileStream();
  switch (after) {
    case smtpAfterOpenFileNext:
      return FileOpening::Next;
    case smtpAfterOpenFileRetry:
      return FileOpening::Retry;
    default:
      Abort();
      return FileOpening::Aborted;
  }
}

void TSmtpCli::nextFile() {
  ++FFileIndex;
  if (FFileIndex < FEmailFiles->Count()) return;
  FLines.Add("");
  FLines.Add("--" + FBoundary + "--");
}

// Opens the next file and queues its part header; this call sends an empty line.
void TSmtpCli::startFile(char* MsgLine, bool& More) {
  MsgLine[0] = '\0';
  More = true;
  const AnsiString path = FEmailFiles->Strings(FFileIndex);
  switch (OpenAttachment(FFileIndex, path)) {
    case FileOpening::Next:
      nextFile();
      return;
    case FileOpening::Retry:
      return;
    case FileOpening::Aborted:
      More = false;
      return;
    case FileOpening::Opened:
      break;
  }
  AnsiString shortName, contentType;
  NamePart(FFileIndex, path, shortName, contentType);
  FLines.Add("--" + FBoundary);
  FLines.Add("Content-Type: " + contentType + ";");
  FLines.Add("\tname=\"" + shortName + "\"");
  FLines.Add("Content-Transfer-Encoding: base64");
  FLines.Add("Content-Disposition: attachment;");
  FLines.Add("\tfilename=\"" + shortName + "\"");
  TriggerAttachHeader(FFileIndex, shortName, &FLines);
  FLines.Add("");
  FEncoding = true;
}

void TSmtpCli::TriggerGetData(int LineNum, char* MsgLine, int MaxLen, bool& More) {
  (void)LineNum;  // the body lines are counted apart from the queued ones
  if (TakeQueuedLine(MsgLine, MaxLen)) {
    More = true;
    return;
  }
  if (FBodyFlag) {
    ++FBodyLineCount;
    TCustomSmtpClient::TriggerGetData(FBodyLineCount, MsgLine, MaxLen, More);
    if (More) return;
    FBodyFlag = false;
    if (!FConnected) return;  // the handler aborted the session: no file is opened after it
  }
  if (FEncoding) {
    bool fileHasMore = false;
    CopyLine(MsgLine, MaxLen, DoFileEncBase64(FFileStream, fileHasMore));
    if (!fileHasMore) {
      CloseFileStream();
      FEncoding = false;
      nextFile();
    }
    More = true;  // the file's last line goes out too
    return;
  }
  if (FFileIndex < FEmailFiles->Count()) {
    startFile(MsgLine, More);
    return;
  }
  More = false;
}
