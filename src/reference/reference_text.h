#pragma once

#include <string>

namespace tbp {

// The engine reference in the two forms the browser needs.
struct ReferenceDocument {
  std::string html;  // for the "Engine reference" tab
  std::string text;  // for "Copy all as text"
};

// Renders the sections of a reference document (JSON: "sections", each with "title" and
// "text"; a text line starting with "- " is a bullet item). Both forms stay empty when the
// document does not parse.
ReferenceDocument renderReference(const std::string& documentText);

}  // namespace tbp
