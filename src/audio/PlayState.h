#pragma once

namespace parlomax::audio {

// What the player is doing. Every kind of work the window starts checks it:
// a paused recording counts as playing.
enum class PlayState { Stopped = 0, Paused = 1, Playing = 2 };

}  // namespace parlomax::audio
