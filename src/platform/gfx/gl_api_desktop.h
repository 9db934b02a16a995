// Desktop OpenGL 3.3 core (Linux and Windows): libepoxy resolves every entry point the device calls.
#pragma once
#include <epoxy/gl.h>
