#include "Platform/Resources.h"

#include <cstdlib>
#include <system_error>

#ifndef FOLMIRA_BUILD_RESOURCES
#define FOLMIRA_BUILD_RESOURCES ""
#endif

namespace Platform::Resources {
namespace {

bool isDirectory(const std::filesystem::path& p)
{
    std::error_code error;
    return !p.empty() && std::filesystem::is_directory(p, error);
}

std::filesystem::path executableFolder()
{
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : exe.parent_path();
}

} // namespace

std::optional<std::filesystem::path> folder()
{
    // An explicit folder wins even when it is missing: a test that points at an
    // empty place means "no resources", not "find some elsewhere".
    if (const char* named = std::getenv("FOLMIRA_RESOURCES"); named && *named) {
        std::filesystem::path p(named);
        return isDirectory(p) ? std::optional(p) : std::nullopt;
    }
    if (auto exe = executableFolder(); !exe.empty()) {
        auto installed = exe.parent_path() / "share" / "folmira";
        if (isDirectory(installed)) return installed;
    }
    std::filesystem::path built(FOLMIRA_BUILD_RESOURCES);
    if (isDirectory(built)) return built;
    return std::nullopt;
}

std::optional<std::filesystem::path> path(std::string_view name)
{
    auto base = folder();
    if (!base) return std::nullopt;
    auto p = *base / std::filesystem::path(name);
    std::error_code error;
    if (!std::filesystem::exists(p, error)) return std::nullopt;
    return p;
}

} // namespace Platform::Resources
