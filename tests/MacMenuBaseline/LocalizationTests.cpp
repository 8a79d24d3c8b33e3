// The menu language and the two texts, with tables missing or incomplete.

#include "MacMenuBaseline/Localization.h"

#include <gtest/gtest.h>

namespace {

using namespace MacMenuBaseline::Localization;

TEST(MenuLanguage, FollowsTheLanguageTheApplicationIsShownIn)
{
    const struct {
        QStringList application;
        QStringList user;
        const char* expected;
    } cases[] = {
        {{"en"}, {"es"}, "en"}, // an English-only application among Spanish preferences
        {{"en", "es"}, {"es-MX"}, "es"},
        {{"en", "es"}, {"fr-FR"}, "en"},
        {{"en", "es"}, {"fr-FR", "es"}, "es"}, // shown in the first of its own the user takes
        {{"en", "fr"}, {"fr"}, "en"},          // shown in French, which the menu texts lack
        {{"es_ES", "en"}, {"de"}, "es"},       // none wanted: its first language
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseLanguage(c.application, c.user), c.expected)
            << c.application.join(',').toStdString() << " / " << c.user.join(',').toStdString();
}

TEST(MenuLanguage, AHostWithoutLanguagesTakesTheFirstOfferedPreference)
{
    const struct {
        QStringList user;
        const char* expected;
    } cases[] = {
        {{"es-MX"}, "es"}, {{"pt-BR", "es"}, "es"}, {{"pt-BR"}, "en"}, {{"en-GB", "es"}, "en"},
        {{"fr-FR", "de"}, "en"}, {{"C"}, "en"}, {{}, "en"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseLanguage({}, c.user), c.expected) << c.user.join(',').toStdString();
}

TEST(MenuLanguage, ReducesIdentifiersToTheirLanguageCode)
{
    EXPECT_EQ(reduce("es-MX"), "es");
    EXPECT_EQ(reduce("pt_BR"), "pt");
    EXPECT_EQ(reduce("de"), "de");
    EXPECT_EQ(reduce("qqq"), "qqq"); // no locale knows it
}

TEST(MenuTexts, EnglishIsTheKeyAndSpanishComesFromTheBuiltInTable)
{
    EXPECT_EQ(text("Close Window", "en"), "Close Window");
    EXPECT_EQ(text("%@ Help", "en", "Folmira"), "Folmira Help");
    EXPECT_EQ(text("Close Window", "es"), "Cerrar ventana");
    EXPECT_EQ(text("%@ Help", "es", "Folmira"), "Ayuda de Folmira");
}

TEST(MenuTexts, AMissingTableOrKeyFallsBackToEnglish)
{
    EXPECT_EQ(text("Close Window", "es", {}, {}), "Close Window");
    EXPECT_EQ(text("%@ Help", "es", "Folmira", {}), "Folmira Help");

    constexpr std::array<Entry, 1> partial{{{"Close Window", "Cerrar"}}};
    const std::array<Table, 1> tables{{{"es", partial}}};
    EXPECT_EQ(text("Close Window", "es", {}, tables), "Cerrar");
    EXPECT_EQ(text("%@ Help", "es", "Folmira", tables), "Folmira Help");
    EXPECT_EQ(text("Something Else", "es", {}, builtInTables()), "Something Else");
}

TEST(MenuTexts, TheHelpTitleNamesTheGivenApplication)
{
    EXPECT_EQ(helpTitle("Notebook"), "Notebook Help");
    EXPECT_EQ(closeWindowTitle(), "Close Window");
}

} // namespace
