// The planner's search in its plain form, written independently of the
// runtime's classes: a vector kept in descending f, a scan of it from the end
// for membership, and a map for the closed set. Tests compare the runtime's
// indexed planner against it on many maps.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "path/path.h"

struct OracleResult {
    bool initialised = false;
    bool found = false;
    std::vector<std::pair<int32_t, int32_t>> path;  // start first
    float cost = -1.0f;
    uint64_t expanded = 0;
    uint32_t openLeft = 0;
    uint32_t closedCount = 0;
};

OracleResult OracleSearch(const PlannerRequest& request);
