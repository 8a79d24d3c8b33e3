#include "FolmiraApp/Model/Kinds.h"

namespace FolmiraApp {

std::string_view toString(DocKind kind)
{
    switch (kind) {
    case DocKind::document: return "document";
    case DocKind::songbook: return "songbook";
    }
    return "document";
}

std::string_view toString(HelpTopic topic)
{
    switch (topic) {
    case HelpTopic::start: return "start";
    case HelpTopic::reads: return "reads";
    case HelpTopic::look: return "look";
    case HelpTopic::notes: return "notes";
    case HelpTopic::printing: return "printing";
    case HelpTopic::songs: return "songs";
    case HelpTopic::songFiles: return "songFiles";
    case HelpTopic::books: return "books";
    case HelpTopic::transpose: return "transpose";
    case HelpTopic::songPrint: return "songPrint";
    case HelpTopic::licensing: return "licensing";
    case HelpTopic::keys: return "keys";
    }
    return "start";
}

} // namespace FolmiraApp

namespace FolmiraKit {

template <>
std::optional<FolmiraApp::DocKind> fromString<FolmiraApp::DocKind>(std::string_view text)
{
    for (auto kind : FolmiraApp::allDocKinds)
        if (FolmiraApp::toString(kind) == text) return kind;
    return std::nullopt;
}

template <>
std::optional<FolmiraApp::HelpTopic> fromString<FolmiraApp::HelpTopic>(std::string_view text)
{
    for (auto topic : FolmiraApp::allHelpTopics)
        if (FolmiraApp::toString(topic) == text) return topic;
    return std::nullopt;
}

} // namespace FolmiraKit
