// Sound buffers, the mixer thread, the WAV reader and the tune synthesiser.
// The mixer plays into ALSA's "file" device named in "$APP/alsa_device", so
// the mixed stream lands in a raw file the tests read back: no sound card,
// and nothing waits on the device's pace, only on what reached the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "debug_stream.h"
#include "folder.h"
#include "image.h"
#include "memory_device.h"
#include "picture_compare.h"
#include "platform.h"
#include "sound.h"
#include "sound_streams.h"
#include "sound_voice.h"
#include "test_support.h"
#include "wav_decode.h"

namespace ts = test_support;

namespace {

std::string le16(uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

struct WAV_LAYOUT {
  uint16_t channels = 2;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint32_t format_size = 16;  // above 16: zero bytes follow the PCM format
  int64_t data_size = -1;     // -1: the size of the samples
  size_t keep = 0;            // non-zero: the file is cut to this many bytes
  std::string between{};      // subchunks between the format and the data
};

std::string make_wav(const WAV_LAYOUT& layout, const std::string& samples) {
  std::string format = le16(1) + le16(layout.channels) + le32(layout.rate) +
                       le32(layout.rate * layout.channels * layout.bits / 8) +
                       le16(layout.channels * layout.bits / 8) + le16(layout.bits);
  format.resize(layout.format_size, '\0');
  uint32_t data_size = layout.data_size < 0 ? static_cast<uint32_t>(samples.size())
                                          : static_cast<uint32_t>(layout.data_size);
  std::string body = "WAVEfmt " + le32(layout.format_size) + format + layout.between + "data" +
                     le32(data_size) + samples;
  std::string wav = "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
  if (layout.keep) wav.resize(layout.keep);
  return wav;
}

std::string sample_bytes(const std::vector<int16_t>& samples) {
  std::string bytes;
  for (int16_t s : samples) bytes += le16(static_cast<uint16_t>(s));
  return bytes;
}

std::vector<int16_t> samples_of(const std::string& bytes, size_t from = 0) {
  std::vector<int16_t> samples;
  for (size_t at = from; at + 1 < bytes.size(); at += 2)
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8));
  return samples;
}

// Stereo frames whose samples never scale down to 0, left positive and
// right negative.
std::vector<int16_t> test_frames(int frames) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    samples.push_back(static_cast<int16_t>(1000 + i * 97 % 20000));
    samples.push_back(static_cast<int16_t>(-1000 - i * 61 % 20000));
  }
  return samples;
}

bool eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 2000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

int thread_count() {
  auto tasks = std::filesystem::directory_iterator("/proc/self/task");
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

class SoundTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(app.set_absolute(scratch.path().c_str()));
    set_base_path(app, "vorntest");
    use_device("file:FILE=" + mix_path() + ",FORMAT=raw");
    // Silent passes come often, so the file grows past a sound quickly.
    set_idle_wait(2);
  }
  void TearDown() override {
    clear_base_path();
    set_idle_wait(50);
  }
  void use_device(const std::string& name) {
    ASSERT_TRUE(ts::write_file(scratch.file("alsa_device"), name + "\n"));
  }
  std::string mix_path() const { return scratch.file("mix.raw"); }

  // Plays the sound once in a fresh buffer and returns what the mixer wrote
  // from the sound's first pass on, once the sound and a silent pass after
  // it are in the file.
  std::string record(const std::string& wav, int32_t volume, int32_t pan, size_t sound_bytes) {
    SOUND_BUFFER buffer;
    EXPECT_TRUE(eventually(is_sound_mixer_running));
    ts::MEMORY_DEVICE device(wav);
    EXPECT_TRUE(buffer.load_wav(device));
    buffer.set_volume(volume);
    buffer.set_pan(pan);
    buffer.play();
    std::string mixed;
    size_t start = 0;
    EXPECT_TRUE(eventually([&] {
      mixed = ts::read_file(mix_path());
      start = mixed.find_first_not_of('\0');
      return start != std::string::npos && mixed.size() >= start + sound_bytes + SOUND_PASS_BYTES;
    }));
    if (start == std::string::npos) return {};
    EXPECT_EQ(start % SOUND_PASS_BYTES, 0u) << "a sound starts a pass";
    return mixed.substr(start);
  }

  ts::ScratchDir scratch;
  FOLDER app;
};

