// parlomax-cli as a script or a timer runs it, against the parlomax-phone
// program: exit statuses, what it prints and the files it leaves.
#include "CliWithEmulator.h"
#include "cli/TextColumns.h"
#include "catalogue/RecordingTexts.h"
#include "phone/Content.h"
#include "platform/speex/SpeexCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <set>

#include <gtest/gtest.h>


namespace parlomax {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
// The support's helpers (FileBytes, FileOf, Spx, ...) by their own names.
using namespace testing;

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class CliTest : public testing::CliWithEmulator {};

TEST_F(CliTest, ListGivesTheSevenTextsAndTheDecodedFields) {
  const auto recordings = phone::GenerateRecordings(5, 7);
  const phone::TelephoneModel model({9, 1, 7, 4}, recordings);
  auto phone = PlugIn({"--generate", "5", "--seed", "7"});

  const auto text = Cli({"list"});
  ASSERT_EQ(text.status, 0) << text.err;
  std::string expected = "序号\t文件名\t电话号码\t时间\t属性\t文件长度\t时长\n";
  for (std::uint16_t i = 0; i < 5; ++i) {
    const auto header = model.Header(i);
    const auto texts = catalogue::RecordingColumnTexts(header);
    expected += QStringList{QString::number(i + 1), catalogue::RecordingFileName(header, i + 1u), texts.telephoneNumber,
                            texts.time, texts.type, texts.size, texts.duration}
                    .join(u'\t')
                    .toStdString() + "\n";
  }
  EXPECT_EQ(text.out, expected);

  const auto json = Cli({"list", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  QJsonParseError error;
  const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error).array();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
  ASSERT_EQ(rows.size(), 5);
  for (int i = 0; i < 5; ++i) {
    const QJsonObject row = rows[i].toObject();
    const auto& call = recordings[i].call;
    EXPECT_EQ(row["record"].toInt(), i + 1);
    EXPECT_EQ(row["type"].toInt(), static_cast<int>(call.callType));
    EXPECT_EQ(row["month"].toInt(), static_cast<int>(call.month));
    EXPECT_EQ(row["day"].toInt(), static_cast<int>(call.day));
    EXPECT_EQ(row["hour"].toInt(), static_cast<int>(call.hour));
    EXPECT_EQ(row["minute"].toInt(), static_cast<int>(call.minute));
    EXPECT_EQ(row["number"].toString(), call.telephoneNumber);
    EXPECT_EQ(row["payload_length"].toInteger(), static_cast<qint64>(recordings[i].payload.size()));
    EXPECT_EQ(row["start_address"].toInteger(), catalogue::StartAddress(model.Header(i)));
    EXPECT_EQ(row["duration_seconds"].toInteger(), static_cast<qint64>(recordings[i].payload.size() / 1000 + (recordings[i].payload.empty() ? 0 : 1)));
    EXPECT_EQ(row["file_name"].toString(), catalogue::RecordingFileName(model.Header(i), i + 1u));
    EXPECT_EQ(row["texts"].toObject()["文件名"].toString(), row["file_name"].toString());
  }
}

TEST_F(CliTest, CopyIsByteExactAndCopyNewTakesOnlyWhatIsMissingOrChanged) {
  // The telephone's recordings as files, so that two of them can be changed.
  const fs::path source = Folder("telephone");
  fs::create_directories(source);
  const phone::TelephoneModel generated({9, 1, 7, 4}, phone::GenerateRecordings(6, 3));
  for (std::uint16_t i = 0; i < 6; ++i) WriteFile(FileOf(source, generated, i), Spx(generated, i));
  auto phone = PlugIn({"--spx-dir", source.string()});
  const phone::TelephoneModel before({9, 1, 7, 4}, phone::LoadSpxFolder(source));

  const fs::path saved = Folder("通话录音");
  const auto all = Cli({"copy", saved.string()});
  ASSERT_EQ(all.status, 0) << all.err;
  for (std::uint16_t i = 0; i < 6; ++i) EXPECT_EQ(FileBytes(FileOf(saved, before, i)), Spx(before, i)) << i;
  // Besides the recordings, the ledger's folder and SHA256SUMS.
  EXPECT_EQ(std::distance(fs::directory_iterator(saved), {}), 6 + 2);
  EXPECT_EQ(Count(all.err, "\n"), 7) << all.err;  // a line per recording and the summary

  const auto nothing = Cli({"--pin-file", "/dev/null", "copy", saved.string(), "--new"}, {"PARLOMAX_PIN=9174"});
  EXPECT_EQ(nothing.status, 2) << "a PIN file beats the environment, even an empty one";
  const auto again = Cli({"copy", saved.string(), "--new"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "parlomax-cli: 没有新的录音：6 个录音都已复制过，什么也没有复制\n");

  // The last two in the telephone's order shrink: their lengths change, and
  // the last one's start address with it. They are other calls now, and the
  // files of the earlier ones are never written over: the new ones take new
  // names, and the run says so.
  phone.reset();
  auto files = std::vector<fs::path>(fs::directory_iterator(source), {});
  std::sort(files.begin(), files.end());
  for (const auto& file : {files[4], files[5]}) fs::resize_file(file, fs::file_size(file) - 500);
  phone = PlugIn({"--spx-dir", source.string()});
  const phone::TelephoneModel after({9, 1, 7, 4}, phone::LoadSpxFolder(source));
  const auto changed = Cli({"copy", saved.string(), "--new"});
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_EQ(Count(changed.err, "跳过 4 个已复制过的"), 1) << changed.err;
  for (std::uint16_t i = 0; i < 6; ++i)
    EXPECT_EQ(FileBytes(FileOf(saved, before, i)), Spx(before, i)) << i;
  for (std::uint16_t i : {4, 5}) {
    const fs::path own = FileOf(saved, after, i);
    const fs::path renamed = saved / (own.stem().string() + "-2.spx");
    EXPECT_EQ(FileBytes(renamed), Spx(after, i)) << i;
    EXPECT_EQ(Count(changed.err, "保存为 " + renamed.string()), 1) << changed.err;
  }
  EXPECT_EQ(Cli({"copy", saved.string(), "--new"}).err,
            "parlomax-cli: 没有新的录音：6 个录音都已复制过，什么也没有复制\n");

  // Chosen recordings only, by the list's numbers.
  const auto chosen = Cli({"copy", Folder("chosen").string(), "5", "2"});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder("chosen")), {}), 2 + 2);
  EXPECT_EQ(FileBytes(FileOf(Folder("chosen"), after, 1)), Spx(after, 1));
  EXPECT_EQ(FileBytes(FileOf(Folder("chosen"), after, 4)), Spx(after, 4));
  EXPECT_EQ(Cli({"copy", Folder("chosen").string(), "7"}).status, 1);
}

