// Light 0 of the stages. One record for the whole run: a stage sets only the fields its light
// uses, so the others keep what the previous stage left there.
#pragma once
#include "platform/gfx/types.h"

extern gfx::Light g_stageLight;

// The home's point light over the middle of the yard.
void SetHomeStageLight();
// The forest's light from straight above; range, falloff, attenuation and cone stay as they were.
void SetForestStageLight();
// Light 0 from the record, enabled, with the stages' lighting render states.
void ApplyStageLight();