TEST_F(SoundTest, MixedStreamScalesEachSideByItsLogarithmicGain) {
  const std::vector<int16_t> frames = test_frames(300);  // not a whole number of passes
  const std::string wav = make_wav({}, sample_bytes(frames));
  const size_t sound_bytes = frames.size() * 2;
  struct ROW {
    int32_t volume, pan, left_gain, right_gain;
  } rows[] = {
      {100, 0, 100, 100},  // unchanged
      {50, 0, 10, 10},
      {75, 0, 31, 31},
      {0, 0, 1, 1},  // silent volume still sounds at 1 %
      {100, 100, 1, 100},
      {100, -50, 100, 10},
      {40, -100, 6, 1},
      {150, -250, 100, 1},  // clamped to 100 and -100
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(testing::Message() << "volume " << row.volume << " pan " << row.pan);
    std::vector<int16_t> expected;
    for (size_t i = 0; i < frames.size(); i += 2) {
      expected.push_back(static_cast<int16_t>(frames[i] * row.left_gain / 100));
      expected.push_back(static_cast<int16_t>(frames[i + 1] * row.right_gain / 100));
    }
    std::string mixed = record(wav, row.volume, row.pan, sound_bytes);
    ASSERT_GE(mixed.size(), sound_bytes + SOUND_PASS_BYTES);
    EXPECT_EQ(samples_of(mixed.substr(0, sound_bytes)), expected);
    // The rest of the last pass and every pass after it are silence.
    EXPECT_EQ(mixed.find_first_not_of('\0', sound_bytes), std::string::npos);
  }
}

