// The words and tunes of the sample songs are in the public domain.

#include "TunequillKit/Library/Samples.h"

namespace TunequillKit::Samples {

constexpr std::string_view amazingGrace = R"song({title: Amazing Grace}
{subtitle: Words: John Newton (1779) · Tune: New Britain}
{key: G}
{time: 3/4}
{tempo: 80}

{start_of_verse: Verse 1}
A[G]mazing [G7]grace! How [C]sweet the [G]sound
That saved a wretch like [D]me!
I [G]once was [G7]lost, but [C]now am [G]found;
Was [Em]blind, but [D7]now I [G]see.
{end_of_verse}

{start_of_verse: Verse 2}
’Twas [G]grace that [G7]taught my [C]heart to [G]fear,
And grace my fears re[D]lieved;
How [G]precious [G7]did that [C]grace ap[G]pear
The [Em]hour I [D7]first be[G]lieved.
{end_of_verse}

{start_of_verse: Verse 3}
Through [G]many [G7]dangers, [C]toils and [G]snares,
I have already [D]come;
’Tis [G]grace hath [G7]brought me [C]safe thus [G]far,
And [Em]grace will [D7]lead me [G]home.
{end_of_verse}

{start_of_verse: Verse 4}
When [G]we’ve been [G7]there ten [C]thousand [G]years,
Bright shining as the [D]sun,
We’ve [G]no less [G7]days to [C]sing God’s [G]praise
Than [Em]when we’d [D7]first be[G]gun.
{end_of_verse}
)song";

constexpr std::string_view holyHoly = R"song({title: Holy, Holy, Holy}
{subtitle: Words: Reginald Heber (1826) · Tune: Nicaea, John B. Dykes (1861)}
{key: D}
{time: 4/4}

{start_of_verse: Verse 1}
[D]Holy, holy, [Bm]holy! [G]Lord God Al[D]mighty!
[D]Early in the [Bm]morning our [E7]song shall rise to [A]Thee;
[D]Holy, holy, [Bm]holy, [G]merciful and [D]mighty!
[G]God in three [D]Persons, [A7]blessed Trini[D]ty!
{end_of_verse}

{start_of_verse: Verse 2}
[D]Holy, holy, [Bm]holy! [G]All the saints a[D]dore Thee,
[D]Casting down their [Bm]golden crowns a[E7]round the glassy [A]sea;
[D]Cherubim and [Bm]seraphim [G]falling down be[D]fore Thee,
[G]Which wert, and [D]art, and [A7]evermore shalt [D]be.
{end_of_verse}
)song";

constexpr std::string_view shallWeGather = R"song({title: Shall We Gather at the River}
{artist: Robert Lowry}
{key: G}
{capo: 3}
{comment: Gently, with a lift}

{start_of_verse: Verse 1}
[G]Shall we gather at the river,
Where bright angel feet have [D]trod,
With its [G]crystal tide for[C]ever
[G]Flowing [D]by the throne of [G]God?
{end_of_verse}

{start_of_chorus}
[G]Yes, we’ll gather at the river,
The beautiful, the beautiful [D]river;
[G]Gather with the [C]saints at the river
[G]That flows [D]by the throne of [G]God.
{end_of_chorus}

{start_of_verse: Verse 2}
[G]On the margin of the river,
Washing up its silver [D]spray,
We will [G]walk and worship [C]ever,
[G]All the [D]happy golden [G]day.
{end_of_verse}

{chorus}
)song";

constexpr std::string_view simpleGifts = R"song({title: Simple Gifts}
{subtitle: Shaker song}
{artist: Joseph Brackett}
{key: F}
{tempo: 96}

{start_of_verse}
’Tis the [F]gift to be simple, ’tis the gift to be free,
’Tis the gift to come down where we [C]ought to be,
And [F]when we find ourselves in the place just right,
’Twill be [C]in the valley of [C7]love and de[F]light.
{end_of_verse}

{start_of_chorus}
When true [F]simplicity is [C]gained,
To bow and to bend we [Bb]shan’t be a[F]shamed,
To turn, turn will [C]be our de[F]light,
Till by [Bb]turning, turning we [C7]come round [F]right.
{end_of_chorus}
)song";

