#pragma once

#include "audio/ExternalDecoder.h"
#include "audio/SoundEncoder.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>

namespace parlomax::audio {

enum class ShareOutcome {
  Written,
  NotPlain,        // the recording's name stands for something else than a plain file
  CannotRead,      // error: the system's
  TooLong,         // more sound than the format's file can hold
  CannotWrite,     // error: the system's
  EncoderFailed,   // the encoder library refused the sound or its settings
  DecoderMissing,  // the decoder program could not be started
  DecodeFailed,    // decoded: why
  Stopped,
};

struct ShareResult {
  ShareOutcome outcome = ShareOutcome::Written;
  int error = 0;
  DecodeOutcome decoded{};
};

// What a share reports as it goes: the sound bytes decoded so far of all
// there are (16 per payload byte). On the thread that runs it.
using ShareProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// "<name without .spx>.<format>" in `folder`.
std::filesystem::path SharedFileFor(const std::filesystem::path& folder,
                                    const std::filesystem::path& spx, ShareFormat format);

// Writes the sound of the recording `spx` into `target` in `format`: one
// decoder run over the whole payload, each block encoded as it comes, so
// that neither the recording nor its sound is ever held whole. The file
// takes its name only once complete and on the disk (private, 0600, or the
// mode of the file it replaces); a failure or a stop leaves nothing, and
// an earlier file of that name as it was. The tags are the header's.
ShareResult ShareRecording(const ExternalDecoder& decoder, const std::filesystem::path& spx,
                           const std::filesystem::path& target, ShareFormat format,
                           const ShareProgress& progress = {}, const StopRequested& stop = {});

// What went wrong, for the user; empty for Written and Stopped.
QString ShareProblemText(const ShareResult& result, const std::filesystem::path& spx,
                         const std::filesystem::path& target);

}  // namespace parlomax::audio
