// Element-wise comparison of two matrices that names the first element off and what was compared.
#pragma once
#include <gtest/gtest.h>

#include "platform/gfxutil/math.h"

namespace testdev {

inline void ExpectNear(const gfxutil::Matrix& a, const gfxutil::Matrix& b, float eps = 1e-4f,
                       const char* what = "") {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << what << " at " << r << "," << c;
}

}  // namespace testdev
