// The focus ring as a user sees it: each kind of control drawn focused and
// not, and the pixels that changed between the two at 3 : 1 or more must form
// a ring at least two pixels thick around the control, in the desktop's usual
// palette and in a high-contrast one.

#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/SidebarList.h"
#include "tests/HangGuardQt.h"
#include "tests/Lyricade/Views/PixelMeasures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using Lyricade::FocusRing::Style;

// Where the two images differ at `least` or more.
std::vector<std::vector<bool>> changed(const QImage& before, const QImage& after, double least = 3.0)
{
    std::vector<std::vector<bool>> mask(before.height(), std::vector<bool>(before.width()));
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            mask[y][x] = Lyricade::FontRole::contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= least;
    return mask;
}

// The box of the changed pixels, and whether every line across it, corners
// aside, starts and ends with `thickness` changed pixels: a closed ring.
struct Ring {
    QRect box;
    bool closed = false;
};

Ring ringIn(const std::vector<std::vector<bool>>& mask, int thickness = Lyricade::FocusRing::width)
{
    Ring ring;
    for (int y = 0; y < static_cast<int>(mask.size()); ++y)
        for (int x = 0; x < static_cast<int>(mask[y].size()); ++x)
            if (mask[y][x]) ring.box |= QRect(x, y, 1, 1);
    if (ring.box.width() < 16 || ring.box.height() < 12) return ring;
    const int corner = 6;
    auto at = [&](int x, int y) { return bool(mask[y][x]); };
    ring.closed = true;
    for (int y = ring.box.top() + corner; y <= ring.box.bottom() - corner; ++y)
        for (int d = 0; d < thickness; ++d)
            ring.closed = ring.closed && at(ring.box.left() + d, y) && at(ring.box.right() - d, y);
    for (int x = ring.box.left() + corner; x <= ring.box.right() - corner; ++x)
        for (int d = 0; d < thickness; ++d)
            ring.closed = ring.closed && at(x, ring.box.top() + d) && at(x, ring.box.bottom() - d);
    return ring;
}

using PixelMeasures::highContrast;

struct Kind {
    const char* name;
    std::function<QWidget*(QWidget*)> make;
};

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> all{
        {"push button", [](QWidget* p) { return new QPushButton(QStringLiteral("Print…"), p); }},
        {"check box", [](QWidget* p) { return new QCheckBox(QStringLiteral("Pictures"), p); }},
        {"radio button", [](QWidget* p) { return new QRadioButton(QStringLiteral("Chorus"), p); }},
        {"slider", [](QWidget* p) { return new QSlider(Qt::Horizontal, p); }},
        {"combo box",
         [](QWidget* p) {
             auto* c = new QComboBox(p);
             c->addItems({QStringLiteral("US Letter (8.5 × 11 in)"), QStringLiteral("A4 (210 × 297 mm)")});
             return c;
         }},
        {"field", [](QWidget* p) { return new QLineEdit(QStringLiteral("Amazing Grace"), p); }},
        {"spin box", [](QWidget* p) { return new QSpinBox(p); }},
        {"text editor", [](QWidget* p) { return new QPlainTextEdit(QStringLiteral("[G]Amazing grace"), p); }},
        // Its ring runs over the scroll bar, which otherwise covers its right side.
        {"text editor with a scroll bar",
         [](QWidget* p) {
             // Long enough to scroll; the lines at its edges are empty, as the ring is measured on the edge.
             auto* e = new QPlainTextEdit(QStringLiteral("[G]Amazing grace") + QString(40, QChar(u'\n')), p);
             e->setFrameShape(QFrame::NoFrame);
             e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
             e->setFixedHeight(120);
             return e;
         }},
        // Its dark border is there before the focus comes: the ring must still change two pixels.
        {"default push button",
         [](QWidget* p) {
             auto* b = new QPushButton(QStringLiteral("Export Large-Print PDF…"), p);
             b->setDefault(true);
             return b;
         }},
        {"tool button",
         [](QWidget* p) {
             auto* b = new QToolButton(p);
             b->setText(QStringLiteral("Key"));
             b->setAutoRaise(true);
             return b;
         }},
    };
    return all;
}