TEST_F(CliTest, ATelephoneVanishingMidCopyEndsWithFourAndKeepsWholeChunks) {
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(6, 3));
  ASSERT_GT(model.Payload(1).size(), 1000000u);  // an hour-long second recording
  // The PIN, the count, six headers, the first recording (a header and
  // eight chunks), the second one's header and a thousand of its chunks.
  auto phone = PlugIn({"--generate", "6", "--seed", "3", "--vanish-after", "1018"});
  const auto copy = Cli({"copy", Folder("saved").string()});
  EXPECT_EQ(copy.status, 4) << copy.err;
  EXPECT_NE(copy.err.find("电话已断开"), std::string::npos) << copy.err;
  EXPECT_EQ(FileBytes(FileOf(Folder("saved"), model, 0)), Spx(model, 0));
  const Bytes partial = FileBytes(FileOf(Folder("saved"), model, 1));
  const Bytes full = Spx(model, 1);
  ASSERT_GT(partial.size(), 19u + 256 * 100);
  ASSERT_LT(partial.size(), full.size());
  EXPECT_EQ((partial.size() - 19) % 256, 0u);
  EXPECT_TRUE(std::equal(partial.begin(), partial.end(), full.begin()));
  EXPECT_FALSE(fs::exists(FileOf(Folder("saved"), model, 2)));
}

