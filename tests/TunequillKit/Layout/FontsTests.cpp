#include "Platform/TextLayout.h"
#include "TunequillKit/Layout/Fonts.h"
#include "TunequillKit/Layout/TextMeasurer.h"

#include <gtest/gtest.h>

using namespace TunequillKit;

namespace {

// Restores the global sans faces after a test changes them.
struct SansFacesGuard {
    std::optional<std::vector<std::string>> saved = Fonts::sansFaces;
    ~SansFacesGuard() { Fonts::sansFaces = saved; }
};

} // namespace

TEST(SongFonts, NamesByTraits)
{
    SansFacesGuard guard;
    Fonts::sansFaces.reset();
    struct Case {
        FontSpec spec;
        const char* name;
    };
    const Case cases[] = {
        {{12, false, false, true, true}, "Menlo-Regular"},
        {{12, true, true, true, false}, "Menlo-Bold"},
        {{12, false, false, false, true}, "Charter-Roman"},
        {{12, false, true, false, true}, "Charter-Italic"},
        {{12, true, false, false, true}, "Charter-Bold"},
        {{12, true, true, false, true}, "Charter-BoldItalic"},
        {{12, false, false, false, false}, "HelveticaNeue"},
        {{12, true, false, false, false}, "HelveticaNeue-Bold"},
        {{12, false, true, false, false}, "HelveticaNeue-Italic"},
        {{12, true, true, false, false}, "HelveticaNeue-BoldItalic"},
    };
    for (const Case& c : cases) EXPECT_EQ(Fonts::name(c.spec), c.name);

    Fonts::sansFaces = std::vector<std::string>{"R", "B", "I", "BI"};
    EXPECT_EQ(Fonts::name({12, true, false, false, false}), "B");
    EXPECT_EQ(Fonts::name({12, false, true, false, false}), "I");
    EXPECT_EQ(Fonts::name({12, false, false, false, true}), "Charter-Roman");
    Fonts::sansFaces = std::vector<std::string>{"R", "B", "I"}; // not four: ignored
    EXPECT_EQ(Fonts::name({12, true, true, false, false}), "HelveticaNeue-BoldItalic");
}

TEST(SongFonts, RealMeasurerUsesTheFaceThatIsDrawn)
{
    SansFacesGuard guard;
    Fonts::sansFaces = std::vector<std::string>{"AtkinsonHyperlegible-Regular", "AtkinsonHyperlegible-Bold",
                                                "AtkinsonHyperlegible-Italic", "AtkinsonHyperlegible-BoldItalic"};
    PangoMeasurer measurer;
    FontSpec regular{18, false, false, false, false};
    FontSpec bold{18, true, false, false, false};
    EXPECT_EQ(measurer.width("", regular), 0);
    Platform::Font face = Fonts::face(bold);
    EXPECT_EQ(face.postScriptName, "AtkinsonHyperlegible-Bold");
    EXPECT_EQ(face.size, 18);
    double w = measurer.width("Amazing grace", bold);
    Platform::AttributedText text;
    text.append("Amazing grace", face);
    EXPECT_DOUBLE_EQ(w, Platform::TextLayout::lineWidth(text));
    EXPECT_GT(w, measurer.width("Amazing grace", regular));
    EXPECT_DOUBLE_EQ(measurer.width("Amazing grace", bold), w); // remembered, same answer
    EXPECT_NEAR(measurer.width("Amazing grace", FontSpec{36, true, false, false, false}), 2 * w, 0.5);

    // Faces this system lacks get a stand-in of their kind, with the asked traits.
    Platform::Font charter = Fonts::face({14, false, true, false, true});
    EXPECT_EQ(charter.requested, "Charter-Italic");
    EXPECT_TRUE(charter.italic);
    EXPECT_EQ(charter.family, Platform::Fonts::generic(Platform::Fonts::Generic::serif, 14, false, true).family);
    EXPECT_NE(charter.family, Fonts::face({14, false, true, false, false}).family);
    EXPECT_GT(measurer.width("words", {14, false, true, false, true}), 0);

    // The monospaced face stands in with a monospaced one, so tablature columns line up.
    for (bool bold : {false, true}) {
        FontSpec mono{12, bold, false, true, false};
        EXPECT_EQ(Fonts::face(mono).requested, Fonts::name(mono));
        EXPECT_DOUBLE_EQ(measurer.width("e|-----3-----|", mono), measurer.width("B|---0---0---|", mono)) << bold;
        EXPECT_DOUBLE_EQ(measurer.width("iiii", mono), measurer.width("MMMM", mono)) << bold;
    }
}
