// parseJson on fuzzed text: only the specified errors may come out, objects hold each key once
// in byte order, nesting stays within the limit, and a parsed tree written out again reads
// back as the same tree. Every member is found by its key.
#include "formats/json.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "support/fuzz_contract.h"

namespace {

using tbp::JsonKind;
using tbp::JsonValue;
using tbp::fuzz::require;

constexpr int kDeepestNesting = 201;  // levels of arrays and objects, the root included

// Checks the tree's invariants and returns its nesting depth.
int checkTree(const JsonValue& value) {
  int deepest = 0;
  if (value.kind() == JsonKind::Number) require(std::isfinite(value.number()), "number not finite");
  for (const JsonValue& item : value.items()) deepest = std::max(deepest, checkTree(item));
  const auto& members = value.members();
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) require(members[i - 1].first < members[i].first, "keys out of order or repeated");
    require(&value.get(members[i].first) == &members[i].second, "get misses a member");
    deepest = std::max(deepest, checkTree(members[i].second));
  }
  const bool container = value.kind() == JsonKind::Array || value.kind() == JsonKind::Object;
  return container ? deepest + 1 : deepest;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// The tree as JSON text the reader accepts (control bytes inside strings are taken as they are).
std::string written(const JsonValue& value) {
  switch (value.kind()) {
    case JsonKind::Null:
      return "null";
    case JsonKind::Bool:
      return value.boolean() ? "true" : "false";
    case JsonKind::Number: {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", value.number());
      return text;
    }
    case JsonKind::String:
      return quoted(value.text());
    case JsonKind::Array: {
      std::string out = "[";
      for (const JsonValue& item : value.items())
        out += (out.size() > 1 ? "," : "") + written(item);
      return out + "]";
    }
    case JsonKind::Object: {
      std::string out = "{";
      for (const auto& [key, member] : value.members()) {
        out += (out.size() > 1 ? "," : "") + quoted(key) + ":" + written(member);
      }
      return out + "}";
    }
  }
  return {};
}

bool sameTree(const JsonValue& a, const JsonValue& b) {
  if (a.kind() != b.kind() || a.boolean() != b.boolean() || a.text() != b.text()) return false;
  if (a.kind() == JsonKind::Number && a.number() != b.number()) return false;
  if (a.items().size() != b.items().size() || a.members().size() != b.members().size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.items().size(); ++i) {
    if (!sameTree(a.items()[i], b.items()[i])) return false;
  }
  for (std::size_t i = 0; i < a.members().size(); ++i) {
    if (a.members()[i].first != b.members()[i].first ||
        !sameTree(a.members()[i].second, b.members()[i].second)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  JsonValue value;
  try {
    value = tbp::parseJson(text);
  } catch (const std::invalid_argument& e) {
    require(tbp::fuzz::oneOf(e.what(), {"stod", "stoul"}), std::string("invalid: ") + e.what());
    return 0;
  } catch (const std::out_of_range& e) {
    require(tbp::fuzz::oneOf(e.what(), {"stod"}), std::string("out of range: ") + e.what());
    return 0;
  } catch (const std::runtime_error& e) {
    require(tbp::fuzz::oneOf(
                e.what(),
                {"json: nested too deeply", "json: unexpected end", "json: expected string",
                 "json: unterminated string", "json: expected ':'", "json: expected ',' or '}'",
                 "json: expected ',' or ']'", "json: bad value", "json: trailing data"}),
            std::string("parseJson: ") + e.what());
    return 0;
  }
  require(checkTree(value) <= kDeepestNesting, "nested deeper than the limit");
  require(sameTree(tbp::parseJson(written(value)), value), "the tree did not read back");
  return 0;
}
