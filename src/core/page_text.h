// How stored text goes into editor pages: as text the page shows, never as the page's markup.
#pragma once

#include <string>
#include <string_view>

namespace vellumite {

// A title, byline or other stored value shown in a list: its tags stripped (StripTags), then
// escaped so that what is left ("<" without ">", quotes) stays text. Character references the
// stored text holds ("&#39;" for an apostrophe) keep their meaning.
std::string listText(std::string_view stored);

// A stored value put into a form field's value attribute, to come back from the field as it
// is stored. The one exception is "&#39;", the form in which apostrophes are stored in drafts
// and re-inserted posts: it is shown, and comes back, as the apostrophe it stands for.
std::string fieldText(std::string_view stored);

// The same for the content of a textarea. The page parser drops a line break right after the
// opening tag, so a value that starts with one gets an extra one in front.
std::string textareaText(std::string_view stored);

} // namespace vellumite
