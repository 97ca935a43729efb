#include "daemon/voice_commands.hpp"

#include "audio/wav_backend.hpp"

namespace orv {
namespace {

Reply Audio(AudioVoiceProvider& voice, const SteadyPaceClock* clock) {
  auto* wav = dynamic_cast<WavAudioBackend*>(&voice.backend());
  if (!wav || !clock) return Reply::Ok(Fields().Text("backend", "pa"));
  Fields fields;
  fields.Text("backend", "wav");
  if (const auto started = wav->capture_started()) fields.Number("capture_started_ns", clock->origin() + *started);
  if (const auto started = wav->playback_started()) fields.Number("playback_started_ns", clock->origin() + *started);
  return Reply::Ok(std::move(fields));
}

}  // namespace

void AddVoiceCommands(CommandRegistry& registry, AudioVoiceProvider& voice, const SteadyPaceClock* clock) {
  registry.Add({"audio", {}, "the voice devices: with WAV files, when capture and playback started (steady clock, ns)",
                [&voice, clock](const CommandArgs&) { return Audio(voice, clock); }});
}

}  // namespace orv
