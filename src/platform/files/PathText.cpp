#include "platform/files/PathText.h"

#include <QFile>

namespace parlomax::files {

QString PathText(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

std::filesystem::path PathOf(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace parlomax::files
