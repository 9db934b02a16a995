// Background music: a wave file streamed through a two-second looping buffer that a worker (its own
// thread on the desktop, the frame loop in a browser) refills one half at a time, so a piece of any length
// plays endlessly in bounded memory.
#pragma once
#include <cstdint>

// False (and "NotFound" in the log) when the file does not open; true otherwise, also when the
// device refused the stream (reported by message box or log) and nothing plays.
bool StartStream(const char* path);
// Stops the music and waits for the worker to end before releasing anything. Does nothing
// without a stream.
void StopStream();
// True while the stream's buffer plays (the worker starts it shortly after StartStream).
bool StreamIsPlaying();
// True from a start that set up a stream on the device until the stop (whether or not the worker
// has begun playing yet).
bool StreamIsOpen();
// The music's level in hundredths of a decibel (0 = as recorded; audio::DSBVOLUME_MIN = silent),
// applied to the playing stream at once and to every stream started later.
void SetMusicVolume(int32_t hundredths);
int32_t MusicVolume();
