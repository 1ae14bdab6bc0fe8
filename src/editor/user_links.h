// The site's own list of links, edited in the box beside the post editor.
#pragma once

#include "core/app_state.h"

#include <cstdint>

namespace vellumite {

// "<$editlink-N$>": link N put into the link form, the form's box shown, the list shown again.
void subEditUserLink(AppState& app, std::int32_t linkId);

// "<$NewUserLink$>": the link form stored (a new link, or the one being edited; one deleted
// meanwhile is stored anew), the form reset and its box closed, the list shown again.
void subSaveUserLink(AppState& app);

// "<$deletelink-N$>": link N deleted after the user says Yes, then the list shown again.
void subDeleteUserLink(AppState& app, std::int32_t linkId);

} // namespace vellumite