TEST_F(SoundTest, MixerThreadLivesExactlyAsLongAsSomeBuffer) {
  // The null device keeps no record of the looping sounds below.
  use_device("null");
  // A thread sanitizer starts a helper of its own with the first thread.
  { SOUND_BUFFER first; }
  // A joined thread can stay listed for a moment after the join returns:
  // count once the list has stopped shrinking.
  int before = thread_count();
  for (int still = 0; still < 20; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
    const int now = thread_count();
    still = now < before ? 0 : still + 1;
    before = std::min(before, now);
  }
  EXPECT_FALSE(is_sound_mixer_running());
  ASSERT_TRUE(ts::write_file(scratch.file("beep.wav"), make_wav({}, sample_bytes(test_frames(64)))));
  // The sound trace names each buffer made and each play's settings and result.
  DEBUG_STREAM& trace = sound_manager_stream();
  const uint16_t saved_flags = (trace.has_output(), trace.flags);
  trace.flags = DEBUG_TO_CONSOLE;
  testing::internal::CaptureStdout();
  {
    SOUND_MANAGER manager(2);
    EXPECT_EQ(thread_count(), before + 1);
    ASSERT_TRUE(eventually(is_sound_mixer_running));
    // Looping sounds stay busy until stopped.
    EXPECT_EQ(manager.play(app, "beep.wav", 150, -250, true), 0);
    EXPECT_EQ(manager.get_buffer(0)->get_volume(), 100);
    EXPECT_EQ(manager.get_buffer(0)->get_pan(), -100);
    EXPECT_EQ(manager.play(app, "beep.wav", 50, 0, true), 1);
    EXPECT_EQ(manager.play(app, "beep.wav", 50, 0, true), -1);
    // Callers keep changing playing sounds while the mixer mixes them.
    for (int i = 0; i < 200; ++i) {
      const int8_t index = static_cast<int8_t>(i % 2);
      manager.set_volume(index, i % 101);
      manager.set_pan(index, i % 201 - 100);
      EXPECT_TRUE(manager.is_playing(index));
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    manager.stop(-1);
    EXPECT_FALSE(manager.is_playing(0) || manager.is_playing(1));
    EXPECT_EQ(manager.play(app, "missing.wav", 50, 0, false), -1);
    EXPECT_EQ(manager.play(2, app, "beep.wav", 50, 0, false), -1);
    EXPECT_EQ(manager.get_buffer(-1), nullptr);
  }
  const std::string said = testing::internal::GetCapturedStdout();
  trace.flags = saved_flags;
  for (const char* line : {"Buffer index 1 created\n", "buffer 0, loop 1, vol 100, pan -100, ok 1\n",
                           "buffer 0, loop 0, vol 50, pan 0, ok 0\n"})
    EXPECT_NE(said.find(line), std::string::npos) << said;
  EXPECT_FALSE(is_sound_mixer_running());
  EXPECT_TRUE(eventually([&] { return thread_count() == before; }));

  // A device that cannot open ends the mixer at once, and nothing loads.
  use_device("no_such_sound_device");
  SOUND_BUFFER buffer;
  ASSERT_TRUE(eventually([&] { return thread_count() == before; }));
  EXPECT_FALSE(is_sound_mixer_running());
  EXPECT_EQ(buffer.loaded, 0);  // nothing was loaded yet
  EXPECT_FALSE(buffer.load_file(app, "beep.wav"));
  EXPECT_EQ(buffer.loaded, 0);
}

TEST_F(SoundTest, WavFilesBecomeStereoFramesAt44100) {
  const std::string stereo = sample_bytes({100, -200, 32767, -32768});
  struct ROW {
    const char* name;
    WAV_LAYOUT layout;
    std::string samples;
    std::vector<int16_t> expected;
  } rows[] = {
      {"16-bit stereo as it is", {}, stereo, {100, -200, 32767, -32768}},
      {"an 18-byte format subchunk", {.format_size = 18}, stereo, {100, -200, 32767, -32768}},
      {"8-bit mono at 22050 Hz, every frame twice",
       {.channels = 1, .rate = 22050, .bits = 8},
       std::string("\x00\x7F\xFF\xC8", 4),
       {-32767, -32767, -32767, -32767, 0, 0, 0, 0, 32767, 32767, 32767, 32767, 18834, 18834, 18834, 18834}},
      {"16-bit mono at 11025 Hz, every frame four times",
       {.channels = 1, .rate = 11025},
       sample_bytes({-5}),
       {-5, -5, -5, -5, -5, -5, -5, -5}},
      {"a trailing odd byte is no frame", {}, stereo + "x", {100, -200, 32767, -32768}},
      {"another subchunk before the data", {.between = "LIST" + le32(4) + "abcd"}, stereo, {100, -200, 32767, -32768}},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    ts::MEMORY_DEVICE device(make_wav(row.layout, row.samples));
    WAV_SOUND sound;
    ASSERT_EQ(decode_wav(device, sound), WAV_STATUS::OK);
    EXPECT_EQ(samples_of(std::string(reinterpret_cast<char*>(sound.data.get()), sound.length)), row.expected);
  }
}

TEST_F(SoundTest, MalformedWavFilesAreRefusedAndLeaveTheBufferEmpty) {
  const std::string samples = sample_bytes(test_frames(8));
  struct ROW {
    const char* name;
    std::string wav;
    WAV_STATUS status;
  } rows[] = {
      {"three channels", make_wav({.channels = 3}, samples), WAV_STATUS::UNSUPPORTED},
      {"rate 0", make_wav({.rate = 0}, samples), WAV_STATUS::UNSUPPORTED},
      {"44101 Hz, one above the output rate", make_wav({.rate = 44101}, samples), WAV_STATUS::UNSUPPORTED},
      {"24 bits", make_wav({.bits = 24}, samples), WAV_STATUS::UNSUPPORTED},
      {"data size past the end", make_wav({.data_size = 4096}, samples), WAV_STATUS::TRUNCATED},
      {"huge data size", make_wav({.data_size = 0xFFFFFFF0}, samples), WAV_STATUS::TRUNCATED},
      {"header cut inside the format", make_wav({.keep = 26}, samples), WAV_STATUS::TRUNCATED},
      {"format subchunk too short", make_wav({.format_size = 12}, samples), WAV_STATUS::NOT_WAV},
      {"no data subchunk", make_wav({.keep = 36}, samples), WAV_STATUS::NOT_WAV},
      {"no format subchunk", make_wav({}, samples).replace(12, 4, "junk"), WAV_STATUS::NOT_WAV},
      {"not RIFF", "RIFX" + make_wav({}, samples).substr(4), WAV_STATUS::NOT_WAV},
      {"not WAVE", make_wav({}, samples).replace(8, 4, "AVI "), WAV_STATUS::NOT_WAV},
  };
  SOUND_BUFFER buffer;
  ASSERT_TRUE(eventually(is_sound_mixer_running));
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.name);
    ts::MEMORY_DEVICE device(row.wav);
    WAV_SOUND sound;
    EXPECT_EQ(decode_wav(device, sound), row.status);
    EXPECT_EQ(sound.data, nullptr);
    ts::MEMORY_DEVICE again(row.wav);
    EXPECT_FALSE(buffer.load_wav(again));
    EXPECT_EQ(buffer.loaded, 0);
    buffer.play();
    EXPECT_FALSE(buffer.is_playing());
  }
}

