#pragma once

// One drawing operation of a laid-out page. Geometry is PDF page space: points,
// origin at the bottom-left corner, y growing upwards. Everything is drawn in
// black except a fill's grey.

#include "FolmiraKit/Model/PictureData.h"
#include "Platform/Geometry.h"
#include "Platform/Images.h"
#include "Platform/TextLayout.h"

#include <memory>
#include <type_traits>
#include <variant>
#include <vector>

namespace FolmiraKit::Renderer {

class Op {
public:
    // Lines [firstLine, firstLine + lineCount) of a laid-out paragraph, already
    // placed: drawing breaks no lines of its own. The layout is shared by the
    // frames of one paragraph that spans pages.
    struct Text {
        std::shared_ptr<const Platform::TextLayout> layout;
        int firstLine = 0;
        int lineCount = 0;
        Platform::Rect rect;                  // the frame's rectangle, filled from its top
        std::vector<Platform::Point> origins; // per line: x of the layout's left edge, y of the baseline

        // Same text, same lines, same places (the layouts themselves may differ).
        bool operator==(const Text& other) const;
    };
    // A picture drawn scaled into the rectangle. It stays encoded until its
    // page is drawn, so that a document of many large photographs never holds
    // more than one of them decoded.
    struct Image {
        PictureData data;
        Platform::Rect rect;
        bool operator==(const Image& other) const;
    };
    // A straight line `width` points thick.
    struct Line {
        Platform::Point from;
        Platform::Point to;
        double width = 1;
        bool operator==(const Line&) const = default;
    };
    // A rectangle's outline, `width` points thick.
    struct Box {
        Platform::Rect rect;
        double width = 1;
        bool operator==(const Box&) const = default;
    };
    // A filled rectangle of grey level `grey` (0 black, 1 white).
    struct Fill {
        Platform::Rect rect;
        double grey = 0;
        bool operator==(const Fill&) const = default;
    };

    using Value = std::variant<Text, Image, Line, Box, Fill>;

    template <typename Case>
        requires(!std::is_same_v<std::remove_cvref_t<Case>, Op> && std::is_constructible_v<Value, Case &&>)
    Op(Case&& value) : value_(std::forward<Case>(value))
    {
    }

    const Value& value() const { return value_; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&value_); }

    bool operator==(const Op&) const = default;

private:
    Value value_;
};

using Page = std::vector<Op>;

} // namespace FolmiraKit::Renderer