class FocusRingTest : public ::testing::Test {
protected:
    // The control in a window of its own with room around it, shown and active.
    QWidget* place(const Kind& kind, const QPalette& palette)
    {
        window_ = std::make_unique<QWidget>();
        window_->setPalette(palette);
        auto* row = new QHBoxLayout(window_.get());
        row->setContentsMargins(12, 12, 12, 12);
        QWidget* control = kind.make(window_.get());
        row->addWidget(control);
        QList<QWidget*> parts = control->findChildren<QWidget*>();
        parts << control;
        for (QWidget* part : parts) part->setStyle(&style_);
        control->setMinimumWidth(160);
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(HangGuard::windowActive(window_.get()));
        return control;
    }

    // The window around `area` drawn without the focus, then with it on `control`.
    std::pair<QImage, QImage> views(QWidget* control, const QRect& area)
    {
        control->clearFocus();
        QApplication::processEvents();
        const QImage before = window_->grab(area).toImage();
        control->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_TRUE(control->hasFocus());
        return {before, window_->grab(area).toImage()};
    }

    Style style_{QStyleFactory::create(QStringLiteral("Fusion"))};
    std::unique_ptr<QWidget> window_;
};

TEST_F(FocusRingTest, EveryControlKindShowsARingTwoPixelsThickAroundIt)
{
    const QPalette usual = Lyricade::FontRole::readablePalette(style_.standardPalette());
    for (const QPalette& palette : {usual, highContrast()}) {
        for (const Kind& kind : kinds()) {
            SCOPED_TRACE(kind.name);
            QWidget* control = place(kind, palette);
            const QRect area = control->geometry().adjusted(-6, -6, 6, 6);
            const auto [before, after] = views(control, area);
            const Ring ring = ringIn(changed(before, after));
            EXPECT_TRUE(ring.closed);
            // Around the control, not a mark inside it.
            EXPECT_GE(ring.box.width(), control->width() - 2);
            EXPECT_GE(ring.box.height(), control->height() - 2);
        }
    }
}

// Controls with no words, so that all they draw is their edges and state:
// the strongest contrast with the window in a part of each (a box, a field's
// border, a segment, a slider's handle above its groove and the groove alone
// beyond it), and that a change of state draws a mark at 3 : 1.
TEST_F(FocusRingTest, EveryControlsEdgeAndStateShowAtThreeToOneInEveryPalette)
{
    const auto segment = [](QWidget* p) {
        auto* b = new QToolButton(p);
        b->setCheckable(true);
        return b;
    };
    const auto slider = [](QWidget* p) { return new QSlider(Qt::Horizontal, p); };
    const struct {
        const char* name;
        std::function<QWidget*(QWidget*)> make;
        QRectF part; // in fractions of the control
        bool flips;
    } cases[] = {
        {"check box", [](QWidget* p) { return new QCheckBox(p); }, {0, 0, 1, 1}, true},
        {"radio button", [](QWidget* p) { return new QRadioButton(p); }, {0, 0, 1, 1}, true},
        {"segment", segment, {0, 0, 1, 1}, true},
        {"field", [](QWidget* p) { return new QLineEdit(p); }, {0, 0, 1, 1}, false},
        {"slider's handle", slider, {0, 0, 0.1, 0.3}, false},
        {"slider's groove", slider, {0.3, 0, 0.7, 1}, false},
    };
    for (const QPalette& palette : {Lyricade::FontRole::readablePalette(style_.standardPalette()),
                                    PixelMeasures::dark(), highContrast()}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " on " + palette.color(QPalette::Window).name().toStdString());
            QWidget* control = place({c.name, c.make}, palette);
            if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
            const QSizeF size = control->size();
            const QRect part = QRectF(c.part.x() * size.width(), c.part.y() * size.height(), c.part.width() * size.width(),
                                      c.part.height() * size.height())
                                   .toRect();
            const QImage drawn = control->grab().toImage();
            EXPECT_GE(PixelMeasures::strongest(drawn, part, palette.color(QPalette::Window)), 3.0);
            if (!c.flips) continue;
            static_cast<QAbstractButton*>(control)->toggle();
            const auto mask = changed(drawn, control->grab().toImage());
            int marked = 0;
            for (const auto& row : mask) marked += static_cast<int>(std::count(row.begin(), row.end(), true));
            EXPECT_GE(marked, control->height()) << "a mark as long as the box is tall, at least";
        }
    }
}

