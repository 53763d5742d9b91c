// The part-count preview shown in lblNumber.
#pragma once

#include "engine/job_state.h"

namespace qm {

// Measures txtSource and shows in lblNumber how many parts of SplitSize it makes: "0" (no source
// or no size), "1", the count, or "1000+".
void CountParts(Job& job);

}  // namespace qm
