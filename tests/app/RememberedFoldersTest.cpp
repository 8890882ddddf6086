// The window's folders between runs, and the first save folder, with HOME
// and the settings folder in a temporary place.
#include "QtPrinters.h"
#include "TempFolder.h"
#include "ThreadsNamed.h"
#include "WindowWithTelephone.h"

#include <QLineEdit>

#include <sys/stat.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace parlomax::app {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const fs::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// HOME and XDG_CONFIG_HOME of a test, set before its window is made.
class TempHome {
 protected:
  TempHome() : savedHome_(qgetenv("HOME")), savedConfig_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", QByteArray::fromStdString(home_.Path().string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home_ / "config").string()));
  }
  ~TempHome() {
    qputenv("HOME", savedHome_);
    if (savedConfig_.isEmpty())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", savedConfig_);
  }

  testing::TempFolder home_;
  QByteArray savedHome_, savedConfig_;
};

class RememberedFoldersTest : public TempHome, public testing::WindowWithTelephone {
 protected:
  RememberedFoldersTest()
      : WindowWithTelephone({testing::MakeRecording(700, 0), testing::MakeRecording(300, 1)},
                            "speex", RememberedFolders::UserSettingsFile()) {}

  // What a window of the next run shows in `edit`.
  QString NextRunShows(const char* edit) {
    TMainForm next(Platform{library_,
                            messages_,
                            folders_,
                            automation_,
                            sound_,
                            browser_,
                            "speex",
                            {},
                            RememberedFolders::UserSettingsFile()});
    return next.findChild<QLineEdit*>(edit)->text();
  }
};

struct Chosen {
  void (TMainForm::*click)();
  const char* edit;
  bool save;  // the save box ends in "/" and falls back to ~/通话录音/
};

TEST_F(RememberedFoldersTest, AChosenFolderIsWhereTheNextRunStartsUntilItHasGone) {
  const fs::path settings = home_ / "config/parlomax/parlomax.conf";
  for (const auto& c : {Chosen{&TMainForm::BitBtnSaveClick, "EditSave", true},
                        Chosen{&TMainForm::BitBtn3Click, "EditInput", false},
                        Chosen{&TMainForm::BitBtnOutputClick, "EditOutput", false}}) {
    SCOPED_TRACE(c.edit);
    const fs::path chosen = home_ / (std::string("chosen-") + c.edit);
    fs::create_directories(chosen);
    folders_.answer = QString::fromStdString(chosen.string());
    (form_.*c.click)();
    ASSERT_TRUE(testing::WaitForFolderListing(form_));
    const QString shown = *folders_.answer + (c.save ? "/" : "");
    EXPECT_EQ(NextRunShows(c.edit), shown);
    EXPECT_EQ(NextRunShows(c.edit), shown) << "a run that changes nothing keeps it";
    EXPECT_EQ(ModeOf(settings), 0600u);
    EXPECT_EQ(ModeOf(settings.parent_path()), 0700u);

    fs::remove(chosen);
    messages_.Clear();
    const QString fresh =
        c.save ? QString::fromStdString(home_.Path().string()) + "/通话录音/" : QString();
    EXPECT_EQ(NextRunShows(c.edit), fresh);
    EXPECT_TRUE(messages_.Messages().empty()) << "forgotten without a word";
    fs::create_directories(chosen);
    EXPECT_EQ(NextRunShows(c.edit), fresh) << "and for good";
  }
}

// The first save folder is the one the nightly backup fills; it is made,
// private, only when a copy goes into it. The PC tab then shows it, unless
// it shows a folder already; the closing message says where the files went.
TEST_F(RememberedFoldersTest, TheFirstCopyGoesIntoAPrivateCallFolderThePcTabThenShows) {
  const fs::path calls = home_ / "通话录音";
  const QString callsText = QString::fromStdString(calls.string());
  EXPECT_EQ(form_.findChild<QLineEdit*>("EditSave")->text(), callsText + "/");
  auto* pcFolder = form_.findChild<QLineEdit*>("EditInput");
  for (const QString& before : {QString(), QString::fromStdString(home_.Path().string())}) {
    SCOPED_TRACE(before.toStdString());
    pcFolder->setText(before);
    EXPECT_FALSE(fs::exists(calls));
    LogInAndList();
    messages_.Clear();
    Button("BitBtnUploadAll")->click();
    ASSERT_TRUE(testing::PumpUntilCopyJobsEnded(20000));
    ASSERT_TRUE(
        testing::PumpUntil([&] { return Button("BitBtnUploadAll")->text() == "上传所有"; }));
    EXPECT_EQ(ModeOf(calls), 0700u);
    EXPECT_EQ(
        std::count_if(fs::directory_iterator(calls), {},
                      [](const fs::directory_entry& e) { return e.path().extension() == ".spx"; }),
        2);
    EXPECT_EQ(pcFolder->text(), before.isEmpty() ? callsText : before);
    EXPECT_EQ(messages_.Messages(), (std::vector<testing::RecordingMessageService::Message>{
                                        {"Waring", "全部文件上传结束", shell::MessageIcon::Warning,
                                         false, callsText, callsText}}));
    fs::remove_all(calls);
    Button("BitBtnUploadAll")->setText("上传全部");
  }
}

}  // namespace
}  // namespace parlomax::app
