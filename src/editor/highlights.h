// Picking posts for the highlights list beside the post editor.
#pragma once

#include "core/app_state.h"

#include <cstdint>

namespace vellumite {

// "<$recentpostadd-N$>" (true) and "<$removepost-N$>" (false): post N's highlight flag set,
// then the current posts of the set the user was looking at and the highlights shown again.
void subSetHighlight(AppState& app, std::int32_t postId, bool highlighted);

} // namespace vellumite