TEST_F(CliTest, NoTelephoneNoPinAPinFileOthersCanReadAndAWrongPinAreRefused) {
  const auto alone = Cli({"list"});
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.err.find("没有找到电话"), std::string::npos) << alone.err;

  auto phone = PlugIn({"--generate", "3"});
  const auto noPin = Cli({"list"}, {});
  EXPECT_EQ(noPin.status, 2);
  EXPECT_NE(noPin.err.find("PARLOMAX_PIN"), std::string::npos) << noPin.err;

  const fs::path pinFile = Folder("pin");
  WriteFile(pinFile, {'9', '1', '7', '4', '\n'});
  fs::permissions(pinFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  const auto readable = Cli({"--pin-file", pinFile.string(), "list"}, {});
  EXPECT_EQ(readable.status, 2);
  EXPECT_NE(readable.err.find("chmod 600"), std::string::npos) << readable.err;
  fs::permissions(pinFile, fs::perms::owner_read | fs::perms::owner_write);
  const auto fromFile = Cli({"list", "--pin-file", pinFile.string()}, {});
  EXPECT_EQ(fromFile.status, 0) << fromFile.err;
  EXPECT_EQ(Count(fromFile.out, "\n"), 4);

  const auto wrong = Cli({"copy", Folder("saved").string()}, {"PARLOMAX_PIN=9175"});
  EXPECT_EQ(wrong.status, 3);
  EXPECT_EQ(wrong.err, "parlomax-cli: 密码错误，无法登录\n");
  EXPECT_FALSE(fs::exists(Folder("saved")));
  EXPECT_EQ(Cli({"list"}, {"PARLOMAX_PIN=917"}).status, 3);
  EXPECT_EQ(Cli({"list", "--device", "2"}).status, 2);
  EXPECT_EQ(Cli({"list", "9174"}).status, 1) << "a PIN on the command line is not taken";
}

TEST_F(CliTest, ConvertDecodesEachRecordingInOneRun) {
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  // Real sound, a minute at most each; one ends in the middle of a frame.
  const auto recordings = phone::GenerateRecordings(3, 5);
  std::vector<std::pair<std::string, Bytes>> files{{"b.SPX", Bytes{1, 2, 3, 4, 5}}};
  for (std::size_t i = 0; i < recordings.size(); ++i) {
    const auto& payload = recordings[i].payload;
    Bytes bytes(19, 0);
    bytes.insert(bytes.end(), payload.begin(), payload.begin() + std::min<std::size_t>(payload.size(), i == 0 ? 1234 : 60000));
    files.emplace_back("r" + std::to_string(i) + ".spx", bytes);
  }
  ASSERT_EQ(files[1].second.size(), 19u + 1234);
  for (const auto& [name, bytes] : files) WriteFile(spx / name, bytes);

  const auto run = Cli({"convert", spx.string(), Folder("wav").string(), "--quiet"}, {});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const auto& [name, bytes] : files) {
    const fs::path wav = Folder("wav") / (name + ".wav");
    const fs::path frames = Folder(name + ".frames");
    const auto read = testing::RunProgram(
        {"/usr/bin/python3", "-c",
         "import sys, wave\n"
         "w = wave.open(sys.argv[1])\n"
         "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())\n"
         "open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))\n",
         wav.string(), frames.string()},
        {});
    ASSERT_EQ(read.status, 0) << read.err;
    const std::size_t payload = bytes.size() >= 19 ? bytes.size() - 19 : 0;
    EXPECT_EQ(read.out, "1 2 8000 " + std::to_string(payload * 8) + "\n") << name;
    std::vector<std::int16_t> samples(payload * 8);
    if (payload > 0) speex::SpeexDecoder().DecodeInto(std::span(bytes).subspan(19), samples.data());
    const Bytes expected(reinterpret_cast<const std::uint8_t*>(samples.data()),
                         reinterpret_cast<const std::uint8_t*>(samples.data() + samples.size()));
    EXPECT_TRUE(FileBytes(frames) == expected) << name;
  }
}

