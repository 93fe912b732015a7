#pragma once

#include <string>

#include <QString>

// Text between the core, which speaks UTF-8 in std::string, and Qt.
inline std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// The core's text as HTML character data, for the rich-text views.
inline QString escaped(const std::string& text) {
  return QString::fromStdString(text).toHtmlEscaped();
}
