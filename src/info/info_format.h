#pragma once

#include <cstdint>

#include <QString>

#include "build/nes_rom.h"

// The formatting rules of the information page.
namespace tbp::info {

// "40 KB (40,960 bytes)" for a whole number of kilobytes, else "40,976 bytes".
QString sizeText(std::uint64_t size);
// value in upper-case hexadecimal, zero-padded to digits.
QString hexText(std::uint64_t value, int digits);
// The cartridge an iNES header describes, or "none (headerless)".
QString describeInesHeader(const InesHeader& header);

// A section: the heading over a two-column table; rows are label and value.
QString sectionStart(const QString& heading);
QString sectionEnd();
QString row(const QString& label, const QString& value);
// A row whose value is monospaced.
QString ttRow(const QString& label, const QString& value);

}  // namespace tbp::info
