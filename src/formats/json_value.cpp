#include <algorithm>

#include "formats/json.h"

namespace tbp {

JsonValue JsonValue::makeBool(bool value) {
  JsonValue result;
  result.kind_ = JsonKind::Bool;
  result.boolean_ = value;
  return result;
}

JsonValue JsonValue::makeNumber(double value) {
  JsonValue result;
  result.kind_ = JsonKind::Number;
  result.number_ = value;
  return result;
}

JsonValue JsonValue::makeString(std::string value) {
  JsonValue result;
  result.kind_ = JsonKind::String;
  result.text_ = std::move(value);
  return result;
}

JsonValue JsonValue::makeArray(std::vector<JsonValue> items) {
  JsonValue result;
  result.kind_ = JsonKind::Array;
  result.items_ = std::move(items);
  return result;
}

// Sorts the members by key (stable, so equal keys keep their text order) and keeps only the
// last of each run of equal keys: a later duplicate replaces the earlier value.
JsonValue JsonValue::makeObject(std::vector<Member> members) {
  std::stable_sort(members.begin(), members.end(),
                   [](const Member& a, const Member& b) { return a.first < b.first; });
  std::vector<Member> unique;
  unique.reserve(members.size());
  for (std::size_t i = 0; i < members.size(); ++i) {
    const bool nextHasSameKey = i + 1 < members.size() && members[i + 1].first == members[i].first;
    if (!nextHasSameKey) unique.push_back(std::move(members[i]));
  }
  JsonValue result;
  result.kind_ = JsonKind::Object;
  result.members_ = std::move(unique);
  return result;
}

const JsonValue& JsonValue::get(const std::string& key) const {
  static const JsonValue null;
  const auto found =
      std::lower_bound(members_.begin(), members_.end(), key,
                       [](const Member& member, const std::string& k) { return member.first < k; });
  if (found == members_.end() || found->first != key) return null;
  return found->second;
}

const std::vector<JsonValue>& JsonValue::items() const { return items_; }

const std::vector<JsonValue::Member>& JsonValue::members() const { return members_; }

}  // namespace tbp
