// Figures the model generator also hands to the stage and script generators.
#pragma once

namespace assetgen {

// How far the head model's vertex mean lies above the centre of its face sphere.
float HeadCentroidAboveSphere();

}  // namespace assetgen
