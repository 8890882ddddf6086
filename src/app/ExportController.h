#pragma once

#include "app/MainFormLayout.h"
#include "app/WindowState.h"

namespace parlomax::shell {
class MessageService;
}
namespace parlomax::spreadsheet {
class AutomationFactory;
}

namespace parlomax::app {

// The export of the telephone's list, as the window shows it, to a
// spreadsheet file named by the name box, in the save folder. An earlier
// file of that name is replaced only by a complete list, saved whole.
class ExportController {
 public:
  ExportController(const MainFormControls& ui, const WindowState& state, shell::MessageService& messages,
                   spreadsheet::AutomationFactory& automation)
      : ui_(ui), state_(state), messages_(messages), automation_(automation) {}

  void Export();

 private:
  // An incomplete list is said to be so before it is written; it never takes
  // the place of an earlier file, and is written at all only when the user says so.
  bool MayExport(const QString& fileName);

  const MainFormControls& ui_;
  const WindowState& state_;
  shell::MessageService& messages_;
  spreadsheet::AutomationFactory& automation_;
};

}  // namespace parlomax::app
