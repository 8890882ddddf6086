#pragma once

#include "app/MainFormLayout.h"
#include "app/WindowState.h"

class QString;

namespace parlomax::shell {
class FolderChooser;
class MessageService;
}

namespace parlomax::app {

// The PC tab's folder and its list of recording files: chosen with the
// folder button, listed again whenever the tab comes to the front.
class FolderListController {
 public:
  FolderListController(const MainFormControls& ui, WindowState& state, shell::MessageService& messages,
                       shell::FolderChooser& folders);

  void ChooseFolder();
  // The tab came to the front.
  void TabShown();

 private:
  // Fills the list from `folder` and keeps what the listing counted.
  void List(const QString& folder);

  const MainFormControls& ui_;
  WindowState& state_;
  shell::MessageService& messages_;
  shell::FolderChooser& folders_;
};

}  // namespace parlomax::app
