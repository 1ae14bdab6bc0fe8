// Posts and drafts from the content edit page: create, update, save as draft, delete.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vellumite {

// A body as POST stores it: every CR becomes "<br>" and that CR, every LF goes, so a body typed
// "one" CR LF "two" is stored "one<br>" CR "two".
std::string postedBody(std::string_view typed);
// An edited body: the "<br>" CR pairs it was shown with turn back into CRs first, so that
// posting it again does not double its breaks.
std::string repostedBody(std::string_view typed);
// Text for the statements that have always stored posts with apostrophes as "&#39;".
std::string apostrophesEscaped(std::string_view text);

// The page a new post goes to, with the site's page counters moved on: the post after twenty
// on a page opens the next page. "~<page>~," is put in front of the site's Publishandupload.
std::int32_t countNewPost(platform::Database& db, std::int32_t logId);

// "<$post$>": a new post from the form (refused without a title), then the current posts and
// a blank editor.
void subPostNew(AppState& app);
// "<$postedit-N$>": post N updated from the form; an opened draft is published, and a post
// deleted meanwhile is stored anew.
void subPostEdit(AppState& app, std::int32_t postId);
// "<$savedraft$>": a new draft from the form (refused without a title), then the drafts.
void subSaveDraftNew(AppState& app);
// "<$draftedit-N$>": the form stored into post N, keeping whether it is published.
void subSaveDraftEdit(AppState& app, std::int32_t postId);
// "<$delete-N$>": post N deleted after the user says Yes, then the current posts shown again
// for a post of page 1 and the drafts for any other. Returns which: after the current posts,
// the archive menu is built again too (by the generator, which owns it).
enum class DeletedPost { None, CurrentPostsShown, DraftsShown };
DeletedPost subDeletePost(AppState& app, std::int32_t postId);

} // namespace vellumite
