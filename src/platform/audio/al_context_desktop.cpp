// OpenAL Soft on Linux and Windows: what every context is asked for.
#include "platform/audio/al_context.h"

namespace audio {

// No source feeds an effect slot, and OpenAL Soft sizes every voice for the sends it allows (a
// megabyte for its default of two), so none are asked for.
std::vector<ALCint> ContextAttributes(std::initializer_list<ALCint> wanted) {
  std::vector<ALCint> attributes(wanted);
  attributes.insert(attributes.end(), {ALC_MAX_AUXILIARY_SENDS, 0, 0});
  return attributes;
}

}  // namespace audio
