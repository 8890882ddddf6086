#include "app/WindowTransferView.h"

#include "app/MainFormLayout.h"
#include "app/MainUnit.h"

#include <QLabel>
#include <QProgressBar>

namespace parlomax::app {

void WindowTransferView::ShowProgressText(const QString& text) {
  updates_.Post(job_, [&form = form_, text] { form.ShowUploadProgressText(text); });
}

void WindowTransferView::SetRecordingBar(std::uint32_t value, std::uint32_t maximum) {
  updates_.Post(job_, [&form = form_, value, maximum] {
    SetProgressBar(form.Controls().ProgressBarUploadPacket, value, maximum);
  });
}

void WindowTransferView::SetOverallBar(std::uint32_t value, std::uint32_t maximum) {
  updates_.Post(job_, [&form = form_, value, maximum] {
    SetProgressBar(form.Controls().ProgressBarUpload, value, maximum);
  });
}

void WindowTransferView::EndJob(transfer::JobKind kind, std::uint64_t generation, bool stopped) {
  // A stopped job's end still restores the tab, unless another job has
  // started since; the window decides.
  updates_.PostAlways([&form = form_, kind, generation, stopped] {
    form.EndCopyJob(kind, generation, stopped);
  });
}

void WindowTransferView::CloseProgram() {
  updates_.PostAlways([&form = form_] { form.close(); });
}

}  // namespace parlomax::app
