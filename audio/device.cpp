// audio/device.cpp — gxtkAudio, gxtkSample and the channel records over OpenAL.
// Depends on: device.h, decoders.h, host (ZuGame::LoadAudioData), runtime, OpenAL.
#include "device.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "decoders.h"
#include "host/game.h"
#include "runtime/errors.h"

gxtkAudio* gxtkAudio::audio = nullptr;
std::vector<ALuint> gxtkAudio::discarded;
int gxtkAudio::sourceLimit = 0;

namespace {

// The OpenAL format for a channel count and bytes per sample; 0 for one OpenAL cannot play.
ALenum AlFormat(int channels, int bytesPerSample) {
  if (channels == 1 && bytesPerSample == 1) return AL_FORMAT_MONO8;
  if (channels == 1 && bytesPerSample == 2) return AL_FORMAT_MONO16;
  if (channels == 2 && bytesPerSample == 1) return AL_FORMAT_STEREO8;
  if (channels == 2 && bytesPerSample == 2) return AL_FORMAT_STEREO16;
  return 0;
}

ALint SourceState(ALuint source) {
  ALint state = 0;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  return state;
}

} // namespace

// ============================================================================
// [SECTION] Channels and samples
// ============================================================================

ALuint gxtkChannel::AL_Source() {
  if (source) return source;
  gxtkAudio* device = gxtkAudio::audio;
  bool allowed = !device || gxtkAudio::sourceLimit <= 0 || device->sourcesMade < gxtkAudio::sourceLimit;
  if (allowed) {
    ALuint made = 0;
    alGetError();
    alGenSources(1, &made);
    if (alGetError() == AL_NO_ERROR && made) {
      if (device) ++device->sourcesMade;
      source = made;
      return source;
    }
  }
  // OpenAL has no source left: take the source of the first stopped channel 0..31.
  if (!device) return 0;
  for (int i = 0; i < gxtkAudio::kMusicChannel; ++i) {
    gxtkChannel& other = device->channels[i];
    if (!other.source || device->ChannelState(i) != 0) continue;
    source = other.source;
    other.source = 0;
    break;
  }
  return source;
}

gxtkSample::~gxtkSample() {
  if (buffer) gxtkAudio::discarded.push_back(buffer);
}

int gxtkSample::Discard() {
  if (buffer) {
    gxtkAudio::discarded.push_back(buffer);
    buffer = 0;
  }
  return 0;
}

// ============================================================================
// [SECTION] Opening and closing
// ============================================================================

gxtkAudio::gxtkAudio() {
  audio = this;
  std::memset(channels, 0, sizeof channels);
  RegisterAudioReaders();

  alcDevice = alcOpenDevice(nullptr);
  if (!alcDevice) alcDevice = alcOpenDevice("Generic Hardware");
  if (!alcDevice) alcDevice = alcOpenDevice("Generic Software");

  zuPrint(String("opening openal device"));
  if (!alcDevice) {
    zuPrint(String("OpenAl error: alcOpenDevice failed"));
  } else if (!(alcContext = alcCreateContext(alcDevice, nullptr))) {
    zuPrint(String("OpenAl error: alcCreateContext failed"));
  } else if (!alcMakeContextCurrent(alcContext)) {
    zuPrint(String("OpenAl error: alcMakeContextCurrent failed"));
  }

  alDistanceModel(AL_NONE); // no attenuation: positions only give direction
  channels[kMusicChannel].AL_Source();
}

gxtkAudio::~gxtkAudio() {
  Close();
  if (audio == this) audio = nullptr;
}

void gxtkAudio::Close() {
  if (!alcDevice) return;
  if (alcContext && alcGetCurrentContext() == alcContext) {
    for (gxtkChannel& chan : channels) {
      if (!chan.source) continue;
      alSourceStop(chan.source);
      alSourcei(chan.source, AL_BUFFER, 0);
      alDeleteSources(1, &chan.source);
    }
    for (ALuint buffer : discarded) alDeleteBuffers(1, &buffer);
    alGetError();
  }
  // The device's buffers go with it: names still listed would belong to no device.
  discarded.clear();
  std::memset(channels, 0, sizeof channels);
  if (alcContext && alcGetCurrentContext() == alcContext) alcMakeContextCurrent(nullptr);
  if (alcContext) alcDestroyContext(alcContext);
  alcCloseDevice(alcDevice);
  alcContext = nullptr;
  alcDevice = nullptr;
}

void gxtkAudio::mark() {
  for (gxtkChannel& chan : channels) {
    if (chan.state != 0 && SourceState(chan.source) != AL_STOPPED) gc_mark_q(chan.sample);
  }
}

// ============================================================================
// [SECTION] Deferred buffer deletion
// ============================================================================

