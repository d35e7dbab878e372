#pragma once

#include "sim/Scene.h"

#include <string>

// The control input's grammar, one setting per line:
//   distance MM | bias MM | jitter MM | blank PERCENT | wander PERCENT
// with a decimal number (sign and fraction allowed, no exponent). Blank lines
// and lines starting with # are skipped. Returns "" when the line was applied
// to `scene` (then `applied` names the setting and its value) or skipped, else
// why it was ignored; `scene` is then unchanged.
std::string applyControlLine(const std::string &line, Scene &scene, std::string &applied);
