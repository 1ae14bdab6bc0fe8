// frmImage and frmSelectURL: the floating windows that insert a picture or a link into the post
// being edited, uploading a file chosen on the user's computer first.
#pragma once

#include "core/app_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumite {

inline constexpr std::string_view kImageForm = "frmImage";
inline constexpr std::string_view kLinkForm = "frmSelectURL";

// One entry of the image history as the dialog fills its boxes from it.
struct ImageHistoryChoice {
    std::string file; // "/images/photo.gif"; a site path or web address as it is
    std::string height;
    std::string width;
    std::string alt;
};

// Reads "path,height,width,alt" (imageHistory, core/post_insert.h). The sizes are the first two
// numbers that follow the path, so a path or an alternative text that holds "," stays whole.
ImageHistoryChoice imageHistoryChoice(std::string_view entry);

// lblFileSize for the file box: "File is N bytes." for a chosen file (`chosenSize`), "Online
// Image" for a web address, otherwise "File not found".
std::string fileSizeText(std::string_view fileText, std::optional<std::uint64_t> chosenSize);

// The name a chosen file gets on the server: the last piece of its path, in lower case for
// pictures. Nothing when no file could have that name.
std::optional<std::string> remoteNameFor(std::string_view chosenName, bool picture);

// A width or height as the tag takes it: digits, or nothing (the history reads that as 3).
bool isImageDimension(std::string_view text);

// "<$image$>", after the post editor kept the place for the picture as saved selection
// `savedSelection`: shows frmImage top-most with an empty alternative text and the site's
// image history.
void showImageDialog(AppState& app, int savedSelection);

// "<$href$>", with text selected in the post box: shows frmSelectURL top-most.
void showLinkDialog(AppState& app);

// "<$clearimg$>": empties frmImage's file box.
void clearImageFile(AppState& app);

} // namespace vellumite
