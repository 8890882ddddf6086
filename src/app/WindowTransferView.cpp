#include "app/WindowTransferView.h"

#include "app/MainUnit.h"

#include <QLabel>
#include <QProgressBar>

namespace parlomax::app {
namespace {

void SetBar(QProgressBar* bar, std::uint32_t value, std::uint32_t maximum) {
  // An empty range would make the bar an endless busy animation; an empty
  // recording shows an empty bar instead.
  bar->setRange(0, maximum == 0 ? 1 : static_cast<int>(maximum));
  bar->setValue(static_cast<int>(value));
}

}  // namespace

WindowTransferView::WindowTransferView(TMainForm& form) : form_(form) {}

template <typename Change>
void WindowTransferView::OnWindowThread(Change&& change) {
  channel_.Post(std::forward<Change>(change));
}

void WindowTransferView::ShowProgressText(const QString& text) {
  OnWindowThread([&form = form_, text] { form.ShowUploadProgressText(text); });
}

void WindowTransferView::SetRecordingBar(std::uint32_t value, std::uint32_t maximum) {
  OnWindowThread([&form = form_, value, maximum] {
    SetBar(form.Controls().ProgressBarUploadPacket, value, maximum);
  });
}

void WindowTransferView::SetOverallBar(std::uint32_t value, std::uint32_t maximum) {
  OnWindowThread([&form = form_, value, maximum] {
    SetBar(form.Controls().ProgressBarUpload, value, maximum);
  });
}

void WindowTransferView::EndJob(transfer::JobKind kind, std::uint64_t generation, bool stopped) {
  OnWindowThread([&form = form_, kind, generation, stopped] {
    form.EndCopyJob(kind, generation, stopped);
  });
}

void WindowTransferView::CloseProgram() {
  OnWindowThread([&form = form_] { form.close(); });
}

}  // namespace parlomax::app
