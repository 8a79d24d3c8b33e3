#include "FolmiraKit/Render/Pictures.h"

#include "FolmiraKit/Model/Cancel.h"
#include "Platform/PdfWriter.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace FolmiraKit::Renderer {

std::pair<std::size_t, bool> DistinctBytes::add(const Platform::Bytes& data)
{
    auto hash = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    auto [first, last] = seen_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (it->second.first == &data || *it->second.first == data) return {it->second.second, false};
    seen_.emplace(hash, std::make_pair(&data, count_));
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
        auto [index, isNew] = distinct.add(image->picture.data);
        if (isNew) {
            auto own = Platform::imageInfo(image->picture.data);
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

PictureCache::PictureCache(const std::vector<Page>& pages, std::int64_t heldBudget) : heldBudget_(heldBudget)
{
    DistinctBytes distinct;
    for (std::size_t p = 0; p < pages.size(); ++p)
        for (const Op& op : pages[p]) {
            const auto* image = op.as<Op::Image>();
            if (!image) continue;
            auto [index, isNew] = distinct.add(*image->data);
            if (isNew) entries_.push_back(Entry{image->data.get(), {}, p, std::nullopt, false, false, 0});
            Entry& entry = entries_[index];
            entry.drawn.width = std::max(entry.drawn.width, std::abs(image->rect.width));
            entry.drawn.height = std::max(entry.drawn.height, std::abs(image->rect.height));
            entry.lastPage = p;
            byData_.emplace(image->data.get(), index);
        }
}

std::optional<Platform::Image> PictureCache::image(const Op::Image& op)
{
    auto found = byData_.find(op.data.get());
    if (found == byData_.end()) return std::nullopt;
    Entry& entry = entries_[found->second];
    if (entry.image) return entry.image;
    if (entry.counted) ++leftOut_;
    if (entry.failed) return std::nullopt;
    entry.failed = true; // until it is decoded
    auto own = Platform::imageInfo(*entry.data);
    if (!own) return std::nullopt;
    auto size = decodedSize(*own, entry.drawn);
    std::int64_t pixels = static_cast<std::int64_t>(size.width) * static_cast<std::int64_t>(size.height);
    if (held_ + pixels > heldBudget_) {
        entry.counted = true;
        ++leftOut_;
        return std::nullopt;
    }
    ++decodes_;
    entry.image = Platform::Image::decodeAt(*entry.data, static_cast<int>(size.width), static_cast<int>(size.height));
    checkCancelled(); // a decode cut short by a cancel looks like a failed one
    if (!entry.image) return std::nullopt;
    entry.failed = false;
    entry.pixels = pixels;
    held_ += pixels;
    peakHeld_ = std::max(peakHeld_, held_);
    return entry.image;
}

void PictureCache::pageDone(std::size_t index, Platform::PdfWriter& writer)
{
    for (Entry& entry : entries_) {
        if (entry.lastPage != index || !entry.image) continue;
        writer.release(*entry.image);
        entry.image.reset();
        held_ -= entry.pixels;
    }
}

} // namespace FolmiraKit::Renderer