// --format picks what convert makes; an ordinary player's prober accepts
// each file, and a format it does not make is refused as every other
// mistake on the line is (status 1), leaving nothing.
TEST_F(CliTest, ConvertMakesTheFormatAskedFor) {
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  const auto recording = phone::GenerateRecordings(1, 5)[0];
  Bytes bytes(19, 0);
  bytes.insert(bytes.end(), recording.payload.begin(), recording.payload.end());
  WriteFile(spx / "03171402_0001.spx", bytes);
  struct Case {
    std::vector<std::string> format;
    std::string made;  // empty: none
    std::string codec;
    int status;
  };
  for (const Case& c : {Case{{}, "03171402_0001.spx.wav", "pcm_s16le", 0},
                        Case{{"--format", "mp3"}, "03171402_0001.mp3", "mp3", 0},
                        Case{{"--format=opus"}, "03171402_0001.opus", "opus", 0},
                        Case{{"--format", "flac"}, "", "", 1}}) {
    const fs::path out = Folder("out" + std::to_string(c.status) + c.codec);
    std::vector<std::string> words{"convert", spx.string(), out.string(), "--quiet"};
    words.insert(words.begin() + 1, c.format.begin(), c.format.end());
    const auto run = Cli(words, {});
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.made.empty()) {
      EXPECT_NE(run.err.find("--format 需要 wav、mp3 或 opus：flac"), std::string::npos) << run.err;
      EXPECT_FALSE(fs::exists(out));
      continue;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
      names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{c.made});
    const auto probe =
        testing::RunProgram({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                             "stream=codec_name", "-of", "csv=p=0", (out / c.made).string()},
                            {});
    EXPECT_EQ(probe.status, 0) << probe.err;
    EXPECT_EQ(probe.out, c.codec + "\n");
  }
}

