#include "platform/audio/primary_buffer.h"

namespace audio {

Result CPrimaryBuffer::GetStatus(uint32_t* status) {
  if (!status) return DSERR_INVALIDPARAM;
  *status = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
  return DS_OK;
}

}  // namespace audio
