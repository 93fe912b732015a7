#include "reference/library_records.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "formats/json.h"

namespace tbp {

namespace {

constexpr int kHighestId = 255;
constexpr int kHighestVersion = 99;
// Far beyond every id, yet far from the int limits: larger values behave the same.
constexpr long kSaturation = 1'000'000;

bool isLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A JSON number as an int, truncated and kept inside the int range; 0 for anything else.
int integerOf(const JsonValue& value) {
  if (value.kind() != JsonKind::Number) return 0;
  const double number = std::trunc(value.number());
  return static_cast<int>(std::clamp(number, -double(kSaturation), double(kSaturation)));
}

JsonValue parseOrEmpty(const std::string& text) {
  try {
    return parseJson(text);
  } catch (const std::exception&) {
    return {};
  }
}

void addDocumentRecords(LibraryListing& listing, const std::string& documentText,
                        const std::set<int>& ids) {
  const JsonValue document = parseOrEmpty(documentText);
  listing.calling = document.get("calling").text();
  listing.note = document.get("superfx").text();
  for (const JsonValue& function : document.get("functions").items()) {
    const int id = integerOf(function.get("id"));
    if (!ids.empty() && !ids.contains(id)) continue;
    listing.records.push_back({id, function.get("group").text(), function.get("name").text(),
                               function.get("params").text(), function.get("returns").text(),
                               function.get("desc").text()});
  }
  listing.versionLine = "Library version " + std::to_string(listing.version) + ": " +
                        std::to_string(listing.records.size()) + " functions.";
}

// Without notes for the version, the port's own signatures ("NAME what it does") stand in.
void addPortRecords(LibraryListing& listing, const JsonValue& library) {
  for (const auto& [name, value] : library.get("ids").members()) {
    const std::string& signature = value.text();
    const std::size_t blank = signature.find(' ');
    FunctionRecord record;
    record.id = leadingInteger(name);
    record.name = signature.substr(0, blank);
    if (blank != std::string::npos) record.desc = signature.substr(blank + 1);
    listing.records.push_back(std::move(record));
  }
  std::stable_sort(listing.records.begin(), listing.records.end(),
                   [](const FunctionRecord& a, const FunctionRecord& b) { return a.id < b.id; });
  listing.calling = "lib_call: " + library.get("slot").text() + ". Arguments " +
                    library.get("args").text() + ", results " + library.get("results").text() +
                    ". " + library.get("return").text();
  listing.versionLine = "Library version " + std::to_string(listing.version) +
                        " (this patcher has no detailed notes for it: the ROM's own one-line "
                        "signatures are shown).";
}

}  // namespace

int leadingInteger(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size() && isLeadingBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  long value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = std::min(kSaturation, value * 10 + (text[at] - '0'));
  return static_cast<int>(negative ? -value : value);
}

int libraryVersion(const JsonValue& library) {
  const JsonValue& version = library.get("lib_ver");
  if (version.kind() != JsonKind::Number) return 1;
  const double truncated = std::trunc(version.number());
  if (!(truncated > 0)) return 1;
  return truncated >= kHighestVersion ? kHighestVersion : static_cast<int>(truncated);
}

std::set<int> libraryIdSet(const JsonValue& ids) {
  std::set<int> set;
  for (const auto& [name, value] : ids.members()) {
    const int start = leadingInteger(name);
    const std::size_t dash = name.find('-');
    const int end = dash == std::string::npos ? start : leadingInteger(name.substr(dash + 1));
    const int lo = std::clamp(start, 0, kHighestId);
    if (end < lo) {
      set.insert(lo);
      continue;
    }
    for (int id = lo; id <= std::min(end, kHighestId); ++id) set.insert(id);
  }
  return set;
}

LibraryListing collectLibrary(const std::string& manifestText, const LibraryDocumentLoader& load) {
  const JsonValue manifest = parseOrEmpty(manifestText);
  const JsonValue& library = manifest.get("library");
  LibraryListing listing;
  listing.version = libraryVersion(library);
  const std::optional<std::string> document = load(listing.version);
  if (document)
    addDocumentRecords(listing, *document, libraryIdSet(library.get("ids")));
  else
    addPortRecords(listing, library);
  return listing;
}

std::string copyAllText(const LibraryListing& listing, const std::string& referenceText) {
  std::string text = listing.calling + "\n\n";
  for (const FunctionRecord& record : listing.records) {
    text += std::to_string(record.id) + "  " + record.name + "  [" + record.group + "]\n";
    text += "    in:  " + record.params + "\n";
    text += "    out: " + record.returns + "\n";
    text += "    " + record.desc + "\n\n";
  }
  return text + referenceText;
}

}  // namespace tbp
