// Filling the archive menu page from the site's archived posts.
#include "generator/archive_menu.h"

#include "generator/site_data.h"
#include "generator/site_page.h"
#include "platform/files.h"
#include "platform/text.h"

#include <system_error>

namespace vellumite {

namespace fs = std::filesystem;

void buildArchiveMenu(platform::Database& db, std::int32_t logId, const fs::path& appFolder) {
    SiteSettings site = loadSiteSettings(db, logId);
    std::vector<SitePost> posts = loadPublishedPosts(db, logId);

    auto templatePath = platform::files::resolveNoCase(appFolder, "html/template-archivemenu.html");
    if (!templatePath)
        throw GeneratorError("cannot find the page template html/template-archivemenu.html in " +
                             appFolder.string());
    std::string page;
    try {
        for (const std::string& line : platform::files::readLines(*templatePath)) {
            if (!page.empty())
                page += "\r\n";
            page += line;
        }
    } catch (const std::system_error& e) {
        throw GeneratorError(e.what());
    }

    constexpr BlockMarkers kArchiveDates{"<ArchiveDates>", "</ArchiveDates>"};
    auto item = itemTemplate(page, kArchiveDates);
    if (!item)
        throw GeneratorError("The page template template-archivemenu.html has no "
                             "<ArchiveDates> block.");
    std::string itemText(*item);
    std::string joined;
    for (std::size_t i = static_cast<std::size_t>(site.totalPublishPosts); i < posts.size(); ++i) {
        // An editor page shows stored titles as text, never as its own markup.
        const SitePost& post = posts[i];
        std::string entry = itemText;
        platform::replaceAll(entry, "<$VellumiteNewsLinkText$>",
                             platform::htmlEscape(platform::stripTags(post.title)));
        platform::replaceAll(entry, "<$VellumitePostID$>", std::to_string(post.postId));
        platform::replaceAll(entry, "<$VellumiteNewsBody$>",
                             platform::htmlEscape(platform::stripTags(post.byline)));
        platform::replaceAll(entry, "<$VellumiteNewsDateStamp$>", post.date + " " + post.time);
        joined += entry;
    }
    platform::replaceAll(page, itemText, joined);

    auto target = platform::files::resolveNoCase(appFolder, "html/archivemenu.html", true);
    if (!target)
        throw GeneratorError("cannot write html/archivemenu.html in " + appFolder.string());
    platform::files::writeFileAtomic(*target, page);
}

} // namespace vellumite
