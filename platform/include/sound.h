#pragma once
// Short sounds from WAV files, mixed by one background thread into a 16-bit
// stereo 44100 Hz stream for the sound device. The first SOUND_BUFFER made
// starts the mixer, the last one destroyed stops it; a SOUND_MANAGER owns a
// small array of buffers. Also a tone synthesiser that writes a tune to WAV.
#include <cstdint>

class DATA_DEVICE;
class FOLDER;
struct SOUND_VOICE;

class SOUND_BUFFER {
public:
  SOUND_BUFFER();
  virtual ~SOUND_BUFFER();
  SOUND_BUFFER(const SOUND_BUFFER&) = delete;
  SOUND_BUFFER& operator=(const SOUND_BUFFER&) = delete;

  // Loading works only while the mixer reports running; a failed load
  // leaves the buffer empty.
  bool load_file(const FOLDER& folder, const char* name);
  bool load_wav(DATA_DEVICE& device);
  // Starts the sound from its beginning, looping when loop is set.
  void play();
  void stop();
  void unload();
  bool is_playing();
  void set_volume(int32_t volume);  // clamped to 0..100; 0 still sounds at 1 %
  void set_pan(int32_t pan);        // clamped to -100 (left) .. 100 (right)
  int32_t get_volume();
  int32_t get_pan();

  SOUND_VOICE* voice = nullptr;
  uint8_t loop = 0;    // taken by the next play
  uint8_t loaded = 0;  // the last load succeeded
};

// True while the mixer thread has its output device open and mixes.
bool is_sound_mixer_running();

class SOUND_MANAGER {
public:
  static constexpr int16_t MAX_BUFFERS = 20;

  explicit SOUND_MANAGER(uint16_t count);  // clamped to 1..MAX_BUFFERS
  ~SOUND_MANAGER();
  SOUND_MANAGER(const SOUND_MANAGER&) = delete;
  SOUND_MANAGER& operator=(const SOUND_MANAGER&) = delete;

  // Indexes outside 0..count-1 do nothing and give null, false or -1.
  SOUND_BUFFER* get_buffer(int8_t index);
  void set_volume(int8_t index, int32_t volume);
  void set_pan(int8_t index, int32_t pan);
  void stop(int8_t index);  // -1 stops every buffer
  bool is_playing(int8_t index);
  // Loads the file into that buffer and plays it; the index, or -1 when
  // the load failed.
  int8_t play(int8_t index, const FOLDER& folder, const char* name, int32_t volume, int32_t pan,
              bool loop);
  // The same in the first buffer that is not playing; -1 when all are busy.
  int8_t play(const FOLDER& folder, const char* name, int32_t volume, int32_t pan, bool loop);

  int16_t count = 0;
  SOUND_BUFFER* buffers = nullptr;

private:
  bool valid(int8_t index) const { return index >= 0 && index < count; }
};

struct TUNE_SETTINGS {
  int8_t volume = 100;  // percent of full scale
  uint32_t sample_rate = 22050;
  uint8_t stereo = 0;
  uint8_t sixteen_bit = 1;
  double attack = 0.2;   // seconds
  double decay = 0.1;    // seconds
  double release = 0.2;  // seconds
  uint8_t sustain_wobble = 0;
  uint8_t sustain_level = 80;  // percent of the peak
  uint8_t harmonics = 0;       // adds the 2nd, 3rd and 4th harmonic
  uint8_t odd_harmonics = 0;   // adds the 3rd, 5th and 7th harmonic
};

// Synthesises the notes into a new WAV file. Notes: a digit sets the length
// code (0..9: 1, 1/4, 3/8, 1/2, 3/4, 1, 3/2, 2, 3, 4 beats), "O<d>" the
// octave, A..G a note (lower case an octave down, "#" sharp), "&" a rest;
// anything else is skipped. Null settings take the defaults. False when the
// file cannot be written or the sample rate is 0.
bool write_tune_wav(const FOLDER& folder, const char* name, const char* notes, int32_t beat_ms,
                    const TUNE_SETTINGS* settings);
