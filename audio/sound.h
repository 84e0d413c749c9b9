// audio/sound.h — the sound and music module: c_Sound wraps one loaded sample; the zu_audio_
// functions load sounds, play them on channels 0..31, adjust channels and play the music,
// all through the one audio device (zu_audio_device). Game paths go through
// zu_data_FixDataPath before the device sees them.
// Depends on: device.h, host (zu_data_FixDataPath), runtime.
#pragma once

#include "device.h"
#include "runtime/gc.h"
#include "runtime/string.h"

class c_Sound : public Object {
public:
  gxtkSample* m_sample = nullptr; // null: the sound plays nothing

  c_Sound* m_new(gxtkSample* sample);
  c_Sound* m_new2() { return this; }
  void mark() override;
};

// The device, set once at start-up; the program's zuInit registers it as a root.
extern gxtkAudio* zu_audio_device;

int zu_audio_SetAudioDevice(gxtkAudio* device);
// Null when the file is missing or cannot be decoded or played.
c_Sound* zu_audio_LoadSound(const String& path);
// Plays the sound once (flags 0) or looping; nothing for a null sound or sample.
int zu_audio_PlaySound(c_Sound* sound, int channel, int flags);
int zu_audio_StopChannel(int channel);
int zu_audio_SetChannelVolume(int channel, float volume);
int zu_audio_SetChannelPan(int channel, float pan);
int zu_audio_SetChannelRate(int channel, float rate);
// 0 when the music started, -1 when the file could not be loaded.
int zu_audio_PlayMusic(const String& path, int flags);
int zu_audio_StopMusic();
int zu_audio_PauseMusic();
int zu_audio_ResumeMusic();
