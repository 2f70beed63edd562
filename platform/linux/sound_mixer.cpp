// The mixer thread: mixes every playing voice, a pass at a time, into a
// 16-bit stereo 44100 Hz stream and writes it to the ALSA device. It is the
// program's only second thread; the flags it shares are atomics, and
// stopping it wakes and joins it before anything it reads is freed.
#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "folder.h"
#include "platform.h"
#include "sound.h"
#include "sound_voice.h"
#include "text_file.h"

namespace {

std::thread mixer;
std::atomic<bool> running{false};
std::atomic<bool> stop_requested{false};
std::mutex wake_lock;
std::condition_variable wake;

// Waits up to ms, or less when a stop is requested meanwhile.
void wait_unless_stopped(uint32_t ms) {
  std::unique_lock<std::mutex> guard(wake_lock);
  wake.wait_for(guard, std::chrono::milliseconds(ms), [] { return stop_requested.load(); });
}

// The first line of "$APP/alsa_device", or "" when there is no such file.
std::string configured_device() {
  FOLDER application;
  TEXT_FILE* file = application.open_text_file("alsa_device", 0);
  if (!file) return {};
  char line[256] = {};
  bool got = file->read_line(line);
  FOLDER::close_text_file(file);
  return got ? line : "";
}

snd_pcm_t* open_device(const std::string& configured) {
  std::vector<std::string> names;
  if (configured.empty()) names = {"plughw", "default"};
  else names = {configured};
  for (const std::string& name : names) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0) >= 0) return pcm;
  }
  return nullptr;
}

bool configure(snd_pcm_t* pcm) {
  snd_pcm_hw_params_t* params = nullptr;
  if (snd_pcm_hw_params_malloc(&params) < 0) return false;
  unsigned int rate = SOUND_RATE;
  snd_pcm_uframes_t period = 256;
  unsigned int periods = 2;
  bool ok = snd_pcm_hw_params_any(pcm, params) >= 0 &&
            snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
            snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16_LE) >= 0 &&
            snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr) >= 0 &&
            snd_pcm_hw_params_set_channels(pcm, params, 2) >= 0 &&
            snd_pcm_hw_params_set_period_size_near(pcm, params, &period, nullptr) >= 0 &&
            snd_pcm_hw_params_set_periods_near(pcm, params, &periods, nullptr) >= 0 &&
            snd_pcm_hw_params(pcm, params) >= 0;
  snd_pcm_hw_params_free(params);
  return ok;
}

void write_pass(snd_pcm_t* pcm, const uint8_t* pass, uint32_t idle_ms) {
  const snd_pcm_uframes_t frames = SOUND_PASS_BYTES / SOUND_FRAME_BYTES;
  snd_pcm_uframes_t done = 0;
  while (done < frames && !stop_requested) {
    snd_pcm_sframes_t written = snd_pcm_writei(pcm, pass + done * SOUND_FRAME_BYTES, frames - done);
    if (written >= 0) {
      done += static_cast<snd_pcm_uframes_t>(written);
    } else if (snd_pcm_prepare(pcm) < 0) {
      // A device that cannot recover is retried at the idle pace.
      wait_unless_stopped(idle_ms ? idle_ms : 10);
    }
  }
}

void mix_until_stopped(std::string device, uint32_t idle_ms) {
  snd_pcm_t* pcm = open_device(device);
  if (!pcm) return;
  if (!configure(pcm)) {
    snd_pcm_close(pcm);
    return;
  }
  running = true;
  uint8_t pass[SOUND_PASS_BYTES] = {};
  while (!stop_requested) {
    write_pass(pcm, pass, idle_ms);
    if (!mix_sound_pass(pass) && idle_ms) wait_unless_stopped(idle_ms);
  }
  snd_pcm_drop(pcm);
  snd_pcm_close(pcm);
  running = false;
}

}  // namespace

void start_sound_mixer() {
  stop_requested = false;
  running = false;
  try {
    mixer = std::thread(mix_until_stopped, configured_device(), get_idle_wait());
  } catch (const std::system_error&) {
    // Without a thread nothing loads, exactly as without a device.
  }
}

void stop_sound_mixer() {
  {
    std::lock_guard<std::mutex> guard(wake_lock);
    stop_requested = true;
  }
  wake.notify_all();
  if (mixer.joinable()) mixer.join();
  running = false;
}

bool is_sound_mixer_running() { return running; }
