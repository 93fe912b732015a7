#pragma once

#include <QFile>
#include <QString>

#include "formats/bytes.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

// An NES ROM and the port built from it, as the fixture builders lay them out.
struct PortFiles {
  tbp::Bytes nes;
  tbp::Bytes port;
};

inline PortFiles makePortFiles(const tbp::testkit::PortOptions& options = {}) {
  PortFiles files;
  files.nes = tbp::testkit::makeNesRom();
  files.port = tbp::testkit::makePortImage(files.nes, options);
  return files;
}

inline QByteArray asQByteArray(const tbp::Bytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// The bytes of a file the window wrote; empty when it cannot be read.
inline tbp::Bytes readBack(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return tbp::Bytes(data.begin(), data.end());
}
