#pragma once

// Regular expressions with ICU's engine (the syntax of ICU and Foundation).
// A Regex is compiled once and may be used from any number of threads.
// Text goes in and comes out as UTF-8; positions are byte offsets into it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

class Regex {
public:
    enum Option : unsigned {
        None = 0,
        CaseInsensitive = 1u << 0,
        AnchorsMatchLines = 1u << 1, // ^ and $ at every line
        DotMatchesLineSeparators = 1u << 2,
    };

    struct Group {
        std::size_t begin = 0; // byte offsets into the searched text
        std::size_t end = 0;
        std::string_view text;
    };
    // Group 0 is the whole match; an unmatched group is none.
    struct Match {
        std::vector<std::optional<Group>> groups;
        const std::optional<Group>& operator[](std::size_t i) const { return groups[i]; }
        std::string_view text(std::size_t i) const { return groups[i] ? groups[i]->text : std::string_view{}; }
        bool has(std::size_t i) const { return i < groups.size() && groups[i].has_value(); }
    };

    // Throws std::invalid_argument for a pattern ICU cannot compile.
    explicit Regex(std::string_view pattern, unsigned options = None);
    ~Regex();
    Regex(Regex&&) noexcept;
    Regex& operator=(Regex&&) noexcept;

    // First match at or after byte offset `from`.
    std::optional<Match> firstMatch(std::string_view text, std::size_t from = 0) const;
    std::vector<Match> allMatches(std::string_view text) const;
    bool search(std::string_view text) const { return firstMatch(text).has_value(); }
    // The whole text must match.
    std::optional<Match> wholeMatch(std::string_view text) const;
    // Replaces every match by `replacement`, where $n names group n and \ escapes.
    std::string replaceAll(std::string_view text, std::string_view replacement) const;
    // Replaces every match by what `replacer` returns for it.
    std::string replaceAll(std::string_view text, const std::function<std::string(const Match&)>& replacer) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
