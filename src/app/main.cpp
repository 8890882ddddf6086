#include "app/MainUnit.h"
#include "app/ParlomaxApplication.h"
#include "app/StartOptions.h"
#include "audio/ExternalDecoder.h"
#include "catalogue/FolderCache.h"
#include "device/PasswordUnit.h"
#include "platform/keyring/PinKeyring.h"
#include "platform/shell/ExitSignals.h"
#include "platform/shell/PrivateWorkingDirectory.h"
#include "platform/shell/QtFolderBrowser.h"
#include "platform/shell/QtFolderChooser.h"
#include "platform/shell/QtMessageService.h"
#include "platform/sound/StkAudioOutput.h"
#include "platform/spreadsheet/SpreadsheetServer.h"
#include "platform/usb/CombinedDeviceLibrary.h"
#include "platform/usb/EmulatorDeviceLibrary.h"
#include "platform/usb/UsbDeviceLibrary.h"

#include <exception>
#include <memory>

using namespace parlomax;

namespace {

int Run(app::ParlomaxApplication& application) {
  shell::PrivateWorkingDirectory workingDirectory;
  shell::QtMessageService messages;
  shell::QtFolderChooser folders;
  spreadsheet::BuiltInAutomation automation;
  sound::StkAudioOutputFactory sound;
  shell::QtFolderBrowser browser;
  // Every way of reaching a telephone, in this order: telephones on the USB
  // cable first, then running emulator programs, which count as telephones.
  usb::CombinedDeviceLibrary devices;
  devices.AddBackend(std::make_unique<usb::UsbDeviceLibrary>());
  devices.AddBackend(std::make_unique<usb::EmulatorDeviceLibrary>());

  const std::string decoder = audio::FindDecoderProgram(
      QCoreApplication::applicationDirPath().toStdString());
  app::TMainForm mainForm(app::Platform{devices, messages, folders, automation, sound, browser,
                                        decoder, catalogue::FolderCache::DefaultFolder(),
                                        app::RememberedFolders::UserSettingsFile()});
  // Hidden until the telephone is opened.
  device::TPasswordDlg passwordDlg(mainForm.Link(), messages, mainForm);
  mainForm.SetPasswordDialog(&passwordDlg);
  // The same place the copy on plug-in looks for it.
  passwordDlg.SetRememberPin([](const QString& pin) { keyring::PinKeyring().Save(pin); });
  // A logout, Ctrl+C or kill ends the program as its exit button does (jobs
  // asked to stop, the telephone released), then leaves every event loop,
  // an open dialog's included; the working folder goes on the way out.
  shell::ExitSignals exitSignals([&mainForm] {
    mainForm.close();
    QCoreApplication::exit(0);
  });
  mainForm.show();
  const int result = application.exec();
  // Copy jobs still waiting on one of their messages are let go before the
  // window waits for them to end.
  messages.Shutdown();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto answered = app::AnswerWithoutWindow(argc, argv)) return *answered;
  sound::AskForShortSoundServerBuffering();
  app::ParlomaxApplication application(argc, argv);
  try {
    return Run(application);
  } catch (const std::exception& e) {
    app::ShowStandardExceptionMessage(QString::fromUtf8(e.what()));
  } catch (...) {
    app::ShowStandardExceptionMessage(QString());
  }
  return 1;
}
