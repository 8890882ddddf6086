// parlomax-phone: a recording telephone in software. While it runs, Parlomax
// sees a telephone on the cable; stopping it pulls the cable out.
#include "phone/Content.h"
#include "phone/PhoneServer.h"
#include "platform/usb/EmulatorFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

using namespace parlomax;

namespace {

phone::PhoneServer* runningServer = nullptr;

void StopOnSignal(int) {
  if (runningServer) runningServer->Stop();
}

phone::Pin ParsePin(const QString& text) {
  if (text.size() != 4 || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })) {
    throw std::runtime_error("the PIN must be four digits, not '" + text.toStdString() + "'");
  }
  phone::Pin pin;
  for (int i = 0; i < 4; ++i) pin[i] = static_cast<std::uint8_t>(text[i].digitValue());
  return pin;
}

unsigned ParseCount(const QString& text, const char* what) {
  bool ok = false;
  const unsigned value = text.toUInt(&ok);
  if (!ok) throw std::runtime_error(std::string(what) + " must be a whole number, not '" +
                                    text.toStdString() + "'");
  return value;
}

std::shared_ptr<phone::TelephoneModel> LoadContent(const QCommandLineParser& options, phone::Pin pin) {
  const int sources = options.isSet("wav-dir") + options.isSet("spx-dir") + options.isSet("image") +
                      options.isSet("generate");
  if (sources > 1) throw std::runtime_error("give only one of --wav-dir, --spx-dir, --image, --generate");
  if (options.isSet("image")) return phone::LoadImage(options.value("image").toStdString(), pin);
  std::vector<phone::Recording> recordings;
  if (options.isSet("wav-dir")) {
    recordings = phone::LoadWavFolder(options.value("wav-dir").toStdString());
  } else if (options.isSet("spx-dir")) {
    recordings = phone::LoadSpxFolder(options.value("spx-dir").toStdString());
  } else {
    const unsigned count = options.isSet("generate") ? ParseCount(options.value("generate"), "--generate") : 12;
    if (count > 65535) throw std::runtime_error("a telephone holds at most 65535 recordings");
    recordings = phone::GenerateRecordings(count, ParseCount(options.value("seed"), "--seed"));
  }
  if (recordings.size() > 65535) throw std::runtime_error("a telephone holds at most 65535 recordings");
  return std::make_shared<phone::TelephoneModel>(pin, recordings);
}

phone::FaultPlan ParseFaults(const QCommandLineParser& options) {
  phone::FaultPlan faults;
  for (const auto& v : options.values("fail")) faults.AddRule(phone::FaultRule::Kind::Fail, v.toStdString());
  for (const auto& v : options.values("stall")) faults.AddRule(phone::FaultRule::Kind::Stall, v.toStdString());
  for (const auto& v : options.values("short")) faults.AddRule(phone::FaultRule::Kind::Short, v.toStdString());
  if (options.isSet("vanish-after")) faults.SetVanishAfter(ParseCount(options.value("vanish-after"), "--vanish-after"));
  if (options.isSet("latency")) faults.SetLatencyMs(ParseCount(options.value("latency"), "--latency"));
  return faults;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("parlomax-phone"));
  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral(
      "A recording telephone in software. While it runs, Parlomax sees a telephone on the USB "
      "cable; stop it (Ctrl+C) to pull the cable out. Like a real telephone it serves one program "
      "at a time: any other is told it is busy until that program closes it or ends.\n"
      "Commands: 1 count, 2 header, 3 memory, 4 PIN."));
  options.addHelpOption();
  options.addOptions({
      {"pin", "The telephone's four-digit PIN.", "DIGITS", "9174"},
      {"wav-dir", "Recordings from the WAV files of DIR (TYPE_NUMBER_MMDDhhmm.wav names give the call).", "DIR"},
      {"spx-dir", "Recordings from the .spx files of DIR.", "DIR"},
      {"image", "Recordings from a saved memory image.", "FILE"},
      {"generate", "N generated recordings (default: 12 when no other source is given).", "N"},
      {"seed", "Seed for --generate.", "S", "1"},
      {"save-image", "Save the memory image to FILE as well.", "FILE"},
      {"folder", "Folder of the telephones' sockets.", "DIR",
       QString::fromStdString(usb::DefaultEmulatorFolder().string())},
      {"fail", "Ignore command CMD (its n-th arrival only with @N): the read times out.", "CMD[@N]"},
      {"stall", "Answer command CMD MS milliseconds late (default 15000).", "CMD[@N][:MS]"},
      {"short", "Answer command CMD with only BYTES bytes.", "CMD[@N]:BYTES"},
      {"vanish-after", "Unplug after N commands.", "N"},
      {"latency", "Add MS milliseconds to every answer.", "MS"},
  });
  options.process(application);

  try {
    const phone::Pin pin = ParsePin(options.value("pin"));
    const auto model = LoadContent(options, pin);
    if (options.isSet("save-image")) phone::SaveImage(*model, options.value("save-image").toStdString());
    // The default as the system gives it: a runtime folder whose name is not
    // UTF-8 would not survive the trip through the option's text.
    const std::filesystem::path folder =
        options.isSet("folder")
            ? std::filesystem::path(QFile::encodeName(options.value("folder")).toStdString())
            : usb::DefaultEmulatorFolder();
    phone::PhoneServer server(model, ParseFaults(options), folder);

    runningServer = &server;
    std::signal(SIGINT, StopOnSignal);
    std::signal(SIGTERM, StopOnSignal);
    std::printf("Telephone %d plugged in: %u recordings, PIN %s. Ctrl+C pulls the cable out.\n",
                server.Number(), model->Count(), qPrintable(options.value("pin")));
    std::fflush(stdout);
    const auto end = server.Serve();
    runningServer = nullptr;
    std::printf(end == phone::PhoneServer::End::Vanished ? "Telephone vanished as told.\n"
                                                         : "Telephone unplugged.\n");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "parlomax-phone: %s\n", e.what());
    return 1;
  }
}
