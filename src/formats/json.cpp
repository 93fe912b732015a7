#include "formats/json.h"

#include <cerrno>
#include <cstdlib>
#include <locale.h>
#include <stdexcept>

namespace tbp {

namespace {

constexpr int kMaxDepth = 200;

[[noreturn]] void fail(const char* message) { throw std::runtime_error(message); }

bool isWhitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Converts a number the way std::stod does (same prefix rule and the same "stod" errors),
// but always in the C locale: the GUI sets the user's locale, where the decimal separator
// may be a comma, and a document must read the same everywhere.
double convertNumber(const std::string& run) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const char* start = run.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = strtod_l(start, &end, cLocale);
  if (end == start) throw std::invalid_argument("stod");
  if (errno == ERANGE) throw std::out_of_range("stod");
  return value;
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint > 0xFFFF) {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  JsonValue parseDocument() {
    JsonValue root = parseValue(0);
    skipWhitespace();
    if (pos_ != text_.size()) fail("json: trailing data");
    return root;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  bool startsWith(const char* word, std::size_t length) const {
    return text_.compare(pos_, length, word) == 0;
  }

  void skipWhitespace() {
    while (!atEnd() && isWhitespace(peek())) ++pos_;
  }

  JsonValue parseValue(int depth) {
    if (depth > kMaxDepth) fail("json: nested too deeply");
    skipWhitespace();
    if (atEnd()) fail("json: unexpected end");
    const char c = peek();
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') return JsonValue::makeString(readString());
    if (startsWith("true", 4)) return pos_ += 4, JsonValue::makeBool(true);
    if (startsWith("false", 5)) return pos_ += 5, JsonValue::makeBool(false);
    if (startsWith("null", 4)) return pos_ += 4, JsonValue();
    return parseNumber();
  }

  JsonValue parseObject(int depth) {
    ++pos_;
    std::vector<JsonValue::Member> members;
    skipWhitespace();
    if (!atEnd() && peek() == '}') return ++pos_, JsonValue::makeObject(std::move(members));
    for (;;) {
      skipWhitespace();
      std::string key = readString();
      skipWhitespace();
      if (atEnd() || peek() != ':') fail("json: expected ':'");
      ++pos_;
      JsonValue value = parseValue(depth + 1);
      members.emplace_back(std::move(key), std::move(value));
      skipWhitespace();
      if (atEnd()) fail("json: expected ',' or '}'");
      const char next = text_[pos_++];
      if (next == '}') return JsonValue::makeObject(std::move(members));
      if (next != ',') fail("json: expected ',' or '}'");
    }
  }

  JsonValue parseArray(int depth) {
    ++pos_;
    std::vector<JsonValue> items;
    skipWhitespace();
    if (!atEnd() && peek() == ']') return ++pos_, JsonValue::makeArray(std::move(items));
    for (;;) {
      items.push_back(parseValue(depth + 1));
      skipWhitespace();
      if (atEnd()) fail("json: expected ',' or ']'");
      const char next = text_[pos_++];
      if (next == ']') return JsonValue::makeArray(std::move(items));
      if (next != ',') fail("json: expected ',' or ']'");
    }
  }

  // The longest run of number bytes; the position moves past all of it even when the
  // conversion uses only a prefix ("1-2" reads as 1).
  JsonValue parseNumber() {
    const std::size_t start = pos_;
    while (!atEnd() && isNumberByte(peek())) ++pos_;
    if (pos_ == start) fail("json: bad value");
    return JsonValue::makeNumber(convertNumber(text_.substr(start, pos_ - start)));
  }

  std::string readString() {
    if (atEnd() || peek() != '"') fail("json: expected string");
    ++pos_;
    std::string out;
    for (;;) {
      if (atEnd()) fail("json: unterminated string");
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (atEnd()) fail("json: unterminated string");
      readEscape(out, text_[pos_++]);
    }
  }

  void readEscape(std::string& out, char escaped) {
    switch (escaped) {
      case 'b':
        out.push_back('\b');
        return;
      case 'f':
        out.push_back('\f');
        return;
      case 'n':
        out.push_back('\n');
        return;
      case 'r':
        out.push_back('\r');
        return;
      case 't':
        out.push_back('\t');
        return;
      case 'u':
        appendUtf8(out, readUnicodeEscape());
        return;
      default:
        out.push_back(escaped);
        return;
    }
  }

  // The code point of a \u escape (position just past the "u"), joining a high surrogate
  // with a directly following second escape.
  std::uint32_t readUnicodeEscape() {
    const std::uint32_t first = readHexQuad();
    if (first < 0xD800 || first > 0xDBFF || !startsWith("\\u", 2)) return first;
    pos_ += 2;
    const std::uint32_t second = readHexQuad();
    return (first - 0xD800) * 1024 + second + 0x2400;
  }

  // Up to four hexadecimal digits; none at all is the conversion error "stoul".
  std::uint32_t readHexQuad() {
    std::uint32_t value = 0;
    int digits = 0;
    while (digits < 4 && !atEnd() && hexDigitValue(peek()) >= 0) {
      value = value * 16 + static_cast<std::uint32_t>(hexDigitValue(peek()));
      ++pos_;
      ++digits;
    }
    if (digits == 0) throw std::invalid_argument("stoul");
    return value;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
};

}  // namespace

JsonValue parseJson(const std::string& text) { return Parser(text).parseDocument(); }

}  // namespace tbp
