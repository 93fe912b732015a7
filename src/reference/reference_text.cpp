#include "reference/reference_text.h"

#include <exception>

#include "formats/json.h"

namespace tbp {

namespace {

// The same escapes as the toolkit's HTML escaping, so both layers show a text alike.
std::string escapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void renderSection(const JsonValue& section, ReferenceDocument& out) {
  const std::string& title = section.get("title").text();
  const std::string& body = section.get("text").text();
  out.html += "<h3>" + escapeHtml(title) + "</h3>";
  out.text += title + "\n";
  bool listOpen = false;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = body.find('\n', start);
    const std::string line = body.substr(start, end == std::string::npos ? end : end - start);
    if (line.starts_with("- ")) {
      if (!listOpen) out.html += "<ul>";
      listOpen = true;
      out.html += "<li>" + escapeHtml(line.substr(2)) + "</li>";
      out.text += "  * " + line.substr(2) + "\n";
    } else {
      if (listOpen) out.html += "</ul>";
      listOpen = false;
      out.html += "<p>" + escapeHtml(line) + "</p>";
      out.text += line + "\n";
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (listOpen) out.html += "</ul>";
  out.text += "\n";
}

}  // namespace

ReferenceDocument renderReference(const std::string& documentText) {
  JsonValue document;
  try {
    document = parseJson(documentText);
  } catch (const std::exception&) {
    return {};
  }
  ReferenceDocument out;
  for (const JsonValue& section : document.get("sections").items()) renderSection(section, out);
  return out;
}

}  // namespace tbp