void gxtkAudio::FlushDiscarded() {
  if (discarded.empty()) return;
  // Stopped sources, finished or stopped by the game, let go of their buffers, so that those
  // can be deleted.
  for (gxtkChannel& chan : channels) {
    if (chan.source && SourceState(chan.source) == AL_STOPPED) alSourcei(chan.source, AL_BUFFER, 0);
  }
  std::vector<ALuint> kept;
  for (ALuint buffer : discarded) {
    alGetError();
    alDeleteBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) kept.push_back(buffer); // still attached: try again later
  }
  discarded.swap(kept);
}

// ============================================================================
// [SECTION] Samples
// ============================================================================

gxtkSample* gxtkAudio::LoadSample(const String& path) {
  FlushDiscarded();
  gxtkSample* sample = new gxtkSample();
  return LoadSample__UNSAFE__(sample, path) ? sample : nullptr;
}

bool gxtkAudio::LoadSample__UNSAFE__(gxtkSample* sample, const String& path) {
  if (!sample || !ZuGame::_game) return false;
  int length = 0, numChannels = 0, format = 0, hertz = 0;
  unsigned char* data = ZuGame::_game->LoadAudioData(path, &length, &numChannels, &format, &hertz);
  if (!data) return false;
  ALenum alFormat = AlFormat(numChannels, format);
  long long bytes = static_cast<long long>(length) * numChannels * format;
  if (!alFormat || length <= 0 || hertz <= 0 || bytes > 0x7fffffff) {
    // OpenAL cannot play it: no sample rather than one that silently plays nothing.
    std::free(data);
    return false;
  }
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, alFormat, data, static_cast<ALsizei>(bytes), hertz);
  std::free(data);
  sample->SetBuffer(buffer);
  return true;
}

// ============================================================================
// [SECTION] Sound channels
// ============================================================================

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int flags) {
  gxtkChannel* chan = Channel(channel);
  if (!chan) return -1;
  FlushDiscarded();
  ALuint source = chan->AL_Source();
  if (!source) return -1;
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, sample ? static_cast<ALint>(sample->buffer) : 0);
  alSourcei(source, AL_LOOPING, flags ? 1 : 0);
  alSourcePlay(source);
  gc_assign(chan->sample, sample);
  chan->flags = flags;
  chan->state = 1;
  return 0;
}

int gxtkAudio::StopChannel(int channel) {
  gxtkChannel* chan = Channel(channel);
  if (chan && chan->state != 0) {
    alSourceStop(chan->source);
    chan->state = 0;
  }
  return 0;
}

int gxtkAudio::PauseChannel(int channel) {
  gxtkChannel* chan = Channel(channel);
  if (chan && chan->state == 1) {
    if (SourceState(chan->source) == AL_STOPPED) {
      chan->state = 0; // it had ended
    } else {
      alSourcePause(chan->source);
      chan->state = 2;
    }
  }
  return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
  gxtkChannel* chan = Channel(channel);
  if (chan && chan->state == 2) {
    alSourcePlay(chan->source);
    chan->state = 1;
  }
  return 0;
}

int gxtkAudio::ChannelState(int channel) {
  gxtkChannel* chan = Channel(channel);
  if (!chan) return 0;
  if (chan->state == 1 && SourceState(chan->source) == AL_STOPPED) chan->state = 0;
  return chan->state;
}

int gxtkAudio::SetVolume(int channel, float volume) {
  gxtkChannel* chan = Channel(channel);
  if (chan) alSourcef(chan->AL_Source(), AL_GAIN, volume);
  return 0;
}

int gxtkAudio::SetPan(int channel, float pan) {
  gxtkChannel* chan = Channel(channel);
  if (chan) alSource3f(chan->AL_Source(), AL_POSITION, std::sin(pan), 0.0f, -std::cos(pan));
  return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
  gxtkChannel* chan = Channel(channel);
  if (chan) alSourcef(chan->AL_Source(), AL_PITCH, rate);
  return 0;
}

// ============================================================================
// [SECTION] Music and the suspended game
// ============================================================================

int gxtkAudio::PlayMusic(const String& path, int flags) {
  StopMusic();
  gxtkSample* music = LoadSample(path);
  if (!music) return -1;
  PlaySample(music, kMusicChannel, flags);
  return 0;
}

int gxtkAudio::StopMusic() { return StopChannel(kMusicChannel); }
int gxtkAudio::PauseMusic() { return PauseChannel(kMusicChannel); }
int gxtkAudio::ResumeMusic() { return ResumeChannel(kMusicChannel); }
int gxtkAudio::MusicState() { return ChannelState(kMusicChannel); }
int gxtkAudio::SetMusicVolume(float volume) { return SetVolume(kMusicChannel, volume); }

int gxtkAudio::Suspend() {
  for (gxtkChannel& chan : channels) {
    if (chan.state == 1 && SourceState(chan.source) == AL_PLAYING) alSourcePause(chan.source);
  }
  return 0;
}

int gxtkAudio::Resume() {
  for (gxtkChannel& chan : channels) {
    if (chan.state == 1 && SourceState(chan.source) == AL_PAUSED) alSourcePlay(chan.source);
  }
  return 0;
}
