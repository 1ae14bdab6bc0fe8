// Everything a generator run needs from the site database, read once at the start of the run.
#pragma once

#include "core/panes.h"
#include "platform/database.h"
#include "platform/error.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vellumite {

// A generator run cannot go on: no site, no template, a template without the markers it
// needs, a post document that cannot be read. The text is the one to show the user.
class GeneratorError : public platform::MessageError {
public:
    explicit GeneratorError(std::string description, int number = 0)
        : MessageError(number == 0 ? kFailed : number, std::move(description), "SiteGenerator") {}

    // Numbers the callers tell apart; everything else is kFailed.
    static constexpr int kFailed = 1;
    static constexpr int kNoTemplate = 2;      // the site has no template yet
    static constexpr int kNotPublishedYet = 3; // archive before the first publish
};

// The message shown when the archive is generated for a site never published.
inline constexpr const char* kPublishBeforeArchiveMessage =
    "You must publish before you upload your archives.  Please publish and try again.";

struct SitePost {
    std::int32_t postId = 0;
    std::string title;
    std::string byline;
    std::string body; // as published: an external document's body is already read in
    std::string date; // "YYYY-MM-DD"
    std::string time; // "HH:MM:SS"
    std::int32_t publishPage = 0;
    bool highlighted = false; // boolDisplayInViewRecent
    std::string imageStats;
    std::optional<std::int32_t> categoryId;
};

struct SiteLink {
    std::string url;
    std::string text;
    bool newWindow = false;
};

struct SiteCategory {
    std::int32_t id = 0;
    std::string name;
};

struct SiteSettings {
    std::int32_t logId = 0;
    bool ascending = false;       // PublishBackwards: oldest post first
    std::int32_t postPerPage = 1; // as stored, 0 and below read as 1
    std::int32_t totalPublishPosts = 1;
    std::int32_t useDesignerTemplate = 0;
    std::string contactEmail;
    std::string contactMeText;
    std::string copyrightNotice;
    bool showDate = false;
    std::string pageUrl;
    std::optional<std::int32_t> logServerId; // Null until the site is registered
    std::string linkTitle;
    std::string highlightTitle;
    std::string categoryTitle;
    std::string displayTitle;
    std::string webBarTitle;
    std::string searchTerms;
};

// One site as a generator run sees it.
struct SiteData {
    SiteSettings settings;
    std::string siteTemplate;
    // Published posts (PublishPage not 0), newest first; equal stamps newest key first.
    std::vector<SitePost> posts;
    std::vector<SiteLink> links;          // table order
    std::vector<SiteCategory> categories; // table order
};

// Reads the site row only. Throws GeneratorError when there is no site `logId`.
SiteSettings loadSiteSettings(platform::Database& db, std::int32_t logId);

// Reads the whole site. Throws GeneratorError when the site does not exist, has no template
// (UseDesignerTemplate 0: kNoTemplateMessage) or names a user template that is gone, and
// when a post's external document cannot be read.
SiteData loadSiteData(platform::Database& db, std::int32_t logId,
                      const std::filesystem::path& appFolder);

// The site's published posts, newest first (the order of SiteData::posts).
std::vector<SitePost> loadPublishedPosts(platform::Database& db, std::int32_t logId);

} // namespace vellumite
