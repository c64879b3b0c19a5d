// The sound facility on Linux: wave sounds play through the desktop's sound server
// (PulseAudio, or PipeWire's PulseAudio service) on a worker thread of their own, from
// the samples the wave reader found in them. Built as the sound module, which the program
// loads only when it plays its first sound.

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "platform/sound_output.h"

namespace tollwick::platform {
namespace {

// How long play() waits for the sound server to accept the stream. Without a server
// the connection fails at once; this only bounds a server that does not answer (the
// worker then gives up on its own once the connection attempt ends, and the next
// play() or the end of the program waits for it).
constexpr auto kOpenTimeout = std::chrono::seconds(1);

struct Playback {
  std::vector<uint8_t> file;
  WaveSamples sound;
  std::atomic<bool> stop{false};
};

pa_sample_format_t sampleFormat(const WaveSamples& sound) {
  if (sound.formatTag == 3) return PA_SAMPLE_FLOAT32LE;
  switch (sound.bitsPerSample) {
    case 8:
      return PA_SAMPLE_U8;
    case 16:
      return PA_SAMPLE_S16LE;
    case 24:
      return PA_SAMPLE_S24LE;
    default:
      return PA_SAMPLE_S32LE;
  }
}

// Opens a stream, reports whether that worked, then writes the samples in short pieces
// so that a stop request is noticed within a fraction of a second.
void run(const std::shared_ptr<Playback>& playback, std::promise<bool> opened) {
  const WaveSamples& sound = playback->sound;
  pa_sample_spec streamFormat{};
  streamFormat.format = sampleFormat(sound);
  streamFormat.rate = sound.sampleRate;
  streamFormat.channels = static_cast<uint8_t>(sound.channels);
  const std::size_t frame = std::size_t{sound.channels} * (sound.bitsPerSample / 8);
  const std::size_t piece = std::max<std::size_t>(frame, frame * (sound.sampleRate / 20));
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<uint32_t>(-1);
  attributes.tlength = static_cast<uint32_t>(piece * 2);
  attributes.prebuf = static_cast<uint32_t>(-1);
  attributes.minreq = static_cast<uint32_t>(-1);
  attributes.fragsize = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "Tollwick", PA_STREAM_PLAYBACK, nullptr, "wave",
                                    &streamFormat, nullptr, &attributes, &error);
  opened.set_value(stream != nullptr);
  if (stream == nullptr) return;
  std::span<const uint8_t> rest =
      std::span<const uint8_t>(playback->file).subspan(sound.offset, sound.size);
  while (!rest.empty() && !playback->stop) {
    const std::size_t n = std::min(piece, rest.size());
    if (pa_simple_write(stream, rest.data(), n, &error) < 0) break;
    rest = rest.subspan(n);
  }
  if (playback->stop) {
    pa_simple_flush(stream, &error);
  } else {
    pa_simple_drain(stream, &error);
  }
  pa_simple_free(stream);
}

class PulseSoundOutput : public SoundOutput {
 public:
  ~PulseSoundOutput() override { stop(); }

  bool play(WaveSound wave) override {
    stop();  // a new sound ends the one playing
    if (!wave.samples || wave.samples->size == 0) return false;
    auto playback = std::make_shared<Playback>();
    playback->file = std::move(wave.file);
    playback->sound = *wave.samples;
    std::promise<bool> opened;
    std::future<bool> answer = opened.get_future();
    current_ = playback;
    worker_ = std::thread(run, playback, std::move(opened));
    if (answer.wait_for(kOpenTimeout) != std::future_status::ready) {
      playback->stop = true;
      return false;
    }
    return answer.get();
  }

 private:
  void stop() {
    if (current_) current_->stop = true;
    if (worker_.joinable()) worker_.join();
    current_.reset();
  }

  std::shared_ptr<Playback> current_;
  std::thread worker_;
};

}  // namespace
}  // namespace tollwick::platform

// The sound module's entry (os/posix/program_module.h).
extern "C" __attribute__((visibility("default"))) tollwick::platform::SoundOutput*
tollwick_sound_output_v1() {
  return new tollwick::platform::PulseSoundOutput();
}
