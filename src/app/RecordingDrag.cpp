#include "app/RecordingDrag.h"

#include "app/RecordingListView.h"
#include "audio/ShareRecording.h"
#include "platform/files/PathText.h"
#include "platform/files/PrivateFolders.h"
#include "platform/files/SystemReason.h"
#include "platform/shell/MessageService.h"

#include <QApplication>
#include <QDrag>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeView>
#include <QUrl>

namespace parlomax::app {

namespace fs = std::filesystem;

QMimeData* MakeWavDragData(const std::vector<fs::path>& spxFiles, const fs::path& folder,
                           const audio::ExternalDecoder& decoder, QString* problem) {
  std::uint64_t payload = 0;
  for (const auto& file : spxFiles) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    payload += ec ? 0 : size;
  }
  if (payload > kLargestDraggedPayload) return nullptr;
  if (const int error = files::MakePrivateFolders(folder); error != 0) {
    *problem = files::WriteFailedText(folder, error);
    return nullptr;
  }
  QList<QUrl> urls;
  for (const auto& file : spxFiles) {
    const fs::path wav = audio::SharedFileFor(folder, file, audio::ShareFormat::Wav);
    const audio::ShareResult result =
        audio::ShareRecording(decoder, file, wav, audio::ShareFormat::Wav);
    if (result.outcome != audio::ShareOutcome::Written) {
      *problem = audio::ShareProblemText(result, file, wav);
      return nullptr;
    }
    urls.append(QUrl::fromLocalFile(files::PathText(wav)));
  }
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

RecordingDrag::RecordingDrag(const MainFormControls& ui, fs::path folder,
                             const audio::ExternalDecoder& decoder, shell::MessageService& messages)
    : ui_(ui), folder_(std::move(folder)), decoder_(decoder), messages_(messages) {
  // A press on one of several selected rows keeps them all selected until
  // the release, so that all of them can be dragged. The rows are not the
  // view's to drag (the model lends none), so the drag is this filter's.
  ui_.ListViewFile->setDragEnabled(true);
  ui_.ListViewFile->viewport()->installEventFilter(this);
}

bool RecordingDrag::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const auto* press = static_cast<QMouseEvent*>(event);
    pressedAt_ = press->position().toPoint();
    pressedOnRow_ =
        press->button() == Qt::LeftButton && ui_.ListViewFile->indexAt(pressedAt_).isValid();
  } else if (event->type() == QEvent::MouseMove && pressedOnRow_) {
    const auto* move = static_cast<QMouseEvent*>(event);
    if ((move->buttons() & Qt::LeftButton) &&
        (move->position().toPoint() - pressedAt_).manhattanLength() >=
            QApplication::startDragDistance()) {
      pressedOnRow_ = false;
      Drag();
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonRelease) {
    pressedOnRow_ = false;
  }
  return QObject::eventFilter(watched, event);
}

void RecordingDrag::Drag() {
  std::vector<fs::path> files;
  for (const int row : SelectedRows(ui_.ListViewFile))
    files.push_back(FileOfRow(ui_.EditInput->text(), *ui_.FolderRows, row));
  if (files.empty()) return;
  QString problem;
  QMimeData* data = MakeWavDragData(files, folder_, decoder_, &problem);
  if (data == nullptr) {
    if (!problem.isEmpty()) messages_.Warn(problem);
    return;
  }
  auto* drag = new QDrag(ui_.ListViewFile);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction);
}

}  // namespace parlomax::app
