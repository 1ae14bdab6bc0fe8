// Planning and filling the current-posts page.
#include "editor/current_posts.h"

#include "core/fill_engine.h"
#include "editor/post_entries.h"
#include "platform/text.h"
#include "store/readers.h"
#include "store/site_rows.h"

#include <algorithm>

namespace vellumite {

namespace {

constexpr std::int64_t kSetSize = 10;

std::string number(std::int64_t n) {
    return std::to_string(n);
}

} // namespace

PostSetPlan planPostSet(std::int32_t set, std::int32_t total, std::int64_t published,
                        bool ascending) {
    const std::int64_t S = set, T = total, N = published;
    PostSetPlan plan;
    if (N == 0)
        return plan;
    const std::int64_t P = T < kSetSize ? T : kSetSize;
    const std::int64_t F = (S - 1) * kSetSize + 1;
    const std::int64_t L = std::min({F + P - 1, T, N});
    const std::int64_t count = L - F + 1;
    // Descending lists rows F..L; ascending walks from the oldest row of the set towards the
    // newer ones. Rows outside 1..N (a set number no page offers) are skipped.
    const std::int64_t first = ascending ? std::min(N, T) - (S - 1) * kSetSize : F;
    const std::int64_t step = ascending ? -1 : 1;
    for (std::int64_t i = 0; i < count; ++i) {
        std::int64_t row = first + i * step;
        if (row >= 1 && row <= N)
            plan.rows.push_back(row);
    }

    const std::int64_t M = N <= T ? N : T;
    plan.sets = M > 0 ? (M + kSetSize - 1) / kSetSize : 0;
    // Only a set before the last has a next one (a Next link past the end leads nowhere).
    if (S < plan.sets)
        plan.next = S + 1;
    if (S >= 2)
        plan.previous = S - 1;
    if (T < S + P)
        return plan; // neither Start nor End
    if (plan.sets >= 2 && plan.sets != S)
        plan.end = plan.sets;
    plan.start = S > 1;
    return plan;
}

std::string nextSetLink(const PostSetPlan& plan) {
    return plan.next ? "<a href=<$shownext-" + number(*plan.next) + "> Next </a>" : "";
}

std::string previousSetLink(const PostSetPlan& plan) {
    return plan.previous ? "<a href=<$showprev-" + number(*plan.previous) + "> Previous </a> |"
                         : "";
}

std::string jumpList(const PostSetPlan& plan, std::int32_t set) {
    std::string out;
    for (std::int64_t j = 1; j <= plan.sets; ++j) {
        if (j == set)
            out += " " + number(j) + " |";
        else
            out += "  <a href=<$jumptoset-" + number(j) + "$>" + number(j) + "</a>|";
    }
    return out;
}

std::string startLink(const PostSetPlan& plan) {
    return plan.start ? "<a href=<$jumptoset-1$> Start </a>|" : "";
}

std::string endLink(const PostSetPlan& plan) {
    return plan.end ? "<a href=<$jumptoset-" + number(*plan.end) + "> End </a>|" : "";
}

void subBuildCurrentPosts(AppState& app, std::int32_t set) {
    // The step reached so far: the failure report names it.
    std::string lastStep = "opening rstactiveuser";
    try {
        platform::Database& db = app.db();
        auto site = openSiteRow(db, app.logId, "PublishBackwards, TotalPublishPosts");
        const bool ascending = site["PublishBackwards"].toBool();
        const std::int32_t total = readInt(site["TotalPublishPosts"]);
        app.currentSet = set;

        lastStep = "opening rstuserpost";
        const std::int64_t published = static_cast<std::int64_t>(
            db.scalar("SELECT COUNT(*) FROM VellumitePosts WHERE LogID=? AND PublishPage>0",
                      {app.logId})
                .toNumber()
                .value_or(0));
        const PostSetPlan plan = planPostSet(set, total, published, ascending);

        lastStep = "opening first text file";
        std::string text = readEditorTemplate(app.appFolder, "template-currentposts.html");
        lastStep = "set replace chunk";
        const std::string block =
            repeatedBlock(text, "VellumiteNewsFeed", "template-currentposts.html");

        lastStep = "step into database";
        const BlockPattern pattern(block, kPostEntryTags);
        std::vector<std::string> values;
        std::string entries;
        if (!plan.rows.empty()) {
            // Only the rows the set lists are read: they lie together in the newest-first order.
            auto [low, high] = std::minmax_element(plan.rows.begin(), plan.rows.end());
            auto rows = db.openRecordset(
                "SELECT " + std::string(kPostEntryColumns) +
                    " FROM VellumitePosts WHERE LogID=? AND PublishPage>0"
                    " ORDER BY postdate DESC, posttime DESC, postID DESC LIMIT ? OFFSET ?",
                {app.logId, static_cast<long long>(*high - *low + 1),
                 static_cast<long long>(*low - 1)});
            for (std::int64_t row : plan.rows) {
                lastStep = "set item " + number(row);
                rows.moveFirst();
                rows.move(static_cast<long>(row - *low));
                if (rows.eof())
                    break; // a post deleted between the count and the read
                lastStep = "implement replace chunk";
                postEntryValues(rows, values);
                pattern.appendFilled(entries, values);
            }
        }

        lastStep = "put replace into processhtml";
        platform::replaceAll(text, block, entries);
        platform::replaceAll(text, "<$VellumitePageTitle$>", std::to_string(app.logId));
        platform::replaceAll(text, "<$NextSet>", nextSetLink(plan));
        platform::replaceAll(text, "<$PrevSet>", previousSetLink(plan));

        lastStep = "add in the number jump tos";
        platform::replaceAll(text, "<$midblocks$>", jumpList(plan, set));

        lastStep = "add the end block";
        platform::replaceAll(text, "<$Endblock$>", endLink(plan));
        lastStep = "add the start block";
        platform::replaceAll(text, "<$Startblock$>", startLink(plan));

        lastStep = "write out the file";
        writeEditorPage(app.appFolder, "currentposts.html", text);
    } catch (const platform::DbError& e) {
        app.host.msgBox(e.description() + "::" + lastStep, "Vellumite");
    } catch (const std::exception& e) {
        app.host.msgBox(std::string(e.what()) + "::" + lastStep, "Vellumite");
    }
}

} // namespace vellumite
