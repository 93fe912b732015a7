#pragma once

// What the fuzz harnesses share: a reader that cuts the fuzzer's bytes into the arguments of
// a call, and checks that stop the run (so that libFuzzer, or the replay under ctest, reports
// the input) when an entry point breaks its contract.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include "formats/bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tbp::fuzz {

[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "contract broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void require(bool condition, const std::string& what) {
  if (!condition) fail(what);
}

inline bool oneOf(std::string_view message, std::initializer_list<std::string_view> allowed) {
  return std::find(allowed.begin(), allowed.end(), message) != allowed.end();
}

inline bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The fuzzer's bytes, taken from the front; reads past the end give zeros and empty buffers,
// so every input means something.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t remaining() const { return size_ - used_; }

  std::uint8_t byte() { return used_ < size_ ? data_[used_++] : 0; }

  std::uint32_t number(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(byte()) << (8 * i);
    return value;
  }

  Bytes bytes(std::size_t count) {
    const std::size_t n = std::min(count, remaining());
    Bytes out(data_ + used_, data_ + used_ + n);
    used_ += n;
    return out;
  }

  // Bytes up to (not including) the next zero byte, which is consumed.
  std::string text() {
    std::string out;
    while (used_ < size_ && data_[used_] != 0) out.push_back(static_cast<char>(data_[used_++]));
    if (used_ < size_) ++used_;
    return out;
  }

  Bytes rest() { return bytes(remaining()); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

}  // namespace tbp::fuzz
