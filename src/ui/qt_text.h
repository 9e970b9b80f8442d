#pragma once

#include <string>

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QString>

#include "catalog/mapping_tables.h"

namespace mirdal {

// Catalog texts are bytes; a window shows them as Latin-1 so that one byte is
// one character and columns stay where they are. Characters typed that
// Latin-1 cannot hold become '?'.
inline QString fromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string toBytes(const QString& text) {
  const QByteArray b = text.toLatin1();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Paths are kept in the file system's own encoding, not Latin-1, so that a
// file with a non-ASCII name can be opened again.
inline QString fromPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}
inline std::string toPath(const QString& path) {
  const QByteArray b = QFile::encodeName(path);
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// Colour values are 0x00BBGGRR.
inline QColor toQColor(Colour c) {
  return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu), static_cast<int>((c >> 16) & 0xFFu));
}
inline Colour fromQColor(const QColor& q) {
  return static_cast<Colour>(q.red()) | (static_cast<Colour>(q.green()) << 8) | (static_cast<Colour>(q.blue()) << 16);
}

}  // namespace mirdal
