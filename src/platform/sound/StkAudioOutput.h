#pragma once

#include "platform/sound/AudioOutput.h"

namespace parlomax::sound {

// A sound server's client that asks for no particular buffering (as STK's
// output does not) is given two seconds of it: a play button would take that
// long to be heard. Asks for 100 ms instead, unless the user has chosen.
// Call first thing in main, before any thread exists.
void AskForShortSoundServerBuffering();

// The sound card (or the desktop's sound server) through STK's RtWvOut: one
// channel, 8000 samples per second, the default device, 4 buffers of 512
// frames (256 ms of sound in all). STK's errors stop at this class.
class StkAudioOutputFactory final : public AudioOutputFactory {
 public:
  OpenedOutput Open(const std::string& title) override;
};

}  // namespace parlomax::sound
