// TBitmap::LoadFromFile and SaveToFile: the file system side of BMP files and
// the messages of every failure.
#include "core/bitmap_file.h"

#include <cstring>

[[noreturn]] void ThrowSystemError(int errorCode) {
  throw EDaubixError("システムエラー。コード：" + std::to_string(errorCode) + ".\n" +
                     std::strerror(errorCode));
}
[[noreturn]] void ThrowInvalidBitmap() {
  throw EInvalidBitmap("ビットマップイメージが不正です");
}

void TBitmap::LoadFromFile(const std::string& path) {
  const FileDescriptor fd = OpenRegularFile(path);
  TFileSource file(fd.Get());
  ReadBitmapStream(file, *this);
}

void TBitmap::SaveToFile(const std::string& path) {
  // Refuses a picture too large for the format before touching the disk.
  const std::uint64_t size = BitmapFileSize(*this);
  WriteFileSafely(path, size, [this](TByteSink& file) { WriteBitmapFile(*this, file); });
}
