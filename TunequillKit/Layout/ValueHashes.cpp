// Hashes of the layout's values, member by member in declaration order, so
// that values equal under == hash alike (std::hash<double> gives 0.0 and -0.0
// the same hash).

#include "TunequillKit/Layout/BookLayout.h"
#include "TunequillKit/Layout/PreparedSong.h"
#include "TunequillKit/Layout/Typesetter.h"

namespace {

using TunequillKit::detail::hashCombine;
using TunequillKit::detail::hashList;
using TunequillKit::detail::hashOptional;

void hashPoint(std::size_t& seed, const Platform::Point& p)
{
    hashCombine(seed, p.x);
    hashCombine(seed, p.y);
}

void hashRect(std::size_t& seed, const Platform::Rect& r)
{
    hashCombine(seed, r.x);
    hashCombine(seed, r.y);
    hashCombine(seed, r.width);
    hashCombine(seed, r.height);
}

} // namespace

std::size_t std::hash<TunequillKit::FontSpec>::operator()(const TunequillKit::FontSpec& f) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, f.size);
    hashCombine(seed, f.bold);
    hashCombine(seed, f.italic);
    hashCombine(seed, f.mono);
    hashCombine(seed, f.serif);
    return seed;
}

std::size_t std::hash<TunequillKit::Run>::operator()(const TunequillKit::Run& r) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, r.text);
    hashCombine(seed, r.x);
    hashCombine(seed, r.baseline);
    hashCombine(seed, r.font);
    hashCombine(seed, r.ink);
    return seed;
}

std::size_t std::hash<TunequillKit::Mark>::operator()(const TunequillKit::Mark& m) const noexcept
{
    using TunequillKit::Mark;
    std::size_t seed = 0;
    hashCombine(seed, m.value().index());
    if (auto box = m.as<Mark::Box>()) {
        hashRect(seed, box->rect);
    } else if (auto rule = m.as<Mark::Rule>()) {
        hashPoint(seed, rule->from);
        hashPoint(seed, rule->to);
    } else if (auto leader = m.as<Mark::Leader>()) {
        hashCombine(seed, leader->x1);
        hashCombine(seed, leader->x2);
        hashCombine(seed, leader->baseline);
        hashCombine(seed, leader->size);
    } else if (auto diagram = m.as<Mark::Diagram>()) {
        hashCombine(seed, diagram->definition);
        hashPoint(seed, diagram->origin);
        hashCombine(seed, diagram->width);
        hashCombine(seed, diagram->nameSize);
    }
    return seed;
}

std::size_t std::hash<TunequillKit::Row>::operator()(const TunequillKit::Row& r) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, r.height);
    hashList(seed, r.runs);
    hashList(seed, r.marks);
    hashCombine(seed, r.indent);
    return seed;
}

std::size_t std::hash<TunequillKit::Block>::operator()(const TunequillKit::Block& b) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, b.kind);
    hashList(seed, b.rows);
    hashCombine(seed, b.spaceAfter);
    hashCombine(seed, b.keepWithNext);
    hashOptional(seed, b.barX);
    return seed;
}

std::size_t std::hash<TunequillKit::Typesetter::Atom>::operator()(const TunequillKit::Typesetter::Atom& a) const noexcept
{
    std::size_t seed = 0;
    hashOptional(seed, a.chord);
    hashCombine(seed, a.text);
    hashCombine(seed, a.mark);
    return seed;
}

std::size_t std::hash<TunequillKit::PlacedRow>::operator()(const TunequillKit::PlacedRow& r) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, r.row);
    hashPoint(seed, r.origin);
    hashOptional(seed, r.song);
    hashOptional(seed, r.block);
    return seed;
}

std::size_t std::hash<TunequillKit::LaidPage>::operator()(const TunequillKit::LaidPage& p) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, p.number);
    hashCombine(seed, p.kind);
    hashList(seed, p.rows);
    hashCombine(seed, p.bars.size());
    for (const Platform::Rect& bar : p.bars) hashRect(seed, bar);
    hashList(seed, p.songs);
    hashCombine(seed, p.showNumber);
    return seed;
}

std::size_t std::hash<TunequillKit::IndexEntry>::operator()(const TunequillKit::IndexEntry& e) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, e.text);
    hashCombine(seed, e.page);
    hashCombine(seed, e.isFirstLine);
    return seed;
}

std::size_t std::hash<TunequillKit::PreparedSong>::operator()(const TunequillKit::PreparedSong& s) const noexcept
{
    std::size_t seed = 0;
    hashCombine(seed, s.song);
    hashCombine(seed, s.style);
    hashOptional(seed, s.soundingKey);
    hashCombine(seed, s.capo);
    hashCombine(seed, s.keyLine);
    return seed;
}
