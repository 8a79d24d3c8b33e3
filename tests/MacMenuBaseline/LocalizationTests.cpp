// The menu language and the two texts, with tables missing or incomplete.

#include "MacMenuBaseline/Localization.h"

#include <gtest/gtest.h>

namespace {

using namespace MacMenuBaseline::Localization;

TEST(MenuLanguage, FollowsTheApplicationsFirstLanguageOnly)
{
    const struct {
        QStringList languages;
        const char* expected;
    } cases[] = {
        {{"es-MX"}, "es"},
        {{"es_ES", "en"}, "es"},
        {{"es"}, "es"},
        {{"pt-BR", "es"}, "en"}, // the application is not shown in Spanish
        {{"fr-FR"}, "en"},
        {{"en-GB", "es"}, "en"},
        {{"C"}, "en"},
        {{}, "en"},
    };
    for (const auto& c : cases) EXPECT_EQ(chooseLanguage(c.languages), c.expected) << c.languages.join(',').toStdString();
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
