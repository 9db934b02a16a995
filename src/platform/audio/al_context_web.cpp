// Emscripten's OpenAL in a browser: it has no auxiliary sends and refuses attributes it does not
// know, so a context is asked for nothing more than the caller wants.
#include "platform/audio/al_context.h"

namespace audio {

std::vector<ALCint> ContextAttributes(std::initializer_list<ALCint> wanted) {
  std::vector<ALCint> attributes(wanted);
  attributes.push_back(0);
  return attributes;
}

}  // namespace audio
