#include "lib/Streams.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "lib/Exceptions.h"

std::int64_t TStream::Size() {
  const std::int64_t here = Position();
  const std::int64_t end = Seek(0, soFromEnd);
  Seek(here, soFromBeginning);
  return end;
}

TFileStream::TFileStream(const AnsiString& fileName, unsigned short mode) {
  if (mode == fmCreate) {
    file_ = std::fopen(fileName.c_str(), "w+b");
    if (!file_)
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    return;
  }
  const char* access = (mode & 3) == fmOpenRead ? "rb" : "r+b";
  file_ = std::fopen(fileName.c_str(), access);
  if (!file_) throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

int TFileStream::Read(void* buffer, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
}

int TFileStream::Write(const void* buffer, int count) {
  if (count <= 0) return 0;
  return static_cast<int>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const int whence = origin == soFromBeginning ? SEEK_SET
                     : origin == soFromEnd     ? SEEK_END
                                               : SEEK_CUR;
  std::fseek(file_, static_cast<long>(offset), whence);
  return std::ftell(file_);
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TFileStream::SetSize(std::int64_t newSize) {
  const std::int64_t here = Position();
  std::fflush(file_);
  if (::ftruncate(fileno(file_), static_cast<off_t>(newSize)) != 0)
    throw EStreamError(std::strerror(errno));
  Seek(here < newSize ? here : newSize, soFromBeginning);
}
