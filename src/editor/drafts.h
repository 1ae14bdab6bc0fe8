// The drafts list: every draft of the open site, in publishing order.
#pragma once

#include "core/app_state.h"

namespace vellumite {

// Builds html/draft.html. Drafts are not paged: the paging tags of the shared list template
// are removed.
void subBuildDrafts(AppState& app);

} // namespace vellumite