constexpr std::string_view swingLow = R"song({title: Swing Low, Sweet Chariot}
{subtitle: African American spiritual}
{key: A}

{start_of_chorus}
Swing [A]low, sweet [D]chari[A]ot,
Coming for to carry me [E7]home;
Swing [A]low, sweet [D]chari[A]ot,
Coming for to [E7]carry me [A]home.
{end_of_chorus}

{start_of_verse: Verse 1}
I [A]looked over Jordan, and [D]what did I [A]see,
Coming for to carry me [E7]home?
A [A]band of angels [D]coming after [A]me,
Coming for to [E7]carry me [A]home.
{end_of_verse}

{chorus}

{start_of_verse: Verse 2}
If [A]you get there be[D]fore I [A]do,
Coming for to carry me [E7]home,
Tell [A]all my friends I’m [D]coming [A]too,
Coming for to [E7]carry me [A]home.
{end_of_verse}

{chorus}
)song";

constexpr std::string_view downInTheValley = R"song({title: Down in the Valley}
{subtitle: Traditional American}
{key: C}
{time: 3/4}
{define: C base-fret 1 frets x 3 2 0 1 0}
{define: G7 base-fret 1 frets 3 2 0 0 0 1}

{start_of_verse: Verse 1}
[C]Down in the valley, the valley so [G7]low,
Hang your head over, hear the wind [C]blow.
Hear the wind blow, dear, hear the wind [G7]blow;
Hang your head over, hear the wind [C]blow.
{end_of_verse}

{start_of_verse: Verse 2}
[C]Roses love sunshine, violets love [G7]dew,
Angels in heaven know I love [C]you.
Know I love you, dear, know I love [G7]you,
Angels in heaven know I love [C]you.
{end_of_verse}
)song";

constexpr std::string_view redRiverValleyPlain = R"song(Red River Valley

Artist: Traditional
Key: D

Verse 1
D                                 A7
From this valley they say you are going,
D                                       A7
We will miss your bright eyes and sweet smile,
D                               G
For they say you are taking the sunshine
                        A7        D
That has brightened our pathway a while.

Chorus
D                              A7
Come and sit by my side if you love me,
D                       A7
Do not hasten to bid me adieu,
D                          G
But remember the Red River Valley,
                    A7           D
And the one who has loved you so true.
)song";

constexpr std::string_view homeOnTheRange = R"song({title: Home on the Range}
{subtitle: Words: Brewster M. Higley · Music: Daniel E. Kelley}
{key: G}
{time: 3/4}

{start_of_tab: Intro}
e|-----3-----|-----0-----|-----2-----|-----3-----|
B|---0---0---|---1---1---|---3---3---|---0---0---|
G|-0-------0-|-0-------0-|-2-------2-|-0-------0-|
D|-----------|-----------|-0---------|-----------|
{end_of_tab}

{start_of_verse: Verse 1}
Oh, [G]give me a home where the [C]buffalo roam,
Where the [G]deer and the antelope [D]play,
Where [G]seldom is heard a dis[C]couraging word,
And the [G]skies are not [D7]cloudy all [G]day.
{end_of_verse}

{start_of_chorus}
[G]Home, [D7]home on the [G]range,
Where the deer and the antelope [D]play;
Where [G]seldom is heard a dis[C]couraging word,
And the [G]skies are not [D7]cloudy all [G]day.
{end_of_chorus}
)song";

constexpr std::array<Sample, 8> all = {{
    {"Amazing Grace.cho", amazingGrace},
    {"Holy, Holy, Holy.cho", holyHoly},
    {"Shall We Gather at the River.cho", shallWeGather},
    {"Simple Gifts.cho", simpleGifts},
    {"Swing Low, Sweet Chariot.cho", swingLow},
    {"Down in the Valley.cho", downInTheValley},
    {"Red River Valley.txt", redRiverValleyPlain},
    {"Home on the Range.cho", homeOnTheRange},
}};

} // namespace TunequillKit::Samples
