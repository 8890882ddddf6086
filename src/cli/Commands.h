#pragma once

#include "cli/Arguments.h"
#include "cli/ExitStatus.h"
#include "cli/StatusLine.h"

#include <QString>

#include <filesystem>
#include <string>

namespace parlomax::spreadsheet {
class AutomationFactory;
}

namespace parlomax::cli {

class Telephone;

ExitStatus RunList(Telephone& telephone, const Arguments& arguments);
ExitStatus RunCopy(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages);
ExitStatus RunConvert(const Arguments& arguments, StatusLine& out, const std::string& decoderProgram);
// Refuses an existing file unless --force was given; checked before the
// telephone is even opened.
ExitStatus CheckExportTarget(const Arguments& arguments, StatusLine& out);
ExitStatus RunExport(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages,
                     spreadsheet::AutomationFactory& automation);

// A path as the user typed it, made absolute against the starting folder.
std::filesystem::path UserPath(const std::string& typed);
QString PathText(const std::filesystem::path& path);

}  // namespace parlomax::cli
