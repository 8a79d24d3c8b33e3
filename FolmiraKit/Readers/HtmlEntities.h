#pragma once

// HTML's named character references, as Markdown writes them ("&copy;").

#include <optional>
#include <string_view>

namespace FolmiraKit {

// The UTF-8 text of the reference `name` (between "&" and ";", case kept),
// or none when HTML names no such reference.
std::optional<std::string_view> htmlEntity(std::string_view name);

} // namespace FolmiraKit
