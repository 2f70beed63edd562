// Writes a few short tunes, made by the tune synthesiser, as WAV files into
// the folder given on the command line: mono and stereo, 8 and 16 bits, at
// two rates. The fuzzer's seed corpus.
#include <cstdio>

#include "errors.h"
#include "seed_maker.h"
#include "sound.h"

namespace {

bool write_seeds(FOLDER& seeds, const std::string&) {
  bool ok = true;
  int n = 0;
  for (uint32_t rate : {8000u, 22050u}) {
    for (uint8_t stereo : {0, 1}) {
      for (uint8_t sixteen : {0, 1}) {
        TUNE_SETTINGS settings;
        settings.sample_rate = rate;
        settings.stereo = stereo;
        settings.sixteen_bit = sixteen;
        settings.attack = 0.001;
        settings.decay = 0.001;
        settings.release = 0.001;
        char name[32];
        snprintf(name, sizeof name, "tune_%d.wav", n++);
        ok = write_tune_wav(seeds, name, "CEG", 20, &settings) && ok;
      }
    }
  }
  if (!ok) fprintf(stderr, "%s\n", get_last_error_text());
  return ok;
}

}  // namespace

int main(int argc, char** argv) { return run_seed_maker(argc, argv, write_seeds); }
