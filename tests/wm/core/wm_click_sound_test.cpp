// The toolkit's click sound: an action callback fired with the click sound
// finds it already playing, but only when it is set and enabled.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "folder.h"
#include "memory_device.h"
#include "platform.h"
#include "sound.h"
#include "test_support.h"
#include "wm_test_objects.h"

namespace ts = test_support;

namespace {

SOUND_BUFFER* click = nullptr;

int32_t note_click_playing(WM_SCREEN_OBJECT*, uintptr_t playing, uintptr_t) {
  *reinterpret_cast<bool*>(playing) = click->is_playing();
  return 5;
}

// A looping 16-bit stereo sound of one frame, so it plays until stopped.
std::string one_frame_wav() {
  const char bytes[] = "RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0"
                       "data\x04\0\0\0\x10\x27\xF0\xD8";
  return std::string(bytes, sizeof bytes - 1);
}

TEST(WmClickSoundTest, FireCallbackPlaysTheClickSoundFirstWhenSetAndEnabled) {
  ts::ScratchDir app_dir;
  FOLDER app;
  ASSERT_TRUE(app.set_absolute(app_dir.path().c_str()));
  set_base_path(app, "vorntest");
  ASSERT_TRUE(ts::write_file(app_dir.file("alsa_device"), "null\n"));
  {
    SOUND_BUFFER sound;
    click = &sound;
    for (int i = 0; i < 2000 && !is_sound_mixer_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ts::MEMORY_DEVICE device(one_frame_wav());
    ASSERT_TRUE(sound.load_wav(device));
    sound.loop = 1;

    bool playing = false;
    wm_test::BOX box(0, 0, 10, 10, 0xFF000000);
    box.action_callback = note_click_playing;
    box.action_word_1 = reinterpret_cast<uintptr_t>(&playing);
    struct ROW {
      SOUND_BUFFER* sound;
      uint8_t enabled;
      bool with_click;
      bool heard;
    } rows[] = {
        {nullptr, 1, true, false},  // nothing set: the default
        {&sound, 0, true, false},
        {&sound, 1, false, false},
        {&sound, 1, true, true},
    };
    for (const ROW& row : rows) {
      gui_click_sound = {row.sound, row.enabled};
      EXPECT_EQ(box.fire_callback(row.with_click), 5);
      EXPECT_EQ(playing, row.heard);
      sound.stop();
    }
    // Without a callback nothing fires and nothing plays.
    box.action_callback = nullptr;
    EXPECT_EQ(box.fire_callback(true), 0);
    EXPECT_FALSE(sound.is_playing());
    gui_click_sound = {};
  }
  clear_base_path();
}

}  // namespace
