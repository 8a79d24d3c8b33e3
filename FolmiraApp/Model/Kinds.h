#pragma once

// The window's two modes and the pages of the help window.

#include "FolmiraKit/Model/Enums.h"

#include <array>
#include <optional>
#include <string_view>

namespace FolmiraApp {

// Stored under the defaults key "docKind" by its string form.
enum class DocKind { document, songbook };
inline constexpr std::array<DocKind, 2> allDocKinds{DocKind::document, DocKind::songbook};

enum class HelpTopic { start, reads, look, notes, printing, songs, songFiles, books, transpose, songPrint, licensing, keys };
inline constexpr std::array<HelpTopic, 12> allHelpTopics{
    HelpTopic::start, HelpTopic::reads,     HelpTopic::look,  HelpTopic::notes,     HelpTopic::printing,  HelpTopic::songs,
    HelpTopic::songFiles, HelpTopic::books, HelpTopic::transpose, HelpTopic::songPrint, HelpTopic::licensing, HelpTopic::keys};

std::string_view toString(DocKind kind);
std::string_view toString(HelpTopic topic);

} // namespace FolmiraApp

namespace FolmiraKit {
// Exact, case-sensitive: "Songbook" and "" give none.
template <>
std::optional<FolmiraApp::DocKind> fromString<FolmiraApp::DocKind>(std::string_view text);
template <>
std::optional<FolmiraApp::HelpTopic> fromString<FolmiraApp::HelpTopic>(std::string_view text);
} // namespace FolmiraKit
