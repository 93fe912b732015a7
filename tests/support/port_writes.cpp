#include <stdexcept>

#include "support/port_parts.h"

namespace tbp::testkit::detail {
namespace {

void check(const tbp::Bytes& image, std::size_t at, std::size_t length) {
  if (at > image.size() || length > image.size() - at)
    throw std::out_of_range("port builder: write outside the image");
}

}  // namespace

void putByte(tbp::Bytes& image, std::size_t at, std::uint8_t value) {
  check(image, at, 1);
  image[at] = value;
}

void putWord(tbp::Bytes& image, std::size_t at, std::uint16_t value) {
  check(image, at, 2);
  image[at] = static_cast<std::uint8_t>(value);
  image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putLong(tbp::Bytes& image, std::size_t at, std::uint32_t value) {
  check(image, at, 3);
  for (std::size_t i = 0; i < 3; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putDword(tbp::Bytes& image, std::size_t at, std::uint32_t value) {
  check(image, at, 4);
  for (std::size_t i = 0; i < 4; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putBytes(tbp::Bytes& image, std::size_t at, const tbp::Bytes& data) {
  check(image, at, data.size());
  std::copy(data.begin(), data.end(), image.begin() + static_cast<long>(at));
}

void putText(tbp::Bytes& image, std::size_t at, const std::string& text) {
  putBytes(image, at, tbp::Bytes(text.begin(), text.end()));
}

}  // namespace tbp::testkit::detail
