#pragma once

#include "cli/Arguments.h"
#include "cli/ExitStatus.h"
#include "cli/StatusLine.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parlomax::spreadsheet {
class AutomationFactory;
}
namespace parlomax::sound {
class AudioOutputFactory;
}

namespace parlomax::cli {

class Telephone;
struct CliPlatform;

ExitStatus RunList(Telephone& telephone, const Arguments& arguments, StatusLine& out);
// What a copy did, for whoever reports it elsewhere (a desktop notice).
struct CopyTally {
  std::uint32_t copied = 0;  // recordings now whole in the folder
  std::uint32_t notCopied = 0;
};
ExitStatus RunCopy(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages,
                   CopyTally* tally = nullptr);
ExitStatus RunAutocopy(const Arguments& arguments, CliPlatform& platform, StatusLine& out);
ExitStatus RunConvert(const Arguments& arguments, StatusLine& out, const std::string& decoderProgram);
ExitStatus RunFind(const Arguments& arguments, StatusLine& out);
ExitStatus RunDoctor(CliPlatform& platform);
// `telephone` is null unless --telephone was given.
ExitStatus RunVerify(const Arguments& arguments, StatusLine& out, Telephone* telephone);
// The doctor runs the program again with this one argument to try the sound
// output in a process of its own; it says why not on standard output.
inline constexpr const char* kSoundProbeArgument = "--probe-sound-output";
int ProbeSound(sound::AudioOutputFactory& sound);
// Refuses an existing file unless --force was given; checked before the
// telephone is even opened.
ExitStatus CheckExportTarget(const Arguments& arguments, StatusLine& out);
ExitStatus RunExport(Telephone& telephone, const Arguments& arguments, StatusLine& out, TerminalMessages& messages,
                     spreadsheet::AutomationFactory& automation);

// Rows of the list's seven texts as list and find print them: a line of
// captions first; on a terminal lined up, else tab-separated.
QString RecordingTable(const std::vector<QStringList>& rows, bool terminal);
// A row's seven texts by their captions, for JSON.
QJsonObject TextsObject(const QStringList& values);

// A path as the user typed it, made absolute against the starting folder.
std::filesystem::path UserPath(const std::string& typed);
QString PathText(const std::filesystem::path& path);

}  // namespace parlomax::cli
