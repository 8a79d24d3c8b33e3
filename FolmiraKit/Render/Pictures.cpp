#include "FolmiraKit/Render/Pictures.h"

#include "FolmiraKit/Model/Cancel.h"
#include "Platform/PdfWriter.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace FolmiraKit::Renderer {

std::pair<std::size_t, bool> DistinctBytes::add(std::span<const std::uint8_t> data)
{
    auto hash = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    auto [first, last] = seen_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (std::ranges::equal(it->second.first, data)) return {it->second.second, false};
    seen_.emplace(hash, std::make_pair(data, count_));
    return {count_++, true};
}

PictureChoice affordablePictures(const Blocks& blocks, std::int64_t budget)
{
    PictureChoice choice;
    DistinctBytes distinct;
    std::vector<bool> affordable;
    for (const Block& block : blocks) {
        const auto* image = block.as<Block::Image>();
        if (!image) {
            choice.blocks.push_back(&block);
            continue;
        }
        auto [index, isNew] = distinct.add(image->picture.data.view());
        if (isNew) {
            auto own = Platform::imageInfo(*image->picture.data.bytes());
            std::int64_t cost = own ? static_cast<std::int64_t>(own->width) * static_cast<std::int64_t>(own->height) : 0;
            bool fits = choice.chargedPixels + cost <= budget;
            if (fits) choice.chargedPixels += cost;
            affordable.push_back(fits);
        }
        if (affordable[index]) choice.blocks.push_back(&block);
        else ++choice.leftOut;
    }
    return choice;
}

Platform::ImageInfo PictureCache::decodedSize(Platform::ImageInfo own, Platform::Size drawn)
{
    auto side = [](double ownPixels, double points) {
        double wanted = std::ceil(points / 72 * PictureLimits::dotsPerInch);
        if (!std::isfinite(wanted)) wanted = ownPixels;
        return std::clamp(wanted, 1.0, std::max(1.0, ownPixels));
    };
    return {side(own.width, drawn.width), side(own.height, drawn.height)};
}

PictureCache::PictureCache(std::int64_t heldBudget) : heldBudget_(heldBudget) {}

PictureCache::PictureCache(const std::vector<Page>& pages, std::int64_t heldBudget) : heldBudget_(heldBudget)
{
    for (const Page& page : pages)
        for (const Op& op : page)
            if (const auto* image = op.as<Op::Image>()) {
                plan(image->data, {image->rect.width, image->rect.height});
                byData_.emplace(image->data.data(), entryOf(image->data, {}));
            }
}

std::size_t PictureCache::entryOf(const PictureData& data, Platform::Size drawn)
{
    auto [index, isNew] = distinct_.add(data.view());
    if (isNew) entries_.push_back(Entry{data, {}, 0, std::nullopt, false, false, 0});
    Entry& entry = entries_[index];
    entry.drawn.width = std::max(entry.drawn.width, std::abs(drawn.width));
    entry.drawn.height = std::max(entry.drawn.height, std::abs(drawn.height));
    return index;
}

void PictureCache::plan(const PictureData& data, Platform::Size drawn) { ++entries_[entryOf(data, drawn)].uses; }

std::optional<Platform::Image> PictureCache::image(const Op::Image& op)
{
    auto found = byData_.find(op.data.data());
    if (found == byData_.end()) found = byData_.emplace(op.data.data(), entryOf(op.data, {op.rect.width, op.rect.height})).first;
    Entry& entry = entries_[found->second];
    if (entry.uses > 0) --entry.uses;
    if (entry.image) return entry.image;
    if (entry.counted) ++leftOut_;
    if (entry.failed) return std::nullopt;
    entry.failed = true; // until it is decoded
    // A picture mapped from a file is read in for as long as it is decoded.
    const auto bytes = entry.data.bytes();
    auto own = Platform::imageInfo(*bytes);
    if (!own) return std::nullopt;
    auto size = decodedSize(*own, entry.drawn);
    std::int64_t pixels = static_cast<std::int64_t>(size.width) * static_cast<std::int64_t>(size.height);
    if (held_ + pixels > heldBudget_) {
        entry.counted = true;
        ++leftOut_;
        return std::nullopt;
    }
    ++decodes_;
    entry.image = Platform::Image::decodeAt(*bytes, static_cast<int>(size.width), static_cast<int>(size.height));
    checkCancelled(); // a decode cut short by a cancel looks like a failed one
    if (!entry.image) return std::nullopt;
    entry.failed = false;
    entry.pixels = pixels;
    held_ += pixels;
    heldEntries_.push_back(found->second);
    peakHeld_ = std::max(peakHeld_, held_);
    return entry.image;
}

void PictureCache::pageDone(Platform::PdfWriter& writer)
{
    std::erase_if(heldEntries_, [&](std::size_t index) {
        Entry& entry = entries_[index];
        if (entry.uses > 0 || !entry.image) return false;
        writer.release(*entry.image);
        entry.image.reset();
        held_ -= entry.pixels;
        return true;
    });
}

} // namespace FolmiraKit::Renderer
