#pragma once

// Pieces of the port builder shared by its source files; not for use by tests.

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/bytes.h"
#include "support/port_builder.h"

namespace tbp::testkit::detail {

// Bounds-checked little-endian writes into an image under construction; a fixture that would
// write outside its image is a builder fault and throws.
void putByte(tbp::Bytes& image, std::size_t at, std::uint8_t value);
void putWord(tbp::Bytes& image, std::size_t at, std::uint16_t value);
void putLong(tbp::Bytes& image, std::size_t at, std::uint32_t value);  // 24 bits
void putDword(tbp::Bytes& image, std::size_t at, std::uint32_t value);
void putBytes(tbp::Bytes& image, std::size_t at, const tbp::Bytes& data);
void putText(tbp::Bytes& image, std::size_t at, const std::string& text);

// The data tables the options ask for, at the offsets already chosen in places.
void writeFonts(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places);
void writeSymbols(tbp::Bytes& image, const PortPlaces& places);
void writeSplash(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places);
void writePalettes(tbp::Bytes& image, const PortPlaces& places);
void writeConfig(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places);
void writeMsuTables(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places);

// The JSON manifest text for these options and places.
std::string manifestText(const PortOptions& options, const PortPlaces& places,
                         const std::string& portName);

}  // namespace tbp::testkit::detail
