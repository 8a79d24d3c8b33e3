#pragma once

// The baseline's two texts in English and Spanish. The tables are compiled
// into the library, so a missing file can never take the menu down with it;
// a language or key the tables lack reads as the English key itself.

#include <QString>
#include <QStringList>

#include <array>
#include <span>
#include <string_view>

namespace MacMenuBaseline::Localization {

inline constexpr std::array<std::string_view, 2> offeredLanguages{"en", "es"};
inline constexpr std::string_view fallbackLanguage = "en";

struct Entry {
    std::string_view key;
    std::string_view text;
};

struct Table {
    std::string_view language;
    std::span<const Entry> entries;
};

// The tables built into the library ("es"; English is the keys themselves).
std::span<const Table> builtInTables();

// A language identifier ("es-MX", "pt_BR", "fr") reduced to its language
// code; an identifier no locale understands is returned as it is.
QString reduce(const QString& identifier);

// The language of the menu texts. An application with interface languages of
// its own (`applicationLanguages`, its first the one it falls back to) is
// shown in the first of them that the user prefers; the texts follow that
// language, English when the baseline does not offer it. A host without
// languages of its own (a test runner) takes the first of the user's
// languages (`userLanguages`, most preferred first) that the baseline offers.
QString chooseLanguage(const QStringList& applicationLanguages, const QStringList& userLanguages);

// Declares the languages the application's own interface is shown in. Only a
// declaration made before the first title is built counts.
void setApplicationLanguages(const QStringList& languages);

// chooseLanguage of the declared application languages and the user's UI
// languages, worked out once per process on first use.
QString language();

// The text for `key` in `language`, with "%@" replaced by `argument`; the key
// itself when `tables` has no table for the language or no entry for the key.
QString text(std::string_view key, const QString& language, const QString& argument = {},
             std::span<const Table> tables = builtInTables());

// "Close Window" and "<appName> Help" in the process's language.
QString closeWindowTitle();
QString helpTitle(const QString& appName);

} // namespace MacMenuBaseline::Localization
