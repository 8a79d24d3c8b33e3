#pragma once

// The document engine as the model uses it. Reads and renders run on worker
// threads, so an implementation must allow calls from any thread, several at
// once. Tests put a fake here to hold a read or a render back.

#include "FolmiraApp/Model/StyledText.h"
#include "FolmiraKit/FolmiraKit.h"
#include "FolmiraKit/Render/Renderer.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace FolmiraApp {

class Engine {
public:
    virtual ~Engine() = default;

    // Reads a file into a document; throws ConversionError (or anything else)
    // when it cannot. Once `cancel` is set the read soon stops with
    // FolmiraKit::Cancelled.
    virtual FolmiraKit::BigDocument read(const std::filesystem::path& url, bool keepLineBreaks,
                                         const FolmiraKit::CancelFlag* cancel) = 0;
    // Lays a document out in large print. Throws only FolmiraKit::Cancelled,
    // once `cancel` is set.
    virtual FolmiraKit::RenderResult render(const FolmiraKit::BigDocument& document,
                                            const FolmiraKit::LargePrintSettings& settings,
                                            const FolmiraKit::CancelFlag* cancel) = 0;
    // An RTF or Word original as styled text for the left-hand pane; none when
    // it cannot be read that way. Called on the main thread.
    virtual std::optional<StyledText> styledOriginal(const std::filesystem::path& url,
                                                     FolmiraKit::BigDocument::Source source) = 0;
};

// The real engine: FolmiraKit's entry and renderer.
std::shared_ptr<Engine> makeFolmiraEngine();

} // namespace FolmiraApp
