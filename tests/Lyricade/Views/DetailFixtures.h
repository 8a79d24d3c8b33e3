#pragma once

// What the songbook view tests share: a model over a book of short songs with
// a manual clock and a recording host, and user defaults in a file of the
// test's own.

#include "../Fakes.h"

#include <QApplication>
#include <QFont>
#include <QSettings>

#include <memory>
#include <string>

namespace LyricadeTest {

class DetailViewTest : public ModelTest {
protected:
    // A model over `library` with its first book selected and its preview rendered.
    AppModel& bookModel(Library library, bool persist = false)
    {
        AppModel& m = make(persist, std::move(library));
        m.setSelection(SidebarItem::book(m.library().books.front().id));
        settle();
        return m;
    }
    // Runs what is due now and the events it posts.
    void settle()
    {
        clock->runDue();
        QApplication::processEvents();
    }
    std::shared_ptr<QSettings> defaults()
    {
        if (!defaults_)
            defaults_ = std::make_shared<QSettings>(folder.filePath(QStringLiteral("defaults.ini")), QSettings::IniFormat);
        return defaults_;
    }
    const Songbook& book() const { return model->library().books.front(); }

    std::shared_ptr<QSettings> defaults_;
};

// The desktop's fonts at `scale` times their size (1.5: 144 dpi) while it lives.
struct LargeFonts {
    const QFont usual = QApplication::font();
    explicit LargeFonts(double scale = 1.5)
    {
        QFont large = usual;
        large.setPointSizeF(usual.pointSizeF() * scale);
        QApplication::setFont(large);
    }
    ~LargeFonts() { QApplication::setFont(usual); }
};

} // namespace LyricadeTest
