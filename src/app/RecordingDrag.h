#pragma once

#include "app/MainFormLayout.h"
#include "audio/ExternalDecoder.h"

#include <QObject>
#include <QPoint>

#include <cstdint>
#include <filesystem>
#include <vector>

class QMimeData;
class QTreeView;

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::app {

// A drag's WAV files are made while the drag starts, on the window's
// thread: a file manager or a chat window reads a dragged file when it is
// dropped, so it must be there by then, and a drag cannot wait for a
// thread. Decoding takes about 10 ms per minute of sound here, and the WAV
// file is about 1 MB per minute; ten minutes (which calls are mostly well
// within) keep the window's pause to a blink. Longer ones are saved with
// the menu, off the window's thread.
inline constexpr std::uint64_t kLargestDraggedPayload = 10 * 60 * 1000;

// The WAV files of `spxFiles`, made in `folder` (under the recordings'
// names, replacing the earlier drag's), and the drag's data: their file
// URLs. Nothing when the recordings are longer together than a drag takes,
// or when one could not be made (`problem` then says why).
QMimeData* MakeWavDragData(const std::vector<std::filesystem::path>& spxFiles,
                           const std::filesystem::path& folder,
                           const audio::ExternalDecoder& decoder, QString* problem);

// Dragging rows out of the PC list gives their WAV files, made in the
// program's private working folder.
class RecordingDrag final : public QObject {
  Q_OBJECT

 public:
  RecordingDrag(const MainFormControls& ui, std::filesystem::path folder,
                const audio::ExternalDecoder& decoder, shell::MessageService& messages);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Drag();

  const MainFormControls& ui_;
  const std::filesystem::path folder_;
  const audio::ExternalDecoder& decoder_;
  shell::MessageService& messages_;
  QPoint pressedAt_;
  bool pressedOnRow_ = false;
};

}  // namespace parlomax::app
