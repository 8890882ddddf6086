#pragma once

#include "phone/TelephoneModel.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace parlomax::phone {

// Where an emulated telephone's recordings come from. Every loader throws
// std::runtime_error naming the file and what is wrong with it.

// Every *.wav file of the folder, in name order, turned into 8000 Hz mono
// and encoded as the telephone would. A name of the form
// TYPE_NUMBER_MMDDhhmm.wav (TYPE = in, out or memo; NUMBER may be empty)
// gives the call's type, number and time; any other name gives a memo
// without number, timed by the file's modification time.
std::vector<Recording> LoadWavFolder(const std::filesystem::path& folder);

// Recording of a sound of any rate and channel count (16-bit samples).
Recording RecordingFromSamples(std::vector<std::int16_t> interleaved, int channels, int rate);

// Every *.spx file of the folder, in name order: its 19-byte header kept as
// it is, and the payload that follows it in the file.
std::vector<Recording> LoadSpxFolder(const std::filesystem::path& folder);

// `count` recordings of every type, with dates, numbers (short ones, ones
// with * and #, none) and lengths from nothing to over an hour, the same
// for the same seed. The sound is real Speex: tones of a few pitches.
std::vector<Recording> GenerateRecordings(unsigned count, unsigned seed);

// A memory image file: the directory and payloads exactly as the telephone
// holds them, so a telephone can be put away and brought back.
void SaveImage(const TelephoneModel& model, const std::filesystem::path& file);
std::shared_ptr<TelephoneModel> LoadImage(const std::filesystem::path& file, Pin pin);

}  // namespace parlomax::phone
