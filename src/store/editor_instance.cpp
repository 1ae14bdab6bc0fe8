// The running editor of an app folder.
#include "store/editor_instance.h"

namespace vellumite {

std::optional<platform::InstanceLock> claimEditorLock(const std::filesystem::path& appFolder) {
    return platform::InstanceLock::tryAcquire(appFolder / kEditorLockFile);
}

std::optional<std::string> runningEditorAddress(const std::filesystem::path& appFolder) {
    auto holder = platform::lockHolder(appFolder / kEditorLockFile);
    if (!holder || holder->text.empty())
        return std::nullopt;
    return holder->text;
}

} // namespace vellumite
