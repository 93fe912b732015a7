#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tbp {

// Writes one JSON document, indented by two blanks per level and ended by a line feed. Texts from
// files are written as valid UTF-8: a byte that starts no valid sequence becomes U+FFFD.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // The key of the next member of the current object.
  JsonWriter& key(const std::string& name);

  void string(const std::string& text);
  void number(std::int64_t value);
  // A finite value in fixed notation with `places` decimals (non-finite values are null).
  void decimal(double value, int places);
  // The shortest text that reads back as value; null for infinities and NaN, which JSON lacks.
  void real(double value);
  void boolean(bool value);
  void null();

 private:
  void beforeValue();
  void newline();
  void close(char bracket);

  std::ostream& out_;
  std::vector<bool> hasMembers_;  // per open object or array
  bool afterKey_ = false;
};

// text as a JSON string literal, quotes included.
std::string jsonQuoted(const std::string& text);

}  // namespace tbp
