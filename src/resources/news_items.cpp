// Storing, listing and deleting imported news-alert items.
#include "resources/news_items.h"

#include "core/content_page.h"
#include "core/fill_engine.h"
#include "core/page_text.h"
#include "core/panes.h"
#include "platform/text.h"
#include "store/readers.h"

namespace vellumite {

namespace {

std::string withoutApostrophes(std::string_view text) {
    return platform::replacedAll(text, "'", "");
}

// A savepoint that rolls back unless released: a failing insert leaves no part of an answer.
class AllOrNothing {
public:
    explicit AllOrNothing(platform::Database& db) : m_db(db) {
        m_db.execute("SAVEPOINT newsimport");
    }
    ~AllOrNothing() {
        if (m_open)
            try {
                m_db.execute("ROLLBACK TO newsimport");
                m_db.execute("RELEASE newsimport");
            } catch (const std::exception&) {
                // the connection is gone; nothing was kept
            }
    }
    void commit() {
        m_db.execute("RELEASE newsimport");
        m_open = false;
    }

private:
    platform::Database& m_db;
    bool m_open = true;
};

} // namespace

void storeNewsItems(platform::Database& db, std::int32_t logId,
                    const std::vector<NewsItem>& items) {
    AllOrNothing batch(db);
    for (const NewsItem& item : items)
        db.execute("INSERT INTO vellumitenewsfeeds (logid, body, url, title, site_name, site_url) "
                   "VALUES (?, ?, ?, ?, ?, ?)",
                   {logId, withoutApostrophes(item.body), withoutApostrophes(item.url),
                    withoutApostrophes(item.title), withoutApostrophes(item.siteName),
                    withoutApostrophes(item.siteUrl)});
    batch.commit();
}

std::size_t storeImportAnswer(platform::Database& db, std::int32_t logId, std::string_view answer) {
    const std::vector<NewsItem> items = newsItemsOfAnswer(answer);
    storeNewsItems(db, logId, items);
    return items.size();
}

void subBuildNewsList(AppState& app, std::string_view templateName, std::string_view pageName) {
    ListPage page(app.appFolder, std::string(templateName), "GlintwatchNewsFeed",
                  {"<$GlintwatchNewsAlertDate$>", "<$GlintwatchNewsAlertTitle$>",
                   "<$GlintwatchNewsAlertMatch$>", "<$GlintwatchAlertId$>"});
    auto rows = app.db().openRecordset("SELECT * FROM vellumitenewsfeeds");
    for (; !rows.eof(); rows.moveNext())
        page.add({"", listText(platform::replacedAll(readText(rows["Title"]), "+", " ")),
                  listText(listedMatch(readText(rows["body"]))), readText(rows["alertid"])});
    page.expand();
    page.write(pageName);
}

void subShowResources(AppState& app) {
    subBuildNewsList(app, "template-newslist.html", kNewsListPage);
    showSection(app, section::Resources, kNewsListPage);
}

void subShowResourceManager(AppState& app) {
    subBuildNewsList(app, "template-newsmanager.html", kNewsManagerPage);
    showPane(app, pane::ManageResources, app.htmlFile(kManageResourcesFrame));
}

void subDeleteResource(AppState& app, std::int32_t alertId, bool fromManager) {
    if (app.host.msgBox("Are you sure you wish to delete this resource?", "Delete Resource?",
                        platform::MsgButtons::YesNo) != platform::MsgResult::Yes)
        return;
    app.db().execute("DELETE FROM vellumitenewsfeeds WHERE alertid=?", {alertId});
    if (fromManager) {
        subBuildNewsList(app, "template-newslist.html", kNewsListPage);
        subShowResourceManager(app);
    } else {
        subBuildNewsList(app, "template-newsmanager.html", kNewsManagerPage);
        subShowResources(app);
    }
}

} // namespace vellumite
