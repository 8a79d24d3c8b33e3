#pragma once

// Documents and layouts for the renderer's tests.

#include "FolmiraKit/Render/Layout.h"
#include "FolmiraKit/Render/Renderer.h"
#include "Platform/Cancel.h"
#include "Platform/Images.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace RenderTest {

using namespace FolmiraKit;
using Renderer::Layout;
using Renderer::Op;
using Renderer::Page;

inline Block para(const std::string& text) { return Block::paragraph({Run(text)}); }
inline Block heading(int level, const std::string& text)
{
    return Block::heading(level, text.empty() ? Runs{} : Runs{Run(text)});
}
inline Block item(const std::string& marker, int level, const std::string& text)
{
    return Block::listItem(marker, level, {Run(text)});
}

// A PNG of the given pixel size, shown at `width` × `height` points (0: unset).
inline Block picture(int pixelsWide, int pixelsHigh, double width = 0, double height = 0)
{
    Platform::Bitmap bitmap{pixelsWide, pixelsHigh,
                            std::vector<std::uint32_t>(static_cast<std::size_t>(pixelsWide) * pixelsHigh, 0xFF808080)};
    return Block::image(Picture{*Platform::pngData(bitmap), width, height, ""});
}

inline std::string words(int count)
{
    static const char* const pool[] = {"reading", "large", "print", "makes", "every", "page", "kinder", "to", "tired", "eyes"};
    std::string out;
    for (int i = 0; i < count; ++i) out += std::string(i ? " " : "") + pool[i % 10];
    return out;
}

// Feeds the blocks in order, each with its look-ahead.
inline void addAll(Layout& layout, const Blocks& blocks)
{
    for (std::size_t i = 0; i < blocks.size(); ++i) layout.add(blocks[i], i + 1 < blocks.size() ? &blocks[i + 1] : nullptr);
}

inline std::vector<const Op::Text*> texts(const Page& page)
{
    std::vector<const Op::Text*> out;
    for (const Op& op : page)
        if (auto* t = op.as<Op::Text>()) out.push_back(t);
    return out;
}

// The characters of one frame.
inline std::string frameText(const Op::Text& frame)
{
    const auto& lines = frame.layout->lines();
    const auto& first = lines[static_cast<std::size_t>(frame.firstLine)];
    const auto& last = lines[static_cast<std::size_t>(frame.firstLine + frame.lineCount - 1)];
    return frame.layout->text().substr(first.start, last.start + last.length - first.start);
}

// Where the text under a frame ends: the last baseline less the larger of its
// descent and a fifth of the line pitch.
inline double frameBottom(const Op::Text& frame, double pitch)
{
    const auto& last = frame.layout->lines()[static_cast<std::size_t>(frame.firstLine + frame.lineCount - 1)];
    return frame.origins.back().y - std::max(last.descent, 0.2 * pitch);
}

// Renders `doc` and cancels it `after` the start: whether the render threw
// Cancelled, and how long it went on after the flag was set. Tried three
// times, keeping the least lag: a loaded machine may hold the render's thread
// off the CPU just after one cancel, never a render that doesn't look at it.
struct CancelledRender {
    bool cancelled = false;
    std::chrono::steady_clock::duration lag{};
};

inline CancelledRender renderCancelledOnce(const BigDocument& doc, std::chrono::milliseconds after)
{
    CancelFlag flag;
    std::chrono::steady_clock::time_point cancelledAt;
    std::thread canceller([&] {
        std::this_thread::sleep_for(after);
        cancelledAt = std::chrono::steady_clock::now();
        flag.cancel();
    });
    CancelledRender out;
    try {
        Folmira::render(doc, {}, &flag);
    } catch (const Cancelled&) {
        out.cancelled = true;
    }
    const auto stopped = std::chrono::steady_clock::now();
    canceller.join();
    out.lag = stopped - cancelledAt;
    return out;
}

inline CancelledRender renderCancelledAfter(const BigDocument& doc, std::chrono::milliseconds after)
{
    CancelledRender least = renderCancelledOnce(doc, after);
    for (int i = 0; i < 2 && least.cancelled; ++i) {
        const CancelledRender again = renderCancelledOnce(doc, after);
        least.cancelled = again.cancelled;
        least.lag = std::min(least.lag, again.lag);
    }
    return least;
}

// How long rendering `doc` to the end took: what a cancelled render's lag is
// held against, measured on the same machine under the same load.
inline std::chrono::steady_clock::duration renderTime(const BigDocument& doc)
{
    const auto start = std::chrono::steady_clock::now();
    Folmira::render(doc, {});
    return std::chrono::steady_clock::now() - start;
}

// `lag` as a share of `reference`.
inline double share(std::chrono::steady_clock::duration lag, std::chrono::steady_clock::duration reference)
{
    return std::chrono::duration<double>(lag).count() / std::chrono::duration<double>(reference).count();
}

} // namespace RenderTest
