#pragma once

// Identifiers and dates as the library stores them: random version-4 UUIDs
// written as upper-case strings, and dates as seconds since
// 1 January 2001 00:00:00 UTC (the reference date), fraction kept.

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace TunequillKit {

struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    // A fresh random (version 4) identifier. Thread-safe.
    static Uuid random();
    // The 8-4-4-4-12 hexadecimal form, either case; none for anything else.
    static std::optional<Uuid> fromString(std::string_view text);
    // The canonical form in upper case: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
    std::string toString() const;

    auto operator<=>(const Uuid&) const = default;
};

struct Date {
    double timeIntervalSinceReferenceDate = 0;

    // Seconds between 1970-01-01 and the reference date 2001-01-01 (UTC).
    static constexpr double unixToReference = 978307200.0;

    static Date now();
    static constexpr Date fromUnixTime(double seconds) { return Date{seconds - unixToReference}; }
    constexpr double unixTime() const { return timeIntervalSinceReferenceDate + unixToReference; }

    auto operator<=>(const Date&) const = default;
};

} // namespace TunequillKit

template <>
struct std::hash<TunequillKit::Uuid> {
    std::size_t operator()(const TunequillKit::Uuid& id) const noexcept;
};
template <>
struct std::hash<TunequillKit::Date> {
    std::size_t operator()(const TunequillKit::Date& d) const noexcept
    {
        return std::hash<double>{}(d.timeIntervalSinceReferenceDate);
    }
};
