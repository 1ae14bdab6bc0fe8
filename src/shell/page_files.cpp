// Template reads and page writes beneath the app folder's html folder.
#include "shell/page_files.h"

#include "platform/files.h"

#include <stdexcept>
#include <system_error>

namespace vellumite {

std::string readEditorTemplate(const AppState& app, std::string_view name) {
    const std::string relative = "html/" + std::string(name);
    auto path = platform::files::resolveNoCase(app.appFolder, relative);
    if (!path)
        throw std::runtime_error("The page template " + std::string(name) + " is missing from " +
                                 (app.appFolder / "html").string() + ".");
    std::string page;
    for (const std::string& line : platform::files::readLines(*path)) {
        page += "\n\r";
        page += line;
    }
    return page;
}

void writeEditorPage(const AppState& app, std::string_view name, std::string_view page) {
    const std::string relative = "html/" + std::string(name);
    auto path = platform::files::resolveNoCase(app.appFolder, relative, true);
    if (!path)
        throw std::runtime_error("cannot write " + relative + " in " + app.appFolder.string());
    platform::files::writeFileAtomic(*path, page);
}

} // namespace vellumite
