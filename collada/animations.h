#pragma once

#include "collada/dae_state.h"

// "HOLD_ANIM" with one node per clip, and one animation per curve.
void WriteAnimations(DaeState& state);

// 1/30, or the largest clip end or last key time when larger.
double AnimationEndTime(const Model& model);
