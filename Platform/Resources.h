#pragma once

// The application's resource folder, which holds Fonts/ and Samples/.

#include <filesystem>
#include <optional>
#include <string_view>

namespace Platform::Resources {

// The resource folder, looked up afresh on every call: the folder named by the
// environment variable FOLMIRA_RESOURCES when it is set and not empty (tests and
// tools use it; a missing folder named there means no resources at all); else ../share/folmira beside the executable's folder (an
// installed copy); else the build tree's own resource folder. Nothing when none
// of them is a directory.
std::optional<std::filesystem::path> folder();

// The entry `name` (a relative path such as "Fonts") inside the resource folder,
// or nothing when there is no resource folder or no such entry.
std::optional<std::filesystem::path> path(std::string_view name);

} // namespace Platform::Resources
