#pragma once

#include "audio/ExternalDecoder.h"
#include "catalogue/FolderList.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stop_token>
#include <vector>

namespace parlomax::shell {
class MessageService;
}

namespace parlomax::audio {

// Conversion decodes half a second, 500 payload bytes, a decoder run, and
// writes 8000 bytes of samples for it.
inline constexpr std::uint32_t kConversionChunkBytes = catalogue::kConversionStepBytes;
inline constexpr std::uint32_t kConvertedChunkBytes = 8000;

inline const QString kOpenFileFailedMessage = QStringLiteral("打开文件失败！");
inline const QString kCreateFileFailedMessage = QStringLiteral("创建文件失败！");
inline const QString kSelectedConvertedMessage = QStringLiteral("转换选择文件成功！");
inline const QString kAllConvertedMessage = QStringLiteral("转换全部文件成功！");

enum class ConversionKind { Selected, All };

// How a conversion job's progress reaches the window. Called on the job's
// thread; an implementation hands each change to the window's thread and
// returns without waiting, in the order of the calls.
class ConversionView {
 public:
  virtual ~ConversionView() = default;
  // The name of the file being converted (empty: none).
  virtual void ShowFileName(const QString& name) = 0;
  // The bar of the file being converted: one step per chunk.
  virtual void SetFileBar(std::uint32_t value, std::uint32_t maximum) = 0;
  // The bar over the whole job: one step per chunk.
  virtual void SetTotalBar(std::uint32_t value, std::uint32_t maximum) = 0;
  // The job ran its course (to the end, or cancelled): the controls it
  // disabled come back.
  virtual void RestoreControls() = 0;
  // Then its last word: bars and label at rest, its flag cleared, its
  // button's caption back, and the output folder shown when `completed`
  // (it ran its course, and the user did not open the folder from its
  // closing message).
  virtual void EndJob(bool completed) = 0;
  // A file that could not be opened or made, or a decoder that cannot run,
  // ended the job: bars and label at rest, its flag cleared, the caption
  // back and the other controls given back (the play buttons excepted).
  virtual void ErrorStop() = 0;
};

struct ConversionSetup {
  ConversionKind kind = ConversionKind::All;
  const ExternalDecoder& decoder;
  shell::MessageService& messages;
  ConversionView& view;
  // The job's flag: set while it runs; clearing it asks the job to stop.
  std::atomic<bool>& running;
  // The recordings to convert, in the order the list shows them: the
  // selected rows' files, or every row's.
  std::vector<std::filesystem::path> files;
  std::filesystem::path outputFolder;
  // All: the conversion work the last listing counted.
  std::uint32_t workTotal = 0;
};

// "<name>.wav" of a recording file's name, in `folder`.
std::filesystem::path WavFileFor(const std::filesystem::path& folder, const std::filesystem::path& spx);

// Converts recordings into WAV files, one decoder run per half second of
// sound (and one for what is left after the last whole half second: a WAV
// file holds all of a call), on the thread that runs it. A WAV file never
// claims more sound than it holds: one cut short has its sizes rewritten.
// It takes the place of an earlier file of its name only when complete; a
// cut one is then kept beside it as "<name>.part". A decoder run that fails
// fails its file, and the job goes on with the next; the end names how
// many failed. A write the disk refuses is said once, and ends the job as
// a cancel does.
class ConversionJob final {
 public:
  explicit ConversionJob(ConversionSetup setup) : setup_(std::move(setup)) {}

  // The whole job, on the calling thread; `stop` ends it as a cleared flag does.
  void Run(std::stop_token stop);

 private:
  enum class FileResult {
    Done,
    Failed,        // the decoder let this file down; the job goes on
    ErrorStopped,  // the job has ended with its error stop
    EndsTheJob,    // the job goes no further, and ends as a cancelled one
  };
  void ConvertSelectedThread();
  void ConvertAllThread();
  // Every file of the setup in turn; false when an error stop ended the job.
  bool ConvertEach();
  FileResult ConvertFile(const std::filesystem::path& spx);
  // One decoder run over `chunk` into `samples` (sized for it).
  DecodeOutcome DecodeRun(std::span<const std::uint8_t> chunk, std::vector<std::uint8_t>& samples);
  bool Wanted() const { return setup_.running && !stop_.stop_requested(); }
  void End(const QString& successMessage);
  void FailWith(const QString& message);
  // A file the decoder let down: counted, and the first one remembered
  // with where what it holds was kept.
  void NoteFailure(const std::filesystem::path& spx, const DecodeOutcome& outcome,
                   const std::filesystem::path& kept);
  QString FailuresText() const;

  ConversionSetup setup_;
  std::stop_token stop_;
  std::uint32_t total_ = 0;
  std::uint32_t totalDone_ = 0;
  bool writeFailed_ = false;
  std::uint32_t failures_ = 0;
  QString firstFailure_;
};

}  // namespace parlomax::audio
