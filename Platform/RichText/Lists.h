#pragma once

// The list definitions of an RTF file (\listtable, \listoverridetable) and the
// numbering of the paragraphs that use them (\lsN \ilvlN).
//
// Word describes a level by a number format (\levelnfc) and a level text in
// which bytes 0–8 stand for the numbers of levels 0–8; Cocoa adds a marker
// format (\levelmarker, "{decimal}."), which wins when both are present.

#include "Platform/RichText.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace Platform::RichText {

class ListTable {
public:
    // Building, in the order the destinations arrive.
    void beginList();
    void setListId(int id);
    void beginLevel();
    void setNumberFormat(int nfc);
    void setStartAt(int start);
    void clearLevelText();
    void appendLevelText(char32_t unit);  // units 0–8 are level placeholders
    void setLevelMarker(std::string format);
    void beginOverride();
    void setOverrideListId(int id);
    void setOverrideNumber(int ls);

    struct Item {
        std::vector<TextList> lists;  // levels 0…level
        int itemNumber = 0;
    };
    // The lists and number of the next item of list instance `ls` at `level`;
    // none when `ls` names no defined list. Advances that level's count and
    // restarts the deeper levels.
    std::optional<Item> nextItem(int ls, int level);

private:
    struct Level {
        std::optional<int> numberFormat;
        int startAt = 1;
        std::vector<char32_t> levelText;
        std::optional<std::string> marker;
    };
    struct List {
        int id = 0;
        std::vector<Level> levels;
    };
    static std::string formatOf(const Level& level, int index);
    Level* currentLevel();

    std::vector<List> lists_;
    std::map<int, int> overrides_;  // \ls number → list id
    int pendingOverrideList_ = 0;
    std::optional<int> pendingOverrideNumber_;
    std::map<int, std::array<std::optional<int>, 9>> counts_;  // per \ls: the last number given at each level
};

} // namespace Platform::RichText