TEST_F(CliTest, FindListsTheFoldersMatchingRecordingsByTheirNumbersInTheList) {
  const fs::path spx = Folder("spx");
  fs::create_directories(spx);
  const auto recording = [](unsigned type, unsigned month, unsigned day, const char* number, std::uint32_t length,
                            std::size_t held) {
    const auto header = catalogue::EncodeRecordingHeader({type, month, day, 14, 2, number, 0, length});
    Bytes bytes(header.begin(), header.end());
    bytes.resize(bytes.size() + held, 0x5a);
    return bytes;
  };
  // In the list's order: case aside, by name. The last but one was cut short.
  WriteFile(spx / "03171402_0001.spx", recording(0, 3, 17, "13800138000", 2500, 2500));
  WriteFile(spx / "a.spx", recording(1, 12, 25, "02188886666", 61000, 61000));
  WriteFile(spx / "B0105.SPX", recording(2, 1, 5, "", 0, 0));
  WriteFile(spx / "cut.spx", recording(0, 3, 18, "5550138", 10000, 1000));
  WriteFile(spx / "short.spx", {1, 2, 3});
  WriteFile(spx / "notes.txt", recording(0, 3, 17, "13800138000", 0, 0));

  const auto numbers = [](const std::string& out) {
    std::string found;
    for (const QString& line : QString::fromStdString(out).split(u'\n', Qt::SkipEmptyParts).mid(1)) {
      found += line.section(u'\t', 0, 0).toStdString();
    }
    return found;
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> finds{
      {{"138"}, "14"},          {{"来电"}, "14"},          {{"3-17 来电"}, "1"},
      {{"3月17日", "in"}, "1"}, {{"0001"}, "1"},           {{"SHORT"}, "5"},
      {{"--kind", "out"}, "2"}, {{"--kind=录音"}, "3"},    {{"--since", "3-18"}, "24"},
      {{"--until", "3/17"}, "13"}, {{"--since", "12-1", "--until", "1-31"}, "23"},
      {{"--longer-than", "2"}, "12"},  // the cut one lasts what it holds
      {{"138", "--kind", "in", "--until", "3-17"}, "1"},
  };
  for (const auto& [words, expected] : finds) {
    std::vector<std::string> arguments{"find", spx.string()};
    arguments.insert(arguments.end(), words.begin(), words.end());
    const auto run = Cli(arguments, {});
    EXPECT_EQ(run.status, 0) << words.front() << run.err;
    EXPECT_EQ(numbers(run.out), expected) << words.front();
  }

  const auto cut = Cli({"find", spx.string(), "5550"}, {});
  auto texts = catalogue::RecordingColumnTexts(catalogue::EncodeRecordingHeader({0, 3, 18, 14, 2, "5550138"}));
  texts.size = catalogue::SizeText(1000);
  texts.duration = catalogue::DurationText(2);
  EXPECT_EQ(cut.out, "序号\t文件名\t电话号码\t时间\t属性\t文件长度\t时长\n" +
                         catalogue::RowTexts("4", "cut.spx", texts).join(u'\t').toStdString() + "\n");

  const auto json = Cli({"find", spx.string(), "--json", "138"}, {});
  ASSERT_EQ(json.status, 0) << json.err;
  const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).array();
  ASSERT_EQ(rows.size(), 2) << json.out;
  QJsonObject last = rows[1].toObject();
  EXPECT_EQ(last.take("texts").toObject()["序号"].toString(), "4");
  const QJsonObject expected{{"row", 4},    {"file_name", "cut.spx"}, {"type", 0},           {"month", 3},
                             {"day", 18},   {"hour", 14},             {"minute", 2},         {"number", "5550138"},
                             {"payload_length", 1000},                {"duration_seconds", 2}};
  EXPECT_EQ(last, expected) << QJsonDocument(last).toJson().toStdString();
  const auto headless = QJsonDocument::fromJson(QByteArray::fromStdString(Cli({"find", spx.string(), "--json", "short"}, {}).out));
  EXPECT_TRUE(headless.array()[0].toObject()["type"].isNull()) << headless.toJson().toStdString();

  const auto none = Cli({"find", spx.string(), "138", "去电"}, {});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
  const auto nothing = Cli({"find", spx.string(), "--json", "--quiet", "nothing"}, {});
  EXPECT_EQ(nothing.status, 1);
  EXPECT_EQ(nothing.err, "");
  EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(nothing.out)).array().isEmpty()) << nothing.out;
  EXPECT_EQ(Cli({"find", Folder("empty").string()}, {}).status, 2);
  EXPECT_EQ(Cli({"find", (spx / "a.spx").string()}, {}).status, 2);
  const auto missing = Cli({"find", Folder("missing").string()}, {});
  EXPECT_EQ(missing.err, "parlomax-cli: 无法读取目录 " + Folder("missing").string() + "：没有这个文件或目录\n");
  fs::create_directories(Folder("empty"));
  EXPECT_EQ(Cli({"find", Folder("empty").string()}, {}).status, 1);
  EXPECT_EQ(Cli({"find", spx.string(), "--since", "2-30x"}, {}).status, 1);
}

