#pragma once
// The class library's byte streams: an abstract stream with a position, and a file stream.
#include <cstdint>
#include <cstdio>

#include "lib/AnsiString.h"
#include "lib/Classes.h"
#include "lib/Exceptions.h"

enum TSeekOrigin { soFromBeginning, soFromCurrent, soFromEnd };

class TStream : public TObject {
 public:
  // Read and Write return the number of bytes moved (fewer at the end of the data).
  virtual int Read(void* buffer, int count) = 0;
  virtual int Write(const void* buffer, int count) = 0;
  // The new position from the start.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, soFromBeginning); }
  std::int64_t Size();
  // Cuts or extends the stream to newSize; the position stays, or moves to the new end when
  // it lay beyond it. A stream that cannot change its size raises EStreamError.
  virtual void SetSize(std::int64_t newSize);
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// File-open modes: one access mode ORed with one share mode. fmCreate creates the file (or
// empties an existing one) for reading and writing.
inline constexpr unsigned short fmOpenRead = 0x0000;
inline constexpr unsigned short fmOpenWrite = 0x0001;
inline constexpr unsigned short fmOpenReadWrite = 0x0002;
inline constexpr unsigned short fmShareCompat = 0x0000;
inline constexpr unsigned short fmShareExclusive = 0x0010;
inline constexpr unsigned short fmShareDenyWrite = 0x0020;
inline constexpr unsigned short fmShareDenyRead = 0x0030;
inline constexpr unsigned short fmShareDenyNone = 0x0040;
inline constexpr unsigned short fmCreate = 0xFFFF;

// A stream on a file. The share flags are accepted and not enforced: Linux has no mandatory
// sharing modes. A file that cannot be opened raises EFOpenError, one that cannot be created
// EFCreateError.
class TFileStream : public TStream {
 public:
  TFileStream(const AnsiString& fileName, unsigned short mode);
  ~TFileStream() override;

  int Read(void* buffer, int count) override;
  int Write(const void* buffer, int count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;

 private:
  std::FILE* file_ = nullptr;
};
