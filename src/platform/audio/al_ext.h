// OpenAL Soft's extension names and entry-point types, from the edition's own header, which CMake
// names in BRIMMEL_AL_EXT_H: OpenAL Soft's alext.h on the desktop and Windows (al_ext_desktop.h),
// or the same values given for Emscripten's OpenAL in a browser (al_ext_web.h).
#pragma once
#include <AL/al.h>
#include <AL/alc.h>

#include BRIMMEL_AL_EXT_H
