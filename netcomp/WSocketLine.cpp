// TCustomLineWSocket: line mode, echo and line editing over the SOCKS layer.
//
// The receive buffer holds, from its front, the unread part of the line on offer (when there
// is one) and directly behind it the bytes that followed; reading cuts from the front, so the
// buffer stays in that shape whatever the data handler does (read in pieces, switch line mode
// off, close the socket). A data handler that is offered bytes and reads none of them ends the
// offer instead of being offered the same bytes for ever; the bytes stay buffered and are
// offered again with the next arrival or re-delivery.
#include <algorithm>
#include <cstring>
#include <string>

#include "netcomp/WSocket.h"

TCustomLineWSocket::TCustomLineWSocket(TComponent* AOwner) : TCustomSocksWSocket(AOwner) {
  LineEnd = "\r\n";
  FLineMode = false;
  LineLimit = 65536;
}

void TCustomLineWSocket::SetLineMode(bool Value) {
  if (FLineMode == Value) return;
  FLineMode = Value;
  if (Value) FRescan = true;  // what was buffered meanwhile has not been searched
  // Offer the buffered data again in the new mode, outside the handler that changed it.
  if (FRcvdCnt > 0 || FLineLength > 0) PostMessageA(FWindowHandle, WM_TRIGGER_DATA_AVAILABLE, 0, 0);
}

void TCustomLineWSocket::WndProc(TMessage& MsgRec) {
  if (MsgRec.Msg != WM_TRIGGER_DATA_AVAILABLE) {
    TCustomSocksWSocket::WndProc(MsgRec);
    return;
  }
  try {
    WMTriggerDataAvailable(MsgRec);
  } catch (Exception& E) {
    HandleBackGroundException(E);
  }
}

int TCustomLineWSocket::SendLine(const AnsiString& Str) {
  if (Str.IsEmpty()) return 0;
  if (LineEnd.IsEmpty()) {
    SendStr(Str);  // nothing would push the queued text out otherwise
  } else {
    PutDataInSendBuffer(Str.c_str(), Str.Length());
    SendStr(LineEnd);
  }
  return Str.Length() + 2;
}

int TCustomLineWSocket::GetRcvdCount() {
  if (FLineMode) return FLineLength;
  return TCustomSocksWSocket::GetRcvdCount();
}

// Copies up to BufferSize of the first `available` buffered bytes and, unless peeking, cuts
// them from the front (the terminating zero byte moves along).
int TCustomLineWSocket::takeFront(void* Buffer, int BufferSize, int available, bool peek) {
  int count = std::min(std::max(BufferSize, 0), available);
  if (count <= 0) return 0;
  char* front = FRcvdBuf.data();
  if (Buffer) std::memcpy(Buffer, front, static_cast<std::size_t>(count));
  if (peek) return count;
  std::memmove(front, front + count, static_cast<std::size_t>(FRcvdCnt - count + 1));
  FRcvdCnt -= count;
  if (FLineLength > 0) FLineLength = std::max(0, FLineLength - count);
  return count;
}

int TCustomLineWSocket::DoRecv(void* Buffer, int BufferSize, int Flags) {
  bool peek = (Flags & MSG_PEEK) != 0;
  if (FLineMode && FLineLength > 0) return takeFront(Buffer, BufferSize, FLineLength, peek);
  if (FLineMode || FRcvdCnt <= 0) return TCustomSocksWSocket::DoRecv(Buffer, BufferSize, Flags);
  return takeFront(Buffer, BufferSize, FRcvdCnt, peek);
}

// Reads new bytes from the SOCKS layer (never from this layer's own buffer), counted as
// Receive counts them.
int TCustomLineWSocket::receiveArrival(char* Buffer, int Count) {
  int result = TCustomSocksWSocket::DoRecv(Buffer, Count, 0);
  if (result < 0)
    FLastError = WSockCall::WSAGetLastError();
  else
    FReadCount += result;
  return result;
}

bool TCustomLineWSocket::TriggerDataAvailable(WORD ErrCode) {
  if (!FLineMode || LineEnd.IsEmpty() || FSocksState != socksData)
    return TCustomSocksWSocket::TriggerDataAvailable(ErrCode);
  int n = TCustomSocksWSocket::GetRcvdCount();
  if (n < 0) return true;
  if (n == 0) n = 255;
  if (FRcvdCnt + n + 1 > static_cast<int>(FRcvdBuf.size()))
    FRcvdBuf.resize(static_cast<std::size_t>(FRcvdCnt + n + 1));
  int len = receiveArrival(FRcvdBuf.data() + FRcvdCnt, n);
  if (len <= 0) {
    if (FRcvdCnt == 0) return true;
    len = 0;
  }
  if (LineEdit)
    EditLine(len);
  else if (LineEcho && len > 0)
    Send(FRcvdBuf.data() + FRcvdCnt, len);
  if (FRcvdBuf.empty()) return true;  // the echo met a lost connection
  int searchFrom = std::max(0, FRcvdCnt - LineEnd.Length());
  if (FRescan || FLineLength > 0) searchFrom = 0;
  FRescan = false;
  FRcvdCnt += len;
  FRcvdBuf[static_cast<std::size_t>(FRcvdCnt)] = '\0';
  deliverLines(searchFrom);
  return true;
}

int TCustomLineWSocket::findLineEnd(int from) const {
  const char* text = FRcvdBuf.data();
  const char* end = LineEnd.c_str();
  int length = LineEnd.Length();
  for (int i = std::max(from, 0); i + length <= FRcvdCnt; ++i)
    if (text[i] == end[0] && std::memcmp(text + i, end, static_cast<std::size_t>(length)) == 0)
      return i;
  return -1;
}

