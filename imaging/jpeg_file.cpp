#include "imaging/jpeg_file.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <QFile>

#include "platform/paths.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace imaging {

namespace {

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<TJpegError*>(info->err)->jump, 1);
}

// Compresses into a memory block; false on a library error.
bool Compress(const platform::Bitmap& bitmap, int quality, bool grey, std::vector<unsigned char>& out) {
  jpeg_compress_struct info;
  TJpegError err;
  info.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  // Rows live outside the jump's scope so nothing with a destructor is skipped.
  std::vector<unsigned char> row(std::size_t(bitmap.Width()) * (grey ? 1 : 3));
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&info);
    free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(bitmap.Width());
  info.image_height = JDIMENSION(bitmap.Height());
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const uint32_t* src = bitmap.Row(int(info.next_scanline));
    for (int x = 0; x < bitmap.Width(); ++x) {
      const uint32_t p = src[x];
      const unsigned char r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (grey) {
        row[std::size_t(x)] = static_cast<unsigned char>((r * 299 + g * 587 + b * 114 + 500) / 1000);
      } else {
        row[std::size_t(x) * 3] = r;
        row[std::size_t(x) * 3 + 1] = g;
        row[std::size_t(x) * 3 + 2] = b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  out.assign(buffer, buffer + size);
  free(buffer);
  return true;
}

}  // namespace

bool EncodeJpeg(const platform::Bitmap& bitmap, int quality, bool grey, std::vector<unsigned char>& out) {
  out.clear();
  if (bitmap.IsNull() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return false;
  return Compress(bitmap, std::clamp(quality, 1, 100), grey, out);
}

bool SaveJpegFile(const std::string& fileName, const platform::Bitmap& bitmap, int quality, bool grey) {
  std::vector<unsigned char> data;
  if (!EncodeJpeg(bitmap, quality, grey, data)) return false;
  // Through a temporary file and a rename, so a failed write (a full disk)
  // keeps the old file and is reported as a failure.
  return platform::WriteFileAtomically(fileName, data.data(), data.size());
}

}  // namespace imaging
