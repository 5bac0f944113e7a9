// Carries out the removal plan (install/removal_plan) on the real file system and
// registry, and says what it left.
#pragma once

#include <string>
#include <vector>

#include "install/removal_plan.h"

// Runs every step; while something left is held by another process, runs them all
// again after file_retry's pauses (one budget for the whole plan, so that a tree of
// files an ordinary user may not delete costs that budget once, not per file).
// Returns what stayed, as the user is to read it: paths and keys.
std::vector<std::string> CarryOutRemoval(const std::vector<removal::Step>& steps);
