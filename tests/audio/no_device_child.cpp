// tests/audio/no_device_child.cpp — a program that opens the audio device where no OpenAL
// back end works (the test runs it so), uses every part of it and the sound module, prints
// what it got and ends normally. Argument: a WAV file that decodes.
#include <string>

#include "audio/device.h"
#include "audio/sound.h"
#include "host/desktop_game.h"

static void Line(const std::string& text) { zuPrint(String(text.c_str())); }
static std::string N(int n) { return std::to_string(n); }

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const String wav(argv[1]);
  ZuGlfwGame host;
  gxtkAudio* device = new gxtkAudio;
  zu_audio_SetAudioDevice(device);
  Line(std::string("device: ") + (device->alcDevice ? "open" : "null") +
       ", context: " + (device->alcContext ? "made" : "null"));
  c_Sound* sound = zu_audio_LoadSound(wav);
  Line(std::string("LoadSound: ") + (sound ? "a sound" : "null"));
  Line("PlaySample: " + N(device->PlaySample(sound ? sound->m_sample : nullptr, 0, 1)));
  zu_audio_PlaySound(sound, 1, 0);
  zu_audio_SetChannelVolume(0, 0.5f);
  zu_audio_SetChannelPan(0, 1.0f);
  zu_audio_SetChannelRate(0, 2.0f);
  device->PauseChannel(0);
  device->ResumeChannel(0);
  Line("ChannelState: " + N(device->ChannelState(0)) + " " + N(device->ChannelState(1)) + " " +
       N(device->ChannelState(31)));
  const int music = zu_audio_PlayMusic(wav, 1),
            missing = zu_audio_PlayMusic(String("/nonexistent/tune.ogg"), 1);
  Line("PlayMusic: " + N(music) + ", missing: " + N(missing));
  zu_audio_PauseMusic();
  zu_audio_ResumeMusic();
  device->SetMusicVolume(0.3f);
  Line("MusicState: " + N(device->MusicState()));
  zu_audio_StopMusic();
  zu_audio_StopChannel(0);
  device->Suspend();
  device->Resume();
  if (sound) sound->m_sample->Discard();
  Line(std::string("LoadSound of a missing file: ") +
       (zu_audio_LoadSound(String("/nonexistent/x.wav")) ? "a sound" : "null"));
  Line("carried on");
  return 0;
}
