// The control command of the voice devices: `audio`, which tells when the
// WAV-file devices started, on the machine's steady clock, so that a
// script can line a recording up with what was played into the other node.
#pragma once

#include "audio/pace_clock.hpp"
#include "audio/voice_provider.hpp"
#include "daemon/command_registry.hpp"

namespace orv {

void AddVoiceCommands(CommandRegistry& registry, AudioVoiceProvider& voice, const SteadyPaceClock* clock);

}  // namespace orv