TEST_F(CliTest, ExportWritesTheListsSheetAndReplacesAFileOnlyWhenForced) {
  auto phone = PlugIn({"--generate", "4", "--seed", "2"});
  const fs::path sheet = Folder("录音列表.xls");
  WriteFile(sheet, {'o', 'l', 'd'});
  const auto refused = Cli({"export", sheet.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
  EXPECT_EQ(FileBytes(sheet), (Bytes{'o', 'l', 'd'}));

  const auto forced = Cli({"export", "--force", sheet.string()});
  ASSERT_EQ(forced.status, 0) << forced.err;
  const auto read = testing::RunProgram({"/usr/bin/python3", PARLOMAX_SOURCE_DIR "/tests/export/read_xls.py", sheet.string(), "9"}, {});
  ASSERT_EQ(read.status, 0) << read.err;
  const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(read.out)).object();
  EXPECT_EQ(report["nrows"].toInt(), 5);
  EXPECT_EQ(report["ncols"].toInt(), 7);
  EXPECT_EQ(report["font"].toObject()["name"].toString(), "MS Sans Serif");
  EXPECT_EQ(report["font"].toObject()["height"].toInt(), 160);  // 8 points
  const auto list = QString::fromStdString(Cli({"list"}).out).split(u'\n', Qt::SkipEmptyParts);
  const QJsonArray rows = report["first_rows"].toArray();
  ASSERT_EQ(rows.size(), list.size());
  for (int r = 0; r < rows.size(); ++r) {
    QStringList cells;
    for (const auto& cell : rows[r].toArray()) cells.push_back(cell.toString());
    EXPECT_EQ(cells.join(u'\t'), list[r]);
  }
}

TEST_F(CliTest, ANameThatIsNotUtf8IsWrittenUnderItsOwnBytesAndShownWithStandIns) {
  auto phone = PlugIn({"--generate", "2"});
  const fs::path folder = Folder("\xff录音");
  fs::create_directories(folder);
  const fs::path sheet = folder / "list\xfe.xls";
  const auto run = Cli({"export", sheet.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<fs::path> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<fs::path>{"list\xfe.xls"});
  EXPECT_NE(run.err.find("\xef\xbf\xbd录音/list\xef\xbf\xbd.xls"), std::string::npos) << run.err;
  EXPECT_EQ(Cli({"export", sheet.string()}).status, 1) << "the file is there under its own name";
}

TEST_F(CliTest, AResultThatCannotBeWrittenIsAFailureSaidOnStandardError) {
  auto phone = PlugIn({"--generate", "3"});
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"list"},
                                                    {"list", "--json"},
                                                    {"doctor"},
                                                    {"--help"},
                                                    {"export", "--help"},
                                                    {"--version"}}) {
    SCOPED_TRACE(arguments.front() + " " + arguments.back());
    std::vector<std::string> argv{PARLOMAX_CLI_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess run(
        argv, {Environment({"PARLOMAX_PIN=9174"}), "/dev/full", Folder("err").string(), true});
    EXPECT_EQ(run.Wait(), 1);
    const Bytes said = FileBytes(Folder("err"));
    EXPECT_EQ(std::string(said.begin(), said.end()), "parlomax-cli: 无法写出结果：磁盘空间不足\n");
  }
  // A closed output is no place for a list either; nor does the list land in the next file opened.
  const auto closed = RunProgram({"/bin/sh", "-c", "exec \"$0\" list >&-", PARLOMAX_CLI_PROGRAM},
                                 Environment({"PARLOMAX_PIN=9174"}));
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "parlomax-cli: 无法写出结果：标准输出已经关闭\n");
}

TEST_F(CliTest, HelpAndAListOnATerminalLineUpByTheCellsTheirTextsTake) {
  // Every entry's text starts in one column of the page, in cells (a Chinese
  // character is two).
  for (const char* command : {"list", "copy", "find", "export"}) {
    const auto help = Cli({command, "--help"});
    ASSERT_EQ(help.status, 0);
    std::set<int> columns;
    for (const QString& line : QString::fromStdString(help.out).split(u'\n')) {
      // An entry: two blanks, its term, blanks, its text.
      if (!line.startsWith(QStringLiteral("  -")) && !line.startsWith(QStringLiteral("  编号"))) continue;
      const qsizetype text = line.indexOf(QRegularExpression(QStringLiteral("\\S"), QRegularExpression::NoPatternOption),
                                          line.indexOf(QStringLiteral("  "), 2));
      columns.insert(cli::DisplayWidth(line.left(text)));
    }
    EXPECT_EQ(columns.size(), 1u) << command << "\n" << help.out;
  }

  // On a terminal the list's columns line up; piped, they are tab-separated.
  auto phone = PlugIn({"--generate", "4", "--seed", "7"});
  const auto piped = Cli({"list"});
  EXPECT_NE(piped.out.find('\t'), std::string::npos);
  const auto shown = testing::RunProgram({"/usr/bin/script", "-qec", std::string(PARLOMAX_CLI_PROGRAM) + " list", "/dev/null"},
                                         Environment({"PARLOMAX_PIN=9174"}));
  ASSERT_EQ(shown.status, 0) << shown.out << shown.err;
  const QStringList lines = QString::fromStdString(shown.out).remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 5) << shown.out;
  EXPECT_EQ(shown.out.find('\t'), std::string::npos);
  // The time column ("时间", then " 03月17日 14:02" trimmed) starts at one cell on every line.
  std::set<int> timeColumn;
  for (const QString& line : lines) {
    const qsizetype at = line.indexOf(QRegularExpression(QStringLiteral("时间|\\d\\d月")));
    ASSERT_GE(at, 0) << line.toStdString();
    timeColumn.insert(cli::DisplayWidth(line.left(at)));
  }
  EXPECT_EQ(timeColumn.size(), 1u) << shown.out;
}

