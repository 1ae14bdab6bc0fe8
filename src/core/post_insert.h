// Links and images put into the post being edited, and the site's image history: shared by the
// post editor's tools and the upload dialogs.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vellumite {

// Said by the tools that act on the selection when nothing is selected.
inline constexpr std::string_view kNoTextSelected =
    "No text selected!  Highlight some text and then select this option again.";

// The post form of the content edit page and its body, the post box.
inline constexpr std::string_view kPostForm = "VellumiteContentEdit";
inline constexpr std::string_view kPostBox = "Vellumiteposttext";

// The post box of the content edit page.
platform::Document postDocument(AppState& app);

// A link's address as the post gets it: as given when it holds "://" or "mailto:" (any case),
// else beneath the site's address (`siteAddress`, "/", the address: "page.html" becomes
// "http://example.org/page.html"; a slash already at either side is not doubled).
std::string linkAddress(std::string_view siteAddress, std::string_view address);

// <a href="address" attributes>text</a>; the space before the attributes is there when they
// are empty too.
std::string linkTag(std::string_view address, std::string_view attributes, std::string_view text);

// Wraps the post box's selection in a link to `address` ("target=Vellumite" or nothing as
// `attributes`); the link stays selected. An empty selection leaves the post as it is.
// Returns whether the link was made.
bool subInsertLink(AppState& app, std::string_view address, std::string_view attributes);

// Where an image is: the address the post uses, and the site-relative form the history keeps.
// A path with "http://" or "https://" is an address already; any other path lies beneath the
// site's address ("images/a.gif" and "/images/a.gif" both become ".../images/a.gif").
struct ImageAddress {
    std::string absolute;
    std::string siteRelative;
};
ImageAddress imageAddress(std::string_view siteAddress, std::string_view path);

// The history's path for an image: the site-relative path, or only its file name when the site
// has no web address.
std::string imageHistoryPath(const ImageAddress& image);

// Whether `text` holds a web address ("http://" or "https://", any case) rather than a path.
bool isWebAddress(std::string_view text);

// The tag for an image: <img> with its size and alternative text, or with `popup` a 40 by 40
// thumbnail that opens the picture through popupimage(address, width, height).
std::string imageTag(std::string_view address, std::string_view height, std::string_view width,
                     bool popup, std::string_view alt);

// Puts the image tag in place of the post box's selection saved as `savedSelection` (by the
// editor's image tool), selects it, and records the image in the history. Closes the image
// dialog and puts the cursor back into the post box.
void subInsertImage(AppState& app, int savedSelection, std::string_view path,
                    std::string_view height, std::string_view width, bool popup,
                    std::string_view alt);

// One use of an image in the site's history: an identical earlier entry (same path, height
// and width) goes, so the newest use is the last. Values are stored as typed.
void recordImageUse(platform::Database& db, std::int32_t logId, std::string_view path,
                    std::string_view height, std::string_view width, std::string_view alt);

// The history as the image dialog lists it, oldest first: "path,height,width,alt" (an empty
// size reads as 3, as empty numbers always have).
std::vector<std::string> imageHistory(platform::Database& db, std::int32_t logId);

} // namespace vellumite
