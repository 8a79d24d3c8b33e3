#include "Platform/RichText/Lists.h"

#include "Platform/RichText/Limits.h"
#include "Platform/Text.h"

#include <algorithm>

namespace Platform::RichText {

void ListTable::beginList() { lists_.emplace_back(); }

void ListTable::setListId(int id)
{
    if (!lists_.empty()) lists_.back().id = id;
}

void ListTable::beginLevel()
{
    if (lists_.empty()) lists_.emplace_back();
    // More levels than RTF allows are folded into the last one.
    if (lists_.back().levels.size() <= static_cast<std::size_t>(Limits::maxListLevel))
        lists_.back().levels.emplace_back();
    else
        lists_.back().levels.back() = Level{};
}

ListTable::Level* ListTable::currentLevel()
{
    if (lists_.empty() || lists_.back().levels.empty()) return nullptr;
    return &lists_.back().levels.back();
}

void ListTable::setNumberFormat(int nfc)
{
    if (Level* level = currentLevel(); level && !level->numberFormat) level->numberFormat = nfc;
}

void ListTable::setStartAt(int start)
{
    if (Level* level = currentLevel()) level->startAt = start;
}

void ListTable::clearLevelText()
{
    if (Level* level = currentLevel()) level->levelText.clear();
}

void ListTable::appendLevelText(char32_t unit)
{
    Level* level = currentLevel();
    if (level && level->levelText.size() < Limits::maxLevelTextUnits) level->levelText.push_back(unit);
}

void ListTable::setLevelMarker(std::string format)
{
    if (Level* level = currentLevel()) level->marker = std::move(format);
}

void ListTable::beginOverride()
{
    pendingOverrideList_ = 0;
    pendingOverrideNumber_.reset();
}

void ListTable::setOverrideListId(int id)
{
    pendingOverrideList_ = id;
    if (pendingOverrideNumber_) overrides_[*pendingOverrideNumber_] = id;
}

void ListTable::setOverrideNumber(int ls)
{
    pendingOverrideNumber_ = ls;
    overrides_[ls] = pendingOverrideList_;
}

std::string ListTable::formatOf(const Level& level, int index)
{
    if (level.marker) return *level.marker;
    int nfc = level.numberFormat.value_or(0);
    if (nfc == 23) return "{disc}";
    std::string token;
    switch (nfc) {
    case 1: token = "{upper-roman}"; break;
    case 2: token = "{lower-roman}"; break;
    case 3: token = "{upper-alpha}"; break;
    case 4: token = "{lower-alpha}"; break;
    case 255: break;  // no number, only the level text
    default: token = "{decimal}"; break;
    }
    if (level.levelText.empty()) return token.empty() ? std::string() : token + ".";

    // The first unit is the text's length; then literals and placeholders.
    // Numbers of the enclosing levels ("1.2.") are left out: a nested item
    // shows only its own number.
    std::size_t length = std::min<std::size_t>(level.levelText[0], level.levelText.size() - 1);
    std::string out;
    bool ownSeen = false, otherSeen = false;
    for (std::size_t i = 1; i <= length; ++i) {
        char32_t unit = level.levelText[i];
        if (unit <= static_cast<char32_t>(Limits::maxListLevel)) {
            if (static_cast<int>(unit) == index && !ownSeen) {
                if (otherSeen) out.clear();
                out += token;
                ownSeen = true;
            } else if (!ownSeen) {
                otherSeen = true;
            }
        } else if (unit >= 0x20) {
            Text::appendScalar(out, unit);
        }
    }
    return out;
}

std::optional<ListTable::Item> ListTable::nextItem(int ls, int level)
{
    auto override = overrides_.find(ls);
    if (override == overrides_.end()) return std::nullopt;
    auto list = std::find_if(lists_.begin(), lists_.end(), [&](const List& l) { return l.id == override->second; });
    if (list == lists_.end()) return std::nullopt;

    level = std::clamp(level, 0, Limits::maxListLevel);
    // A level that shows neither a number nor any text (LibreOffice numbers
    // its headings through such a list) makes no list item.
    const bool defined = static_cast<std::size_t>(level) < list->levels.size();
    if (defined && formatOf(list->levels[static_cast<std::size_t>(level)], level).empty()) return std::nullopt;
    Item item;
    for (int i = 0; i <= level; ++i) {
        if (static_cast<std::size_t>(i) < list->levels.size())
            item.lists.push_back(TextList{formatOf(list->levels[static_cast<std::size_t>(i)], i)});
        else
            item.lists.push_back(TextList{"{disc}"});
    }

    auto& counts = counts_[ls];
    auto& count = counts[static_cast<std::size_t>(level)];
    const Level* own = static_cast<std::size_t>(level) < list->levels.size() ? &list->levels[static_cast<std::size_t>(level)] : nullptr;
    count = count ? std::min(*count, Limits::maxItemNumber - 1) + 1 : (own ? own->startAt : 1);
    for (std::size_t deeper = static_cast<std::size_t>(level) + 1; deeper < counts.size(); ++deeper) counts[deeper].reset();
    item.itemNumber = *count;
    return item;
}

} // namespace Platform::RichText
