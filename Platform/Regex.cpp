// ICU's regex engine run over UTF-8 through UText, so matching needs no copy
// and the positions ICU reports are byte offsets into the caller's text.
// The compiled pattern is immutable; each search makes its own matcher.

#include "Platform/Regex.h"

#include <unicode/regex.h>
#include <unicode/utext.h>

#include <stdexcept>

namespace Platform {

struct Regex::Impl {
    std::unique_ptr<icu::RegexPattern> pattern;
};

namespace {

struct UTextCloser {
    void operator()(UText* t) const { utext_close(t); }
};

std::uint32_t icuFlags(unsigned options)
{
    std::uint32_t flags = 0;
    if (options & Regex::CaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    if (options & Regex::AnchorsMatchLines) flags |= UREGEX_MULTILINE;
    if (options & Regex::DotMatchesLineSeparators) flags |= UREGEX_DOTALL;
    return flags;
}

Regex::Match matchOf(icu::RegexMatcher& m, std::string_view text)
{
    UErrorCode status = U_ZERO_ERROR;
    Regex::Match match;
    std::int32_t count = m.groupCount();
    match.groups.reserve(static_cast<std::size_t>(count) + 1);
    for (std::int32_t g = 0; g <= count; ++g) {
        std::int64_t b = m.start64(g, status), e = m.end64(g, status);
        if (U_FAILURE(status) || b < 0) {
            match.groups.emplace_back();
            status = U_ZERO_ERROR;
            continue;
        }
        auto begin = static_cast<std::size_t>(b), end = static_cast<std::size_t>(e);
        match.groups.push_back(Regex::Group{begin, end, text.substr(begin, end - begin)});
    }
    return match;
}

// Walks the matches of `text` in order; `visit` returns false to stop.
template <typename Visit>
void forEachMatch(const icu::RegexPattern& pattern, std::string_view text, std::size_t from, Visit visit)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UTextCloser> ut(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
    if (U_FAILURE(status)) return;
    std::unique_ptr<icu::RegexMatcher> m(pattern.matcher(status));
    if (U_FAILURE(status)) return;
    m->reset(ut.get());
    if (from > 0 && !m->find(static_cast<std::int64_t>(from), status)) return;
    if (from > 0 && !visit(*m)) return;
    while (m->find(status) && U_SUCCESS(status))
        if (!visit(*m)) return;
}

// Expands "$n" (group n) and "\x" (x itself) in a replacement template.
void appendTemplate(std::string& out, std::string_view templ, const Regex::Match& match)
{
    for (std::size_t i = 0; i < templ.size(); ++i) {
        char c = templ[i];
        if (c == '\\' && i + 1 < templ.size()) {
            out += templ[++i];
        } else if (c == '$' && i + 1 < templ.size() && templ[i + 1] >= '0' && templ[i + 1] <= '9') {
            std::size_t group = 0;
            while (i + 1 < templ.size() && templ[i + 1] >= '0' && templ[i + 1] <= '9') {
                std::size_t next = group * 10 + static_cast<std::size_t>(templ[i + 1] - '0');
                if (next >= match.groups.size() && group != 0) break;
                group = next;
                ++i;
            }
            if (group < match.groups.size()) out += match.text(group);
        } else {
            out += c;
        }
    }
}

} // namespace

Regex::Regex(std::string_view pattern, unsigned options) : impl_(std::make_unique<Impl>())
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), static_cast<std::int32_t>(pattern.size())));
    impl_->pattern.reset(icu::RegexPattern::compile(source, icuFlags(options), parseError, status));
    if (U_FAILURE(status)) throw std::invalid_argument("bad regular expression: " + std::string(pattern));
}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

std::optional<Regex::Match> Regex::firstMatch(std::string_view text, std::size_t from) const
{
    std::optional<Match> found;
    if (from > text.size()) return found;
    forEachMatch(*impl_->pattern, text, from, [&](icu::RegexMatcher& m) {
        found = matchOf(m, text);
        return false;
    });
    return found;
}

std::vector<Regex::Match> Regex::allMatches(std::string_view text) const
{
    std::vector<Match> all;
    forEachMatch(*impl_->pattern, text, 0, [&](icu::RegexMatcher& m) {
        all.push_back(matchOf(m, text));
        return true;
    });
    return all;
}

std::optional<Regex::Match> Regex::wholeMatch(std::string_view text) const
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UText, UTextCloser> ut(
        utext_openUTF8(nullptr, text.data(), static_cast<std::int64_t>(text.size()), &status));
    std::unique_ptr<icu::RegexMatcher> m(impl_->pattern->matcher(status));
    if (U_FAILURE(status)) return std::nullopt;
    m->reset(ut.get());
    if (!m->matches(status) || U_FAILURE(status)) return std::nullopt;
    return matchOf(*m, text);
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacement) const
{
    return replaceAll(text, [&](const Match& match) {
        std::string out;
        appendTemplate(out, replacement, match);
        return out;
    });
}

std::string Regex::replaceAll(std::string_view text, const std::function<std::string(const Match&)>& replacer) const
{
    std::string out;
    std::size_t copied = 0;
    forEachMatch(*impl_->pattern, text, 0, [&](icu::RegexMatcher& m) {
        Match match = matchOf(m, text);
        out.append(text.substr(copied, match.groups[0]->begin - copied));
        out += replacer(match);
        copied = match.groups[0]->end;
        return true;
    });
    if (copied == 0 && out.empty()) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

} // namespace Platform
