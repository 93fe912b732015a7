#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tbp {

class JsonValue;

// One utility-library call as the reference browser lists it.
struct FunctionRecord {
  int id = 0;
  std::string group;
  std::string name;
  std::string params;
  std::string returns;
  std::string desc;
};

// Everything the browser shows about the library of one port.
struct LibraryListing {
  int version = 1;
  std::string versionLine;
  std::string calling;
  std::string note;  // the coprocessor note; empty when there is none
  std::vector<FunctionRecord> records;
};

// Gives the text of the library document of a version, or nothing when there is none.
using LibraryDocumentLoader = std::function<std::optional<std::string>(int version)>;

// The decimal integer at the start of text (leading white space and a sign allowed), 0 when
// there is none. Values far beyond the id range saturate instead of overflowing.
int leadingInteger(const std::string& text);

// The "lib_ver" of a manifest's "library" object: truncated, 1 unless above 0, at most 99.
int libraryVersion(const JsonValue& library);

// The function ids named by the members of a manifest's "ids" object: single ids ("70") and
// inclusive ranges ("0-63"), limited to 0..255. Empty means "no filter".
std::set<int> libraryIdSet(const JsonValue& ids);

// Reads the port's manifest text and collects the records to show: from the library document
// of the port's version when load finds one, else from the port's own one-line signatures.
LibraryListing collectLibrary(const std::string& manifestText, const LibraryDocumentLoader& load);

// The text "Copy all as text" puts on the clipboard: the calling text, every record in record
// order, then the plain engine reference.
std::string copyAllText(const LibraryListing& listing, const std::string& referenceText);

}  // namespace tbp
