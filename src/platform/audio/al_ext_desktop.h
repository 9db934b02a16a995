// OpenAL Soft (Linux and Windows) ships its extensions' names and types, effects included.
#pragma once
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>
