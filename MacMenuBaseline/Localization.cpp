#include "MacMenuBaseline/Localization.h"

#include <QLocale>

#include <algorithm>

namespace MacMenuBaseline::Localization {

namespace {

constexpr std::string_view closeWindowKey = "Close Window";
constexpr std::string_view helpKey = "%@ Help";

constexpr std::array<Entry, 2> spanish{{
    {closeWindowKey, "Cerrar ventana"},
    {helpKey, "Ayuda de %@"},
}};

constexpr std::array<Table, 1> tables{{{"es", spanish}}};

QString qstr(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool offered(const QString& code)
{
    return std::any_of(offeredLanguages.begin(), offeredLanguages.end(),
                       [&](std::string_view language) { return qstr(language) == code; });
}

QStringList& declaredLanguages()
{
    static QStringList languages;
    return languages;
}

} // namespace

std::span<const Table> builtInTables()
{
    return tables;
}

QString reduce(const QString& identifier)
{
    const QLocale locale(identifier);
    // QLocale falls back to "C" for identifiers it does not know.
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage) return identifier;
    return QLocale::languageToCode(locale.language());
}

QString chooseLanguage(const QStringList& applicationLanguages, const QStringList& userLanguages)
{
    if (!applicationLanguages.isEmpty()) {
        QString shown = applicationLanguages.front();
        for (const QString& wanted : userLanguages) {
            const QString code = reduce(wanted);
            const auto match = std::find_if(applicationLanguages.begin(), applicationLanguages.end(),
                                            [&](const QString& own) { return reduce(own) == code; });
            if (match != applicationLanguages.end()) {
                shown = *match;
                break;
            }
        }
        const QString code = reduce(shown);
        return offered(code) ? code : qstr(fallbackLanguage);
    }
    for (const QString& wanted : userLanguages) {
        const QString code = reduce(wanted);
        if (offered(code)) return code;
    }
    return qstr(fallbackLanguage);
}

void setApplicationLanguages(const QStringList& languages)
{
    declaredLanguages() = languages;
}

QString language()
{
    // A function-local static is initialised once even under concurrent first use.
    static const QString chosen = chooseLanguage(declaredLanguages(), QLocale().uiLanguages());
    return chosen;
}

QString text(std::string_view key, const QString& language, const QString& argument, std::span<const Table> tables)
{
    QString found = qstr(key);
    for (const auto& table : tables) {
        if (qstr(table.language) != language) continue;
        for (const auto& entry : table.entries)
            if (entry.key == key) found = qstr(entry.text);
    }
    return found.replace(QStringLiteral("%@"), argument);
}

QString closeWindowTitle()
{
    return text(closeWindowKey, language());
}

QString helpTitle(const QString& appName)
{
    return text(helpKey, language(), appName);
}

} // namespace MacMenuBaseline::Localization