void TCustomLineWSocket::deliverLines(int searchFrom) {
  while (FLineMode) {
    int i = findLineEnd(searchFrom);
    if (i < 0) break;
    FLineLength = i + LineEnd.Length();
    FLineReceivedFlag = true;
    FLineFound = true;
    while (FLineMode && FLineLength > 0) {
      int before = FLineLength;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) {
        takeFront(nullptr, FLineLength, FLineLength, false);  // nobody wants the line
        break;
      }
      if (FRcvdBuf.empty()) return;                    // the handler closed the session
      if (FLineMode && FLineLength == before) return;  // read nothing: the line stays on offer
    }
    // Line mode switched off: the unread rest of the line and what followed are plain data.
    FLineLength = 0;
    searchFrom = 0;
    while (!FLineMode && FRcvdCnt > 0) {
      int before = FRcvdCnt;
      if (!TCustomSocksWSocket::TriggerDataAvailable(0)) break;
      if (FRcvdBuf.empty()) return;
      if (FRcvdCnt == before) break;
    }
    if (!FLineMode) FRescan = true;
  }
  if (FLineMode && LineLimit > 0 && FRcvdCnt > LineLimit) {
    FLineClearData = true;
    TriggerLineLimitExceeded(FRcvdCnt, FLineClearData);
    if (FLineClearData && !FRcvdBuf.empty()) {
      FRcvdCnt = 0;
      FLineLength = 0;
      FRcvdBuf[0] = '\0';
    }
    FLineClearData = false;
  }
}

void TCustomLineWSocket::TriggerLineLimitExceeded(int Cnt, bool& ClearData) {
  if (OnLineLimitExceeded) OnLineLimitExceeded(this, Cnt, ClearData);
}

// Backspace and tab editing of the Len new bytes behind the buffered ones, with echo. When
// anything was edited, the count is left at the lowest position editing touched and Len
// covers the rest, so that the caller's search restarts there.
void TCustomLineWSocket::EditLine(int& Len) {
  const int oldCount = FRcvdCnt;
  // A failed echo may end the session and free the buffer, so the new bytes are kept apart.
  const std::string arrived(FRcvdBuf.data() + oldCount, static_cast<std::size_t>(Len));
  int lowest = oldCount;
  bool edited = false;
  std::string copy;  // the edited text from the buffer's front, made at the first edit
  auto echo = [this](const char* bytes, int count) {
    if (LineEcho) Send(bytes, count);
  };
  for (int i = 0; i < Len; ++i) {
    char c = arrived[i];
    if ((c == '\b' || c == '\t') && !edited) {
      copy.assign(FRcvdBuf.data(), static_cast<std::size_t>(oldCount + i));
      edited = true;
    }
    if (c == '\b') {
      if (!copy.empty()) {
        echo("\b \b", 3);
        copy.pop_back();
        lowest = std::min(lowest, static_cast<int>(copy.size()));
      }
    } else if (c == '\t') {
      do {
        copy += ' ';
        echo(" ", 1);
      } while (copy.size() % 8 != 0);
    } else {
      echo(&c, 1);
      if (edited) copy += c;
    }
  }
  if (FRcvdBuf.empty()) {
    Len = 0;
    return;
  }
  if (!edited) return;
  int w = static_cast<int>(copy.size());
  if (static_cast<int>(FRcvdBuf.size()) <= w) FRcvdBuf.resize(static_cast<std::size_t>(w + 1));
  std::memcpy(FRcvdBuf.data(), copy.data(), static_cast<std::size_t>(w));
  FRcvdBuf[static_cast<std::size_t>(w)] = '\0';
  FRcvdCnt = lowest;
  Len = w - lowest;
}

void TCustomLineWSocket::WMTriggerDataAvailable(TMessage&) {
  int passes = 0;
  while (FRcvdCnt > 0) {
    FLineFound = false;
    int countBefore = FRcvdCnt;
    int lineBefore = FLineLength;
    TriggerDataAvailable(0);
    ++passes;
    if (FRcvdCnt == 0) break;
    if (FLineMode && passes > 3 && !FLineFound) break;
    if (FRcvdCnt == countBefore && FLineLength == lineBefore) break;  // nothing was taken
  }
}

void TCustomLineWSocket::OfferBufferedLines() {
  FRescan = true;
  TriggerDataAvailable(0);
}

AnsiString TCustomLineWSocket::TakeBuffered() {
  if (FRcvdCnt <= 0) return AnsiString();
  AnsiString rest(FRcvdBuf.data(), FRcvdCnt);
  FRcvdCnt = 0;
  FLineLength = 0;
  if (!FRcvdBuf.empty()) FRcvdBuf[0] = '\0';
  return rest;
}

// Whatever is buffered at the end of a session in line mode is offered as a last line.
void TCustomLineWSocket::offerLastLine() {
  if (!FLineMode || FRcvdCnt <= 0 || FLineClearData) return;
  FLineLength = FRcvdCnt;
  while (FLineMode && FLineLength > 0) {
    int before = FLineLength;
    if (!TCustomSocksWSocket::TriggerDataAvailable(0)) break;
    if (FRcvdBuf.empty() || FLineLength == before) break;
  }
}

void TCustomLineWSocket::TriggerSessionClosed(WORD ErrCode) {
  FLineReceivedFlag = true;
  if (!FRcvdBuf.empty()) {
    offerLastLine();
    std::vector<char>().swap(FRcvdBuf);
    FRcvdCnt = 0;
    FLineLength = 0;
  }
  TCustomSocksWSocket::TriggerSessionClosed(ErrCode);
}
