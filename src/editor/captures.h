// Items the browser add-on captured: the Captures section's list, quoting one into the post,
// and deleting one. The capture database is opened for each operation, as the add-on's host
// writes it at the same time.
#pragma once

#include "core/app_state.h"

#include <cstdint>

namespace vellumite {

// html/toolbar.html: every captured item, its address and text shown as text.
void subBuildToolbarItems(AppState& app);

// The Captures section: the list built and shown in the section frame.
void subShowToolbarItems(AppState& app);

// "<$toolbaradd-N$>": captured item N quoted into the post; its address offered for links.
void subQuoteCapture(AppState& app, std::int32_t captureId);

// "<$toolbardelete-N$>": item N deleted after the user says Yes, then the section shown again.
void subDeleteCapture(AppState& app, std::int32_t captureId);

} // namespace vellumite
