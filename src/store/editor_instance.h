// The running editor of an app folder: one per folder, found through a lock in the folder.
#pragma once

#include "platform/instance_lock.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vellumite {

inline constexpr const char* kEditorLockFile = "vellumite.lock";

// Held by the editor for its whole run. Nothing when another editor runs on the folder.
std::optional<platform::InstanceLock> claimEditorLock(const std::filesystem::path& appFolder);

// The address (with its token) of the editor running on `appFolder`, once it has published
// it; nothing when no editor runs there.
std::optional<std::string> runningEditorAddress(const std::filesystem::path& appFolder);

} // namespace vellumite
