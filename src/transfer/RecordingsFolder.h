#pragma once

#include <QDir>
#include <QString>

namespace parlomax::transfer {

// The one folder a person's calls go to unless they choose another: the
// nightly backup, the copy on plug-in and the window's first save folder.
inline constexpr char kRecordingsFolderName[] = "通话录音";

// ~/通话录音 of the user running the program (the root folder's when the
// user has no home folder).
inline QString DefaultRecordingsFolder() {
  return QDir(QDir::homePath()).filePath(QString::fromUtf8(kRecordingsFolderName));
}

}  // namespace parlomax::transfer
