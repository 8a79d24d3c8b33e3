// The engine the application runs on: FolmiraKit's entry and renderer, and
// styled originals for RTF and Word files.

#include "FolmiraApp/Model/Engine.h"

#include "FolmiraApp/Model/StyledOriginal.h"

#include <fstream>
#include <iterator>

namespace FolmiraApp {

namespace {

class FolmiraEngine final : public Engine {
public:
    FolmiraKit::BigDocument read(const std::filesystem::path& url, bool keepLineBreaks,
                                 const FolmiraKit::CancelFlag* cancel) override
    {
        return FolmiraKit::Folmira::read(url, keepLineBreaks, cancel);
    }

    FolmiraKit::RenderResult render(const FolmiraKit::BigDocument& document,
                                    const FolmiraKit::LargePrintSettings& settings,
                                    const FolmiraKit::CancelFlag* cancel) override
    {
        return FolmiraKit::Folmira::render(document, settings, cancel);
    }

    std::optional<StyledText> styledOriginal(const std::filesystem::path& url,
                                             FolmiraKit::BigDocument::Source source) override
    {
        std::ifstream in(url, std::ios::binary);
        if (!in) return std::nullopt;
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (in.bad()) return std::nullopt;
        switch (source) {
        case FolmiraKit::BigDocument::Source::rtf: return rtfOriginal(bytes);
        case FolmiraKit::BigDocument::Source::word: return docxOriginal(bytes);
        default: return std::nullopt;
        }
    }
};

} // namespace

std::shared_ptr<Engine> makeFolmiraEngine()
{
    return std::make_shared<FolmiraEngine>();
}

} // namespace FolmiraApp
