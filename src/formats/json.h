#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tbp {

enum class JsonKind { Null = 0, Bool = 1, Number = 2, String = 3, Array = 4, Object = 5 };

// One node of a parsed JSON document. A value owns its children; copying copies the tree.
// Object members are kept sorted by byte-wise key order, each key once.
class JsonValue {
 public:
  using Member = std::pair<std::string, JsonValue>;

  JsonValue() = default;
  static JsonValue makeBool(bool value);
  static JsonValue makeNumber(double value);
  static JsonValue makeString(std::string value);
  static JsonValue makeArray(std::vector<JsonValue> items);
  static JsonValue makeObject(std::vector<Member> members);  // sorts; a later duplicate key wins

  JsonKind kind() const { return kind_; }
  bool isNull() const { return kind_ == JsonKind::Null; }
  bool boolean() const { return boolean_; }
  double number() const { return number_; }
  const std::string& text() const { return text_; }  // empty unless this is a string

  // The member under key, or a shared null value when absent or when this is no object.
  const JsonValue& get(const std::string& key) const;
  // The array's items; empty unless this is an array.
  const std::vector<JsonValue>& items() const;
  // The object's members in key order; empty unless this is an object.
  const std::vector<Member>& members() const;

 private:
  JsonKind kind_ = JsonKind::Null;
  bool boolean_ = false;
  double number_ = 0.0;
  std::string text_;
  std::vector<JsonValue> items_;
  std::vector<Member> members_;
};

// Parses one JSON value that must span the whole text (trailing whitespace allowed).
// Throws std::runtime_error with messages beginning "json: ", or the standard conversion
// errors "stod" / "stoul" for numbers and \u escapes.
JsonValue parseJson(const std::string& text);

}  // namespace tbp
