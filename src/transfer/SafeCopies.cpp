#include "transfer/SafeCopies.h"

#include "transfer/SaveFolder.h"

#include <map>

namespace parlomax::transfer {

QString OnlyNewQuestion(std::size_t count) {
  return QStringLiteral("有 %1 个录音已经复制过，只复制新的吗？").arg(count);
}

std::vector<std::string> FindSafeCopies(const std::vector<catalogue::DeviceListRow>& rows,
                                        const std::vector<HeldCopy>& copies) {
  // The whole copies of each call, not yet given to a recording.
  std::map<catalogue::RecordingHeader, std::vector<const std::string*>> whole;
  for (const auto& copy : copies) {
    if (HoldingOf(copy.header, copy.size) == Holding::Whole)
      whole[catalogue::CallOf(copy.header)].push_back(&copy.name);
  }
  std::vector<std::string> safe(rows.size());
  const auto give = [&](bool ownNameOnly) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (!safe[i].empty()) continue;
      const auto copies = whole.find(catalogue::CallOf(rows[i].header));
      if (copies == whole.end()) continue;
      const std::string own = rows[i].fileName.toStdString();
      auto& names = copies->second;
      for (auto name = names.begin(); name != names.end(); ++name) {
        if (ownNameOnly && **name != own) continue;
        safe[i] = **name;
        names.erase(name);
        break;
      }
    }
  };
  // A recording copied under its own name keeps that file, so that a redial
  // copied as "-2" is not shown as the first call's copy.
  give(true);
  give(false);
  return safe;
}

}  // namespace parlomax::transfer
