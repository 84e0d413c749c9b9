// audio/sound.cpp — c_Sound and the zu_audio_ functions.
// Depends on: sound.h, device.h, host (zu_data_FixDataPath), runtime.
#include "sound.h"

#include "host/game.h"

gxtkAudio* zu_audio_device = nullptr;

c_Sound* c_Sound::m_new(gxtkSample* sample) {
  gc_assign(m_sample, sample);
  return this;
}

void c_Sound::mark() { gc_mark_q(m_sample); }

int zu_audio_SetAudioDevice(gxtkAudio* device) {
  gc_assign(zu_audio_device, device);
  return 0;
}

c_Sound* zu_audio_LoadSound(const String& path) {
  gxtkSample* sample = zu_audio_device->LoadSample(zu_data_FixDataPath(path));
  if (!sample) return nullptr;
  return (new c_Sound)->m_new(sample);
}

int zu_audio_PlaySound(c_Sound* sound, int channel, int flags) {
  if (sound && sound->m_sample) zu_audio_device->PlaySample(sound->m_sample, channel, flags);
  return 0;
}

int zu_audio_StopChannel(int channel) { return zu_audio_device->StopChannel(channel); }

int zu_audio_SetChannelVolume(int channel, float volume) {
  return zu_audio_device->SetVolume(channel, volume);
}

int zu_audio_SetChannelPan(int channel, float pan) { return zu_audio_device->SetPan(channel, pan); }

int zu_audio_SetChannelRate(int channel, float rate) { return zu_audio_device->SetRate(channel, rate); }

int zu_audio_PlayMusic(const String& path, int flags) {
  return zu_audio_device->PlayMusic(zu_data_FixDataPath(path), flags);
}

int zu_audio_StopMusic() { return zu_audio_device->StopMusic(); }

int zu_audio_PauseMusic() { return zu_audio_device->PauseMusic(); }

int zu_audio_ResumeMusic() { return zu_audio_device->ResumeMusic(); }
