#pragma once

// What the help window shows for each HelpTopic (declared with the model):
// its title, icon, paragraphs and sidebar section. Shortcuts are named with
// the keys of a Linux keyboard.

#include "FolmiraApp/Model/Kinds.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace FolmiraApp {

enum class HelpSection { documents, songbooks, more };
inline constexpr std::array<HelpSection, 3> allHelpSections{HelpSection::documents, HelpSection::songbooks,
                                                            HelpSection::more};

QString title(HelpTopic topic);
// A freedesktop icon name for the sidebar row and the page heading.
const char* iconName(HelpTopic topic);
// The page's paragraphs of running text, in order.
QStringList paragraphs(HelpTopic topic);

// "Documents", "Songbooks", "More".
QString title(HelpSection section);
// The section's topics in the order of allHelpTopics. Songbooks and More are
// fixed lists; every other topic belongs to Documents.
std::vector<HelpTopic> topics(HelpSection section);
HelpSection section(HelpTopic topic);

} // namespace FolmiraApp