// Two full-scale voices in one pass: the sum holds at the 16-bit limits, a
// looping voice rewinds and keeps playing, and a pass with nothing in it is
// silence whatever the buffer held.
TEST(SoundMixTest, VoicesSumWithSaturationIntoAClearedPass) {
  SOUND_VOICE looping, once;
  for (auto [voice, samples] : {std::pair{&looping, sample_bytes({30000, -30000, 100, -100})},
                                std::pair{&once, sample_bytes({30000, -30000, 200, 300})}}) {
    voice->data = new uint8_t[samples.size()];
    memcpy(voice->data, samples.data(), samples.size());
    voice->length = voice->end = static_cast<int32_t>(samples.size());
    link_sound_voice(voice);
  }
  looping.loop = 1;
  // The first three frames of a pass mixed over a buffer full of noise.
  auto mix = [](bool playing) {
    uint8_t pass[SOUND_PASS_BYTES];
    memset(pass, 0x55, sizeof pass);
    EXPECT_EQ(mix_sound_pass(pass), playing);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pass) + 12, sizeof pass - 12), std::string(sizeof pass - 12, '\0'));
    return samples_of(std::string(reinterpret_cast<char*>(pass), 12));
  };
  EXPECT_EQ(mix(true), (std::vector<int16_t>{32767, -32768, 300, 200, 0, 0}));
  EXPECT_EQ(once.end, 0);
  EXPECT_EQ(mix(true), (std::vector<int16_t>{30000, -30000, 100, -100, 0, 0}));
  looping.end = 0;
  EXPECT_EQ(mix(false), std::vector<int16_t>(6, 0));
  unlink_sound_voice(&looping);
  unlink_sound_voice(&once);
  looping.reset();
  once.reset();
  EXPECT_EQ(std::make_pair(once.volume, once.pan), std::make_pair(100, 0));  // back to full and centred
}

