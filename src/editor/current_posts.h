// The current-posts list: published posts in sets of ten, with its paging links.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellumite {

// Which posts set S shows and which paging links it has; computed before anything is filled.
// Rows are numbered 1..N newest first. Only the newest T posts (TotalPublishPosts, the posts
// the front page shows) are listed; a set holds ten rows, or T when T is below ten.
struct PostSetPlan {
    std::vector<std::int64_t> rows;       // row numbers in the order listed
    std::int64_t sets = 0;                // K: ceil(min(N, T) / 10), 0 without posts
    std::optional<std::int64_t> next;     // set of the Next link
    std::optional<std::int64_t> previous; // set of the Previous link
    bool start = false;                   // the Start link (to set 1)
    std::optional<std::int64_t> end;      // set of the End link (K)
};

// `set` S (1 = newest), `total` T, `published` N, `ascending` the site's PublishBackwards:
// then set 1 starts with the oldest of the T posts and runs towards the newest. A set outside
// 1..K lists nothing and offers no Next link.
PostSetPlan planPostSet(std::int32_t set, std::int32_t total, std::int64_t published,
                        bool ascending);

// The paging texts the template's tags become.
std::string nextSetLink(const PostSetPlan& plan);
std::string previousSetLink(const PostSetPlan& plan);
std::string jumpList(const PostSetPlan& plan, std::int32_t set);
std::string startLink(const PostSetPlan& plan);
std::string endLink(const PostSetPlan& plan);

// Builds html/currentposts.html for set `set` of the open site and records the set as the
// current one. A failure is reported in a message box naming its cause and the step it
// stopped at; the caller still shows the frame.
void subBuildCurrentPosts(AppState& app, std::int32_t set);

} // namespace vellumite
