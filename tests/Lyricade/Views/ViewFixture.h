#pragma once

// What the songbook view tests share: a model over a small library with the
// recording host and manual clock, drops sent as real events, and the texts
// of a menu.

#include "../Fakes.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

// Failures print texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '{';
    for (const QString& text : texts) *out << " \"" << text.toStdString() << '"';
    *out << " }";
}

namespace LyricadeTest {

class ViewTest : public ModelTest {
protected:
    // Songs made from (title, body) pairs and books of the given kinds and names.
    static Library libraryOf(const std::vector<StoredSong>& songs, const std::vector<Songbook>& books = {})
    {
        Library library;
        library.songs = songs;
        library.books = books;
        return library;
    }

    // Drops `data` at `pos` of the list's viewport; true when the drop was taken.
    static bool drop(QAbstractScrollArea* list, const QPoint& pos, QMimeData& data)
    {
        QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        QDragMoveEvent move(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        if (!move.isAccepted()) return false;
        QDropEvent event(QPointF(pos), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &event);
        return event.isAccepted();
    }

    static std::unique_ptr<QMimeData> text(const QString& text)
    {
        auto data = std::make_unique<QMimeData>();
        data->setText(text);
        return data;
    }

    static std::unique_ptr<QMimeData> files(const std::vector<std::filesystem::path>& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p.string()));
        data->setUrls(urls);
        return data;
    }

    // The texts of a menu's actions, "-" for separators.
    static QStringList texts(const QMenu& menu)
    {
        QStringList out;
        for (const QAction* a : menu.actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }

    static QAction* action(const QMenu& menu, const QString& text)
    {
        for (QAction* a : menu.actions())
            if (a->text() == text) return a;
        return nullptr;
    }

    // A song file in the test's folder.
    std::filesystem::path songFile(const std::string& name, const std::string& title)
    {
        const auto path = std::filesystem::path(folder.path().toStdString()) / "drops" / name;
        writeFile(path, "{title: " + title + "}\n[C]Words\n");
        return path;
    }
};

} // namespace LyricadeTest
