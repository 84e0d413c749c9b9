// audio/device.h — gxtkAudio, the OpenAL audio device: 32 sound channels and a music channel
// (32) that play whole decoded samples; gxtkSample, one OpenAL buffer; gxtkChannel records.
// Depends on: host (ZuGame::LoadAudioData), runtime (Object, the collector, zuPrint), OpenAL.
//
// The device never fails: without a usable OpenAL device it prints why and every call runs
// against OpenAL without effect (no context: no sources, no buffers, nothing plays).
// Buffers are deleted late: a discarded sample's buffer waits in `gxtkAudio::discarded` until no
// playing source uses it. Channel numbers outside 0..32 are ignored (no effect, state 0).
#pragma once

#include <vector>

#include <al.h>
#include <alc.h>

#include "runtime/gc.h"
#include "runtime/string.h"

class gxtkSample;

// One channel of the device (a plain record, not a collected object).
struct gxtkChannel {
  ALuint source;      // 0 until one is obtained
  gxtkSample* sample; // the sample last started here, kept alive while it plays
  int flags;          // flags of the last play; non-zero loops
  int state;          // 0 stopped, 1 playing, 2 paused

  // The channel's source: its own, a new one, or one taken from a stopped channel 0..31
  // when OpenAL has none left; 0 when there is none.
  ALuint AL_Source();
};

class gxtkSample : public Object {
public:
  ALuint buffer = 0; // 0 when the sample holds no buffer

  gxtkSample() = default;
  explicit gxtkSample(ALuint buffer) : buffer(buffer) {}
  ~gxtkSample() override; // hands a buffer still held to gxtkAudio::discarded

  void SetBuffer(ALuint b) { buffer = b; }
  // Hands the buffer to gxtkAudio::discarded (deleted at a later flush) and holds none.
  virtual int Discard();
};

class gxtkAudio : public Object {
public:
  static constexpr int kChannels = 33; // 0..31 sounds, 32 music
  static constexpr int kMusicChannel = 32;

  // The device, set by its constructor; channel code finds the other channels through it.
  static gxtkAudio* audio;
  // OpenAL buffer names whose samples were discarded, still to be deleted.
  static std::vector<ALuint> discarded;

  ALCdevice* alcDevice = nullptr;
  ALCcontext* alcContext = nullptr;
  gxtkChannel channels[kChannels];

  // Opens the default device (then "Generic Hardware", then "Generic Software"), prints
  // "opening openal device" and any failure, and registers the WAV and Ogg readers with
  // the host.
  gxtkAudio();
  ~gxtkAudio() override;
  // Marks the samples of channels whose source has not stopped.
  void mark() override;

  virtual int Suspend();
  virtual int Resume();
  virtual gxtkSample* LoadSample(const String& path);
  virtual bool LoadSample__UNSAFE__(gxtkSample* sample, const String& path);
  // 0 when started, -1 when the channel can get no source.
  virtual int PlaySample(gxtkSample* sample, int channel, int flags);
  virtual int StopChannel(int channel);
  virtual int PauseChannel(int channel);
  virtual int ResumeChannel(int channel);
  // 0 stopped, 1 playing, 2 paused; a finished one-shot reads 0.
  virtual int ChannelState(int channel);
  virtual int SetVolume(int channel, float volume);
  // Pan in radians: the source goes to (sin pan, 0, -cos pan).
  virtual int SetPan(int channel, float pan);
  virtual int SetRate(int channel, float rate);
  // 0 when the music started, -1 when the file could not be loaded.
  virtual int PlayMusic(const String& path, int flags);
  virtual int StopMusic();
  virtual int PauseMusic();
  virtual int ResumeMusic();
  virtual int MusicState();
  virtual int SetMusicVolume(float volume);

  // Deletes the discarded buffers that no playing source uses (done by LoadSample and
  // PlaySample).
  void FlushDiscarded();
  // Stops everything and closes the OpenAL device; later calls have no effect. The program
  // never closes its device; tests do, so that a wave-writer back end finishes its file.
  void Close();

  // Test seam: the most sources this device generates (0: as many as OpenAL gives); beyond
  // it a channel behaves as when OpenAL refuses a source.
  static int sourceLimit;
  int sourcesMade = 0;

private:
  gxtkChannel* Channel(int channel) {
    return channel >= 0 && channel < kChannels ? &channels[channel] : nullptr;
  }
};
