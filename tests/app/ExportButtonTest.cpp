// The export button on the telephone's tab.
#include "FileBytes.h"
#include "QtPrinters.h"
#include "TempFolder.h"
#include "WindowStateSeam.h"
#include "WindowWithTelephone.h"
#include "app/ParlomaxApplication.h"
#include "platform/files/WriteFaults.h"
#include "platform/shell/QtMessageService.h"

#include <QApplication>
#include <QMessageBox>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace parlomax::app {
namespace {

class ExportButtonTest : public testing::WindowWithTelephone {
 protected:
  ExportButtonTest()
      : WindowWithTelephone({testing::MakeRecording(1200, 1), testing::MakeRecording(0, 2)}) {}
  QLineEdit* Edit(const char* name) { return form_.findChild<QLineEdit*>(name); }
  void SaveInto(const std::filesystem::path& folder) {
    folders_.answer = QString::fromStdString(folder.string());
    Button("BitBtnSave")->click();
  }

  testing::TempFolder folder_;
};

TEST_F(ExportButtonTest, WritesTheListIntoTheSaveFolderUnderTheNameInTheBox) {
  LogInAndList();
  SaveInto(folder_.Path());
  Button("BitBtnExport")->click();
  EXPECT_TRUE(std::filesystem::exists(folder_ / "电话列表List.xls"));
  EXPECT_EQ(messages_.Texts(), std::vector<QString>{"导出 Excel 结束！"});
  EXPECT_TRUE(Edit("EditFileList")->isEnabled());

  Edit("EditFileList")->setText(QString());
  Button("BitBtnExport")->click();
  EXPECT_TRUE(std::filesystem::exists(folder_ / "FileInfoList.xls"));
}

TEST_F(ExportButtonTest, AFailedSaveShowsTheErrorAndGivesTheNameBoxBack) {
  LogInAndList();
  SaveInto(folder_ / "gone");  // a folder that does not exist
  Button("BitBtnExport")->click();
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].caption, "Parlomax");
  EXPECT_EQ(messages_.Messages()[0].icon, shell::MessageIcon::Error);
  EXPECT_TRUE(Edit("EditFileList")->isEnabled());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "gone"));
}

TEST_F(ExportButtonTest, AFullDiskIsAFailedExportNeverFollowedByTheSuccessMessage) {
  LogInAndList();
  SaveInto(folder_.Path());
  files::FailWritesAfter(1000, ENOSPC);
  Button("BitBtnExport")->click();
  files::StopFailingWrites();
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0].icon, shell::MessageIcon::Error);
  EXPECT_TRUE(messages_.Messages()[0].text.endsWith("磁盘空间不足")) << messages_.Texts()[0].toStdString();
  EXPECT_FALSE(std::filesystem::exists(folder_ / "电话列表List.xls")) << "half a workbook under the name";
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
}

TEST_F(ExportButtonTest, AnEarlierListIsReplacedOnlyByAWholeListSavedWhole) {
  form_.TimerUSBConnectTimer();
  library_.FailReadAfter(3);  // the PIN, the count, the first header; the second fails
  Refresh();
  ASSERT_EQ(messages_.Messages().size(), 2u);  // "USB读数据错误", then what the list lacks
  EXPECT_EQ(messages_.Messages()[1].icon, shell::MessageIcon::Warning);
  EXPECT_TRUE(messages_.Texts()[1].contains("有 1 个录音")) << messages_.Texts()[1].toStdString();
  SaveInto(folder_.Path());
  const auto sheet = folder_ / "电话列表List.xls";
  const std::vector<std::uint8_t> old{'o', 'l', 'd'};
  std::ofstream(sheet) << "old";
  const auto exportSays = [&] {
    messages_.Clear();
    Button("BitBtnExport")->click();
    return messages_.Messages();
  };
  // A list with gaps: never over an earlier one; without one, only when the user says so.
  EXPECT_FALSE(exportSays().at(0).question);
  EXPECT_EQ(testing::FileBytes(sheet), old);
  std::filesystem::rename(sheet, folder_ / "kept");
  messages_.AnswerQuestionsWith(false);
  EXPECT_TRUE(exportSays().at(0).question);
  EXPECT_FALSE(std::filesystem::exists(sheet));
  messages_.AnswerQuestionsWith(true);
  std::filesystem::rename(folder_ / "kept", sheet);

  // A whole list on a full disk: the earlier one stays, and nothing beside it.
  Refresh();
  files::FailWritesAfter(1000, ENOSPC);
  const auto full = exportSays();
  files::StopFailingWrites();
  ASSERT_EQ(full.size(), 2u);
  EXPECT_TRUE(full[0].question);
  EXPECT_EQ(full[1].icon, shell::MessageIcon::Error);
  EXPECT_EQ(testing::FileBytes(sheet), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1);
  EXPECT_EQ(exportSays().back().text, "导出 Excel 结束！");
  EXPECT_NE(testing::FileBytes(sheet), old);
}

TEST_F(ExportButtonTest, UnderQtsChineseTheBoxesAndASaveFailureSpeakChinese) {
  ASSERT_TRUE(InstallChineseQtTranslations(*QApplication::instance()));
  shell::QtMessageService boxes;
  std::thread worker([&] { boxes.Warn(QStringLiteral("全部文件上传结束")); });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(testing::PumpUntil([&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    }
    return box != nullptr;
  }));
  EXPECT_EQ(box->button(QMessageBox::Ok)->text(), "确定");
  box->button(QMessageBox::Ok)->click();
  worker.join();

  LogInAndList();
  SaveInto(folder_ / "gone");
  Button("BitBtnExport")->click();
  ASSERT_EQ(messages_.Texts().size(), 1u);
  const QString text = messages_.Texts()[0];
  EXPECT_TRUE(text.startsWith("写入 ") && text.endsWith("失败：没有这个文件或目录")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromStdString((folder_ / "gone" / "电话列表List.xls").string())))
      << text.toStdString();
}

TEST_F(ExportButtonTest, PlaybackOrConversionRefusesTheExport) {
  LogInAndList();
  SaveInto(folder_.Path());
  testing::StateOf(form_).PlayState = PlayState::Playing;
  Button("BitBtnExport")->click();
  testing::StateOf(form_).PlayState = PlayState::Stopped;
  testing::StateOf(form_).ConvertAllRunning = true;
  Button("BitBtnExport")->click();
  EXPECT_EQ(messages_.Texts(), (std::vector<QString>{"请先停止播放！", "请先停止转换！"}));
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Path()));
}

}  // namespace
}  // namespace parlomax::app