TEST_F(FocusRingTest, TheCurrentRowOfAListIsRinged)
{
    // A plain list, and the sidebar's rows with their count badge, selected or not.
    const auto rows = [](QListWidget* l) {
        l->addItems({QStringLiteral("Amazing Grace"), QStringLiteral("All Songs"), QStringLiteral("Come Thou Fount")});
        return l;
    };
    const Kind plain{"list", [&](QWidget* p) { return rows(new QListWidget(p)); }};
    const Kind sidebar{"sidebar", [&](QWidget* p) {
                           auto* l = rows(new QListWidget(p));
                           l->setItemDelegate(new Lyricade::SidebarDelegate(l));
                           for (int i = 0; i < l->count(); ++i) {
                               l->item(i)->setData(Lyricade::SidebarList::itemRole, QString());
                               l->item(i)->setData(Lyricade::SidebarList::badgeRole, 120 + i);
                           }
                           return l;
                       }};
    for (const QPalette& palette : {style_.standardPalette(), highContrast()}) {
        for (const Kind* kind : {&plain, &sidebar}) {
            for (bool selected : {false, true}) {
                SCOPED_TRACE(std::string(kind->name) + (selected ? ", selected" : ""));
                auto* view = static_cast<QListWidget*>(place(*kind, palette));
                view->setCurrentRow(1, selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate);
                const QRect row = view->visualItemRect(view->item(1));
                const QRect area(view->viewport()->mapTo(window_.get(), row.topLeft()), row.size());
                const auto [before, after] = views(view, area);
                const Ring ring = ringIn(changed(before, after));
                EXPECT_TRUE(ring.closed);
                EXPECT_GE(ring.box.width(), row.width() - 2);
                EXPECT_GE(ring.box.height(), row.height() - 2);
            }
        }
    }
}

TEST(FocusRingColour, ASquareRingIsAsStrongInItsCornersAsAlongItsSides)
{
    // A bevelled corner leaves the ring's outermost corner pixels half drawn,
    // a notch in the ring at each corner of a small square control.
    for (const QSize size : {QSize(40, 24), QSize(17, 13)}) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        Lyricade::FocusRing::draw(painter, QRectF(QPointF(0, 0), size), Qt::black, 0);
        painter.end();
        const QColor side = image.pixelColor(size.width() / 2, 0);
        ASSERT_EQ(side, QColor(Qt::black));
        for (const QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, 0), QPoint(0, size.height() - 1),
                                    QPoint(size.width() - 1, size.height() - 1)})
            EXPECT_EQ(image.pixelColor(corner), side) << corner.x() << "," << corner.y() << " of " << size.width();
    }
}

TEST(FocusRingColour, StandsOutFromTheSurfaceAndItsFramesAndFromASelection)
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const QPalette& palette : {fusion->standardPalette(), PixelMeasures::dark(), highContrast()}) {
        const QColor ring = Lyricade::FocusRing::colour(palette);
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            EXPECT_GE(Lyricade::FontRole::contrast(ring, palette.color(role)), 3.0) << role;
        EXPECT_GE(Lyricade::FontRole::contrast(ring, Lyricade::FocusRing::edge(palette)), 3.0);
        // On a selected row: apart from the selection and from the rows around it.
        const QColor selection = palette.color(QPalette::Highlight);
        const QColor onSelection = Lyricade::FocusRing::colour(palette, selection);
        for (const QColor& under : {selection, palette.color(QPalette::Base)})
            EXPECT_GE(Lyricade::FontRole::contrast(onSelection, under), 3.0);
    }
}

TEST(FocusRingColour, AViewOfPagesRingStandsOutFromItsBackdropAndFromPaperWhereAColourCan)
{
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette slate = PixelMeasures::dark(); // a dark theme whose backdrop is a mid slate
    slate.setColor(QPalette::Mid, QColor(0x41, 0x48, 0x4e));
    const struct {
        QPalette palette;
        bool paperToo;
    } rows[] = {{fusion->standardPalette(), true}, {highContrast(), true}, {PixelMeasures::dark(), false}, {slate, false}};
    for (const auto& row : rows) {
        const QColor backdrop = row.palette.color(QPalette::Mid);
        SCOPED_TRACE(backdrop.name().toStdString());
        const QColor ring = Lyricade::FocusRing::overPages(row.palette, backdrop);
        EXPECT_GE(Lyricade::FontRole::contrast(ring, backdrop), 3.0);
        EXPECT_GE(Lyricade::FontRole::contrast(ring, row.palette.color(QPalette::Window)), 3.0);
        if (row.paperToo) {
            EXPECT_GE(Lyricade::FontRole::contrast(ring, Qt::white), 3.0);
        }
    }
}

} // namespace
