// Sound in a browser: the effects through the page's Web Audio, the music
// played by the game's own sequencer into FluidSynth, both in the page's audio
// worklet where the browser has one (RemoteSequencer), else on the game's
// thread while it waits. Until the page may make sound (the first click or
// key) and its SoundFont has loaded, effects are dropped and the music keeps
// time on the clock, as without any audio output; then the music goes on from
// where it is.
#pragma once

#include <functional>
#include <memory>

#include "platform/core/audio.h"

namespace plat {

class WebAudio : public AudioDevice {
 public:
  // Looks whether the page's output and synthesizer have come; called from
  // the message loop.
  virtual void Update() = 0;
};

std::unique_ptr<WebAudio> OpenWebAudio(std::function<uint32_t()> clock);

}  // namespace plat
