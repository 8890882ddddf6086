#include "app/FolderVerdicts.h"

#include "app/RecordingRows.h"
#include "transfer/FolderVerify.h"
#include "transfer/VerdictTexts.h"

namespace parlomax::app {

void FolderVerdicts::Check(const std::filesystem::path& folder) {
  look_.Start([this, folder](std::stop_token stop, const LatestLook::Land& land) {
    // One reader: the window keeps a core for itself while a folder of
    // years is hashed behind it.
    const auto verification = transfer::VerifyFolder(folder, stop, 1);
    if (stop.stop_requested() || verification.error != 0) return;
    FolderRecordingRows::Verdicts verdicts;
    for (const auto& r : verification.recordings) {
      if (!r.facts.present) continue;
      verdicts[r.name] = {r.verdict, r.facts.size,
                          r.verdict == transfer::Verdict::Intact
                              ? QStringLiteral("已校验")
                              : transfer::VerdictText(r.verdict) + QStringLiteral("：") +
                                    transfer::VerdictDetailText(r)};
    }
    land([this, verdicts = std::move(verdicts)]() mutable { rows_.SetVerdicts(std::move(verdicts)); });
  });
}

}  // namespace parlomax::app
