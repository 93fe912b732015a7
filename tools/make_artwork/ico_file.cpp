#include "ico_file.h"

#include <cstdint>

#include "little_endian.h"

namespace artwork {

namespace {

constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr int kBitmapHeaderSize = 40;

// Rows of the mask are padded to whole 32-bit words.
int maskStride(int width) { return (width + 31) / 32 * 4; }

// A bitmap header, the colour rows bottom-up in BGRA order, then the mask rows bottom-up
// (a set bit marks a fully transparent pixel). The header's height counts both halves.
QByteArray bitmap(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_ARGB32);
  const int width = image.width();
  const int height = image.height();
  QByteArray out;
  put32(out, kBitmapHeaderSize);
  put32(out, std::uint32_t(width));
  put32(out, std::uint32_t(height * 2));
  put16(out, 1);   // planes
  put16(out, 32);  // bits per pixel
  put32(out, 0);   // no compression
  put32(out, std::uint32_t(width * height * 4 + maskStride(width) * height));
  for (int unused = 0; unused < 4; ++unused) put32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x) put32(out, row[x]);  // 0xAARRGGBB is B, G, R, A in memory
  }
  for (int y = height - 1; y >= 0; --y) {
    QByteArray mask(maskStride(width), '\0');
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x)
      if (qAlpha(row[x]) == 0) mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
    out.append(mask);
  }
  return out;
}

}  // namespace

QByteArray icoFile(const QList<QImage>& images) {
  QList<QByteArray> bitmaps;
  for (const QImage& image : images) bitmaps.append(bitmap(image));
  QByteArray out;
  put16(out, 0);  // reserved
  put16(out, 1);  // an icon, not a cursor
  put16(out, int(images.size()));
  std::uint32_t offset = std::uint32_t(kDirectorySize + kEntrySize * images.size());
  for (int index = 0; index < images.size(); ++index) {
    // A width or height of 256 is written as 0.
    out.append(char(images[index].width() & 0xFF));
    out.append(char(images[index].height() & 0xFF));
    out.append('\0');  // no palette
    out.append('\0');  // reserved
    put16(out, 1);     // planes
    put16(out, 32);    // bits per pixel
    put32(out, std::uint32_t(bitmaps[index].size()));
    put32(out, offset);
    offset += std::uint32_t(bitmaps[index].size());
  }
  for (const QByteArray& data : bitmaps) out.append(data);
  return out;
}

}  // namespace artwork
