#pragma once
// The sound layer's two debug streams, made at program start so that the
// platform options can list them.
class DEBUG_STREAM;

DEBUG_STREAM& wav_loading_stream();  // "WAV file loading debug"
DEBUG_STREAM& sound_manager_stream();  // "Sound Manager Debug"
