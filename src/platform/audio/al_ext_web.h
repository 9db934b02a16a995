// Emscripten's OpenAL (in a browser) ships no alext.h: the values are given here so the same code
// builds, and the extensions then simply report themselves absent (no loopback, no HRTF, no
// disconnect notice).
#pragma once
#include <AL/al.h>
#include <AL/alc.h>

#define ALC_CONNECTED 0x313
#define ALC_FORMAT_CHANNELS_SOFT 0x1990
#define ALC_FORMAT_TYPE_SOFT 0x1991
#define ALC_STEREO_SOFT 0x1501
#define ALC_FLOAT_SOFT 0x1406
#define ALC_HRTF_SOFT 0x1992
#define ALC_NUM_HRTF_SPECIFIERS_SOFT 0x1994
#define AL_DIRECT_CHANNELS_SOFT 0x1033
#define AL_FORMAT_MONO_FLOAT32 0x10010
#define AL_FORMAT_STEREO_FLOAT32 0x10011
typedef ALCdevice* (*LPALCLOOPBACKOPENDEVICESOFT)(const ALCchar* deviceName);
typedef void (*LPALCRENDERSAMPLESSOFT)(ALCdevice* device, ALCvoid* buffer, ALCsizei samples);