TEST_F(SoundTest, TunesAreWrittenAsPcmWavFiles) {
  struct ROW {
    const char* notes;
    int32_t beat_ms;
    TUNE_SETTINGS settings;
    uint32_t frames;
    int crossings;  // sign changes of the first channel, about 2 x frequency x seconds
  } rows[] = {
      {"C", 1000, {}, 22050, 1288},                     // 644 Hz for one beat
      {"c", 1000, {}, 22050, 644},                      // an octave down
      {"O2G#", 500, {}, 11025, 1020},                   // 644 x 19/12 Hz for half a second
      {"1C4&", 1000, {}, 5513 + 16538, 322},            // a quarter beat, then a rest of 3/4
      {"B#E#", 1000, {}, 0, 0},                         // no such notes
      {"B", 1000, {}, 22050, 2415},                     // 644 x 15/8 Hz
      {"O1D", 1000, {.sample_rate = 8000, .stereo = 1, .sixteen_bit = 0}, 8000, 725},  // 322 x 9/8 Hz
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.notes);
    ASSERT_TRUE(write_tune_wav(app, "tune.wav", row.notes, row.beat_ms, &row.settings));
    const std::string wav = ts::read_file(scratch.file("tune.wav"));
    const TUNE_SETTINGS& s = row.settings;
    const uint32_t channels = s.stereo ? 2 : 1;
    const uint32_t bytes = s.sixteen_bit ? 2 : 1;
    const uint32_t data_size = row.frames * channels * bytes;
    const std::string header = "RIFF" + le32(data_size + 36) + "WAVEfmt " + le32(16) + le16(1) +
                               le16(channels) + le32(s.sample_rate) +
                               le32(s.sample_rate * channels * bytes) + le16(channels * bytes) +
                               le16(bytes * 8) + "data" + le32(data_size);
    ASSERT_EQ(wav.size(), 44 + data_size);
    EXPECT_EQ(wav.substr(0, 44), header);

    // The first channel as signed values; stereo frames carry it twice.
    std::vector<int> first;
    int peak = 0;
    for (uint32_t f = 0; f < row.frames; ++f) {
      size_t at = 44 + f * channels * bytes;
      int value = bytes == 2 ? samples_of(wav.substr(at, 2))[0] : static_cast<uint8_t>(wav[at]) - 127;
      if (channels == 2) {
        EXPECT_EQ(wav.substr(at, bytes), wav.substr(at + bytes, bytes));
      }
      first.push_back(value);
      peak = std::max(peak, std::abs(value));
    }
    int crossings = 0;
    for (size_t i = 1; i < first.size(); ++i)
      if ((first[i - 1] < 0) != (first[i] < 0)) ++crossings;
    EXPECT_NEAR(crossings, row.crossings, row.crossings / 50 + 4);
    if (row.frames) {
      EXPECT_EQ(first.front(), 0);  // the attack starts from silence
      EXPECT_LE(std::abs(first.back()), peak / 20);  // and the release ends near it
      EXPECT_GE(peak, (bytes == 2 ? 32767 : 127) / 2);
    }
  }
  EXPECT_FALSE(write_tune_wav(app, "no_folder/tune.wav", "C", 100, nullptr));
  const TUNE_SETTINGS no_rate{.sample_rate = 0};
  EXPECT_FALSE(write_tune_wav(app, "rate0.wav", "C", 100, &no_rate) || ts::file_exists(scratch.file("rate0.wav")));
}

TEST_F(SoundTest, TuneWaveformsMatchTheirReferencePicture) {
  // 8-bit mono at 8000 Hz, a beat of 25 ms: C, F, a# for half a beat, A.
  const uint32_t kFrames = 200 + 200 + 100 + 200;
  const TUNE_SETTINGS shape{.volume = 40, .sample_rate = 8000, .sixteen_bit = 0, .attack = 0.005,
                            .decay = 0.005, .release = 0.005, .sustain_level = 50};
  TUNE_SETTINGS rows[5] = {shape, shape, shape, shape, shape};
  rows[1].harmonics = 1;
  rows[2].odd_harmonics = 1;
  rows[3].sustain_wobble = rows[4].sustain_wobble = 1;
  rows[4].decay = 0.002;  // a short decay: the wobble rises and falls three times
  // Each row a strip 256 pixels high, every sample joined to the one before.
  IMAGE picture(static_cast<int16_t>(kFrames), 5 * 256);
  std::fill(picture.pixels, picture.pixels + picture.pixel_count, 0xFF000000u);
  for (int r = 0; r < 5; ++r) {
    ASSERT_TRUE(write_tune_wav(app, "tune.wav", "O1CF3a#0A", 25, &rows[r]));
    const std::string wav = ts::read_file(scratch.file("tune.wav"));
    ASSERT_EQ(wav.size(), 44 + kFrames) << r;
    int before = 127;
    for (uint32_t x = 0; x < kFrames; ++x) {
      const int v = static_cast<uint8_t>(wav[44 + x]);
      for (int y = std::min(before, v); y <= std::max(before, v); ++y)
        picture.pixels[(r * 256 + 255 - y) * picture.stride + x] = 0xFFFFFFFFu;
      before = v;
    }
  }
  EXPECT_TRUE(test_support::picture_matches_reference("platform_sound", "tune_waveforms", picture));
}

}  // namespace
