// game/sound_cues.cpp — c_MyApp's sound cues: effect files "sfx/NNN.wav", effects on rotating
// channels under the sound mode, and the one music tune.
// Depends on: my_app.h, globals.h, audio/sound.h (the sound module and its device).
#include "globals.h"
#include "my_app.h"

namespace {
constexpr int SOUND_ALL = 1, SOUND_SFX = 2, SOUND_MUSIC = 3; // sound modes; 0 is silence
constexpr int kEffectSlots = 100;
constexpr int kEffectChannels = 24; // effects rotate over channels 0..23
} // namespace

String c_MyApp::p_SfxFile(int n) {
  String digits(n);
  if (n >= 0 && n < 10)
    digits = String("00") + digits;
  else if (n >= 10 && n < 100)
    digits = String("0") + digits;
  return String("sfx/") + digits + String(".wav");
}

int c_MyApp::p_LoadSFX(int n) {
  if (n < 0 || n >= kEffectSlots) return 0; // only slots 0..99 exist
  gc_assign(m_Sounds[n], static_cast<c_Sound*>(nullptr));
  // A file that cannot be used is named by the host; that effect stays silent.
  if (zu_audio_device) gc_assign(m_Sounds[n], zu_audio_LoadSound(p_SfxFile(n)));
  return 0;
}

int c_MyApp::p_PlaySFX(int n, float rate, float volume, float pan) {
  int mode = m_Settings[5];
  if (mode != SOUND_ALL && mode != SOUND_SFX) return 0;
  if (n < 0 || n >= kEffectSlots || !m_Sounds[n] || !zu_audio_device) return 0;
  m_SfxChannel = (m_SfxChannel + 1) % kEffectChannels;
  int channel = m_SfxMap[m_SfxChannel];
  zu_audio_StopChannel(channel);
  zu_audio_PlaySound(m_Sounds[n], channel, 0);
  zu_audio_SetChannelRate(channel, rate);
  zu_audio_SetChannelVolume(channel, volume);
  zu_audio_SetChannelPan(channel, pan);
  return 0;
}

int c_MyApp::p_PlayTune(String name, int flags) {
  if (zu_Tessel_HasMusicStream == 0) return 0;
  if (name == String("-1") && m_TuneName.Length() > 0) name = m_TuneName;
  if (name.Length() == 0) return 0;
  m_TuneName = name;
  String file = String("sfx/") + name + String(".ogg");
  if (m_MusicOn == 1) {
    if (zu_audio_device) zu_audio_StopMusic();
    m_MusicOn = 0;
  }
  int mode = m_Settings[5];
  if (mode == SOUND_ALL || mode == SOUND_MUSIC) {
    // A missing file stays silent; the tune still counts as on.
    if (zu_audio_device) zu_audio_PlayMusic(file, flags);
    m_MusicOn = 1;
  }
  return 0;
}

int c_MyApp::p_StopTune() {
  if (zu_audio_device) zu_audio_StopMusic();
  m_MusicOn = 0;
  return 0;
}
