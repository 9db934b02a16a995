// The OpenGL entry points the device is written against. The edition's GL back end supplies them
// in a header of its own, which CMake names in BRIMMEL_GL_API_H: desktop GL 3.3 core through
// libepoxy (gl_api_desktop.h) or, in a browser, WebGL 2 (gl_api_es.h).
#pragma once
#include BRIMMEL_GL_API_H
