// Light 0 of the stages. The scene manager keeps one record for the whole run: a stage sets only
// the fields its light uses, so the others keep what the previous stage left there.
#pragma once
#include "platform/gfx/types.h"

// The home's point light over the middle of the yard.
void SetHomeStageLight(gfx::Light& light);
// The forest's light from straight above; range, falloff, attenuation and cone stay as they were.
void SetForestStageLight(gfx::Light& light);
// Light 0 from the record, enabled, with the stages' lighting render states.
void ApplyStageLight(const gfx::Light& light);
