#include <algorithm>

#include "data_file.h"
#include "debug_stream.h"
#include "folder.h"
#include "sound.h"
#include "sound_streams.h"
#include "sound_voice.h"
#include "wav_decode.h"

namespace {

// Guards the live-buffer count together with the mixer's start and stop,
// so that a buffer made while the last one goes never finds the mixer
// half stopped.
std::mutex lifecycle_lock;
uint16_t live_buffers = 0;

}  // namespace

SOUND_BUFFER::SOUND_BUFFER() {
  {
    std::lock_guard<std::mutex> guard(lifecycle_lock);
    sound_manager_stream().printf("Buffer index %d created\n", live_buffers);
    if (live_buffers++ == 0) start_sound_mixer();
  }
  voice = new SOUND_VOICE;
  link_sound_voice(voice);
}

SOUND_BUFFER::~SOUND_BUFFER() {
  if (voice) {
    // Once unlinked the mixer cannot reach the voice any more.
    unlink_sound_voice(voice);
    voice->reset();
    delete voice;
    voice = nullptr;
  }
  loaded = 0;
  std::lock_guard<std::mutex> guard(lifecycle_lock);
  if (--live_buffers == 0) stop_sound_mixer();
  sound_manager_stream().printf("Buffer index %d destoyed\n", live_buffers);
}

bool SOUND_BUFFER::load_file(const FOLDER& folder, const char* name) {
  DATA_FILE* file = folder.open_data_file(name, 0);
  if (!file) {
    loaded = 0;
    return false;
  }
  loaded = load_wav(*file) ? 1 : 0;
  FOLDER::close_data_file(file);
  return loaded != 0;
}

bool SOUND_BUFFER::load_wav(DATA_DEVICE& device) {
  if (!voice || !is_sound_mixer_running()) return false;
  voice->reset();
  loaded = 0;
  WAV_SOUND sound;
  if (decode_wav(device, sound) != WAV_STATUS::OK) return false;
  std::lock_guard<std::mutex> guard(voice->lock);
  voice->data = sound.data.release();
  voice->length = sound.length;
  loaded = 1;
  return true;
}

void SOUND_BUFFER::play() {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(voice->lock);
  voice->position = 0;
  voice->end = voice->length;
  voice->loop = loop;
}

void SOUND_BUFFER::stop() {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(voice->lock);
  voice->position = voice->end = 0;
}

void SOUND_BUFFER::unload() {
  if (voice) voice->reset();
}

bool SOUND_BUFFER::is_playing() {
  if (!voice || !is_sound_mixer_running()) return false;
  std::lock_guard<std::mutex> guard(voice->lock);
  return voice->position < voice->end;
}

void SOUND_BUFFER::set_volume(int32_t volume) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(voice->lock);
  voice->volume = std::clamp(volume, 0, 100);
}

void SOUND_BUFFER::set_pan(int32_t pan) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(voice->lock);
  voice->pan = std::clamp(pan, -100, 100);
}

int32_t SOUND_BUFFER::get_volume() {
  if (!voice) return 0;
  std::lock_guard<std::mutex> guard(voice->lock);
  return voice->volume;
}

int32_t SOUND_BUFFER::get_pan() {
  if (!voice) return 0;
  std::lock_guard<std::mutex> guard(voice->lock);
  return voice->pan;
}
