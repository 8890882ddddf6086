#pragma once

#include "catalogue/DeviceList.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace parlomax::transfer {

// A recording file of the save folder: its name, the call its header
// describes, and its length on the disk.
struct HeldCopy {
  std::string name;
  catalogue::RecordingHeader header;
  std::uint64_t size = 0;
};

// For each of the telephone's recordings `rows`, the name of the file of
// `copies` that holds its call whole, or "" when none does. A call is known
// by its header without the memory address (a telephone may move a
// recording), and a copy is whole only at its full length. Two recordings
// alike in every field (a redial of the same length) need two such files:
// each file stands for one recording, its own name's first.
std::vector<std::string> FindSafeCopies(const std::vector<catalogue::DeviceListRow>& rows,
                                        const std::vector<HeldCopy>& copies);

// The question before copying every recording when `count` are safe already.
QString OnlyNewQuestion(std::size_t count);

}  // namespace parlomax::transfer