TEST_F(CliTest, TheDoctorSaysThereIsNoTelephoneOrFindsTheEmulatorThatAnswers) {
  const auto none = Cli({"doctor"}, {});
  EXPECT_EQ(none.status, 2) << none.out << none.err;
  EXPECT_NE(none.out.find("模拟电话：" + Emulators().string() + " 里没有正在运行的模拟电话"), std::string::npos) << none.out;
  EXPECT_NE(none.out.find("结论：没有找到电话。"), std::string::npos) << none.out;

  auto phone = PlugIn({"--generate", "2", "--pin", "2468"});
  const auto found = Cli({"doctor"}, {});
  EXPECT_EQ(found.status, 0) << found.out << found.err;
  EXPECT_NE(found.out.find("回答了密码请求"), std::string::npos) << found.out;
  EXPECT_EQ(found.out.find("2468"), std::string::npos) << "the PIN is never shown";
  EXPECT_NE(found.out.find("解码程序："), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("声音输出："), std::string::npos) << found.out;
  EXPECT_EQ(Cli({"doctor", "--pin-file", "/dev/null"}).status, 1) << "no PIN is ever asked for";
}

TEST_F(CliTest, VerifyPassesAFolderAsCopiedAndFailsOneChangedSinceOrMissingACall) {
  const phone::TelephoneModel model({9, 1, 7, 4}, phone::GenerateRecordings(4, 11));
  auto phone = PlugIn({"--generate", "4", "--seed", "11"});
  const fs::path saved = Folder("saved");
  ASSERT_EQ(Cli({"copy", saved.string()}).status, 0);
  EXPECT_EQ(std::system(("cd '" + saved.string() + "' && sha256sum --quiet -c SHA256SUMS").c_str()),
            0);

  const auto intact = Cli({"verify", saved.string(), "--telephone"});
  EXPECT_EQ(intact.status, 0) << intact.out << intact.err;
  EXPECT_EQ(Count(intact.out, "完好\t"), 4) << intact.out;
  const auto json = Cli({"verify", "--json", saved.string()});
  EXPECT_EQ(json.status, 0) << json.err;
  const QJsonObject document =
      QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
  EXPECT_TRUE(document["intact"].toBool());
  EXPECT_TRUE(document["ledger"].toObject()["intact"].toBool());
  EXPECT_EQ(document["recordings"].toArray().size(), 4);

  // One file changed since, another gone: both said, and the telephone's
  // recording that the folder no longer holds.
  Bytes changed = FileBytes(FileOf(saved, model, 0));
  changed.back() ^= 1;
  WriteFile(FileOf(saved, model, 0), changed);
  fs::remove(FileOf(saved, model, 1));
  const auto broken = Cli({"verify", saved.string(), "--telephone"});
  EXPECT_EQ(broken.status, 1);
  EXPECT_EQ(Count(broken.out, "已改变\t"), 1) << broken.out;
  EXPECT_EQ(Count(broken.out, "不见了\t"), 1) << broken.out;
  EXPECT_EQ(Count(broken.out, "不在目录里\t" + FileOf(saved, model, 1).filename().string()), 1)
      << broken.out;

  EXPECT_EQ(Cli({"verify", Folder("nowhere").string()}).status, 2);
  EXPECT_EQ(Cli({"verify", saved.string(), "--device", "1"}).status, 1)
      << "a telephone only with --telephone";
}

}  // namespace
}  // namespace parlomax
