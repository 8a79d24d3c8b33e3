// The engine the application runs on: FolmiraKit's entry and renderer, and
// styled originals for RTF and Word files.

#include "FolmiraApp/Model/Engine.h"

namespace FolmiraApp {

namespace {

class FolmiraEngine final : public Engine {
public:
    FolmiraKit::BigDocument read(const std::filesystem::path& url, bool keepLineBreaks) override
    {
        return FolmiraKit::Folmira::read(url, keepLineBreaks);
    }

    FolmiraKit::RenderResult render(const FolmiraKit::BigDocument& document,
                                    const FolmiraKit::LargePrintSettings& settings) override
    {
        return FolmiraKit::Folmira::render(document, settings);
    }

    std::optional<StyledText> styledOriginal(const std::filesystem::path&, FolmiraKit::BigDocument::Source) override
    {
        return std::nullopt;
    }
};

} // namespace

std::shared_ptr<Engine> makeFolmiraEngine()
{
    return std::make_shared<FolmiraEngine>();
}

} // namespace FolmiraApp
