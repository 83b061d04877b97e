#pragma once
// TBuffer: one fixed-size block of a socket's send queue. Bytes are written at the end and
// read from the front; a block that is read empty starts again at 0.
#include <memory>

#include "lib/Classes.h"

class TBuffer : public TObject {
 public:
  explicit TBuffer(int BufSize);

  int BufSize() const { return FBufSize; }
  // A size of 0 or less means 1514. The bytes keep their positions; when the new size cannot
  // hold the bytes written so far the unread ones move to the front, and a size smaller than
  // the unread bytes is refused (the block is left as it was).
  void SetBufSize(int BufSize);
  // Copies as much of Data as fits; returns the count copied (0 when full).
  int Write(const void* Data, int Len);
  // Copies up to Len unread bytes out; returns the count copied (0 when empty).
  int Read(void* Data, int Len);
  // The first unread byte and, in Len, how many are unread; nullptr and 0 when empty.
  const char* Peek(int& Len) const;
  // Drops up to Len unread bytes; returns the count dropped.
  int Remove(int Len);
  int GetBufUsed() const { return FWrCount - FRdCount; }

 private:
  void consumed(int count);

  std::unique_ptr<char[]> FBuf;
  int FBufSize = 0;
  int FWrCount = 0;
  int FRdCount = 0;
};
