#include "formats/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace tbp {
namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when the byte starts none.
std::size_t utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned minimum = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0)
    length = 2, minimum = 0x80;
  else if ((lead & 0xF0) == 0xE0)
    length = 3, minimum = 0x800;
  else if ((lead & 0xF8) == 0xF0)
    length = 4, minimum = 0x10000;
  else
    return 0;
  if (text.size() - at < length) return 0;
  unsigned code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(at + i) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
  if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

void appendEscaped(std::string& out, unsigned char byte) {
  switch (byte) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default: {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    }
  }
}

}  // namespace

std::string jsonQuoted(const std::string& text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == '"' || byte == '\\') {
      appendEscaped(out, byte);
      ++at;
    } else if (const std::size_t length = utf8Length(text, at)) {
      out.append(text, at, length);
      at += length;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
      ++at;
    }
  }
  return out + "\"";
}

void JsonWriter::newline() { out_ << '\n' << std::string(hasMembers_.size() * 2, ' '); }

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (hasMembers_.empty()) return;
  if (hasMembers_.back()) out_ << ',';
  hasMembers_.back() = true;
  newline();
}

void JsonWriter::beginObject() {
  beforeValue();
  out_ << '{';
  hasMembers_.push_back(false);
}

void JsonWriter::close(char bracket) {
  const bool any = hasMembers_.back();
  hasMembers_.pop_back();
  if (any) newline();
  out_ << bracket;
  // The document ends with its outermost value.
  if (hasMembers_.empty()) out_ << '\n';
}

void JsonWriter::endObject() { close('}'); }

void JsonWriter::beginArray() {
  beforeValue();
  out_ << '[';
  hasMembers_.push_back(false);
}

void JsonWriter::endArray() { close(']'); }

JsonWriter& JsonWriter::key(const std::string& name) {
  beforeValue();
  out_ << jsonQuoted(name) << ": ";
  afterKey_ = true;
  return *this;
}

void JsonWriter::string(const std::string& text) {
  beforeValue();
  out_ << jsonQuoted(text);
}

void JsonWriter::number(std::int64_t value) {
  beforeValue();
  out_ << value;
}

void JsonWriter::decimal(double value, int places) {
  if (!std::isfinite(value)) return null();
  beforeValue();
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", places, value);
  out_ << text;
}

void JsonWriter::real(double value) {
  if (!std::isfinite(value)) return null();
  beforeValue();
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out_ << std::string_view(buffer, std::size_t(result.ptr - buffer));
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::null() {
  beforeValue();
  out_ << "null";
}

}  // namespace tbp
