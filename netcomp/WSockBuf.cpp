#include "netcomp/WSockBuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int BufSize) { SetBufSize(BufSize); }

void TBuffer::SetBufSize(int BufSize) {
  if (BufSize <= 0) BufSize = 1514;
  if (BufSize == FBufSize) return;
  int unread = GetBufUsed();
  // Never copy past the new block: when the written bytes do not fit at their positions the
  // unread ones move to the front, and when even those do not fit the block is left alone.
  if (unread > BufSize) return;
  // Left unfilled: only the bytes written are ever read.
  auto block = std::make_unique_for_overwrite<char[]>(BufSize);
  if (unread == 0) {
    FWrCount = FRdCount = 0;
  } else if (FWrCount <= BufSize) {
    std::memcpy(block.get(), FBuf.get(), FWrCount);
  } else {
    std::memcpy(block.get(), FBuf.get() + FRdCount, unread);
    FRdCount = 0;
    FWrCount = unread;
  }
  FBuf = std::move(block);
  FBufSize = BufSize;
}

int TBuffer::Write(const void* Data, int Len) {
  int count = std::clamp(FBufSize - FWrCount, 0, std::max(Len, 0));
  if (count > 0) std::memcpy(FBuf.get() + FWrCount, Data, count);
  FWrCount += count;
  return count;
}

int TBuffer::Read(void* Data, int Len) {
  int count = std::clamp(GetBufUsed(), 0, std::max(Len, 0));
  if (count > 0) std::memcpy(Data, FBuf.get() + FRdCount, count);
  consumed(count);
  return count;
}

const char* TBuffer::Peek(int& Len) const {
  Len = GetBufUsed();
  return Len > 0 ? FBuf.get() + FRdCount : nullptr;
}

int TBuffer::Remove(int Len) {
  int count = std::clamp(GetBufUsed(), 0, std::max(Len, 0));
  consumed(count);
  return count;
}

void TBuffer::consumed(int count) {
  FRdCount += count;
  if (FRdCount >= FWrCount) FRdCount = FWrCount = 0;
}
