#include "Lyricade/Views/InspectorView.h"

#include "Lyricade/AppModel.h"
#include "Lyricade/Views/DesktopAccessible.h"
#include "Lyricade/Views/DetailParts.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/InspectorParts.h"
#include "Lyricade/Views/InspectorPresets.h"
#include "PdfView/Widgets/WheelGuard.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace Lyricade {

using namespace InspectorParts;
using TunequillKit::allCases;
using TunequillKit::BookSettings;

namespace {

template <typename E>
void fillOptions(QComboBox* combo)
{
    for (E value : allCases<E>) combo->addItem(QString::fromUtf8(title(value).data(), qsizetype(title(value).size())));
}

template <typename E>
int indexOf(E value)
{
    const auto& all = allCases<E>;
    return static_cast<int>(std::find(all.begin(), all.end(), value) - all.begin());
}

// A small and a large "A" at the ends of the size slider, only drawn and
// unnamed: a label would be read as "A" twice, its text standing in for any
// name.
class SizeMark : public QWidget {
public:
    SizeMark(int pointSize, QFont::Weight weight, QWidget* parent) : QWidget(parent)
    {
        QFont font = parent->font();
        font.setPointSize(pointSize);
        font.setWeight(weight);
        setFont(font);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(mark) + 2, metrics.height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, mark);
    }

private:
    static constexpr QLatin1StringView mark{"A"};
};

QWidget* sizeMark(int pointSize, QFont::Weight weight, QWidget* parent)
{
    return new SizeMark(pointSize, weight, parent);
}

} // namespace

InspectorView::InspectorView(AppModel& model, QWidget* parent) : QScrollArea(parent), model_(model)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    // Its controls take the focus and scroll themselves into view; the area needs none.
    setFocusPolicy(Qt::NoFocus);
    // Narrower than even its least width, the form scrolls across rather than cutting its controls.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    form_ = new QWidget(this);
    auto* column = new QVBoxLayout(form_);
    column->setSpacing(12);
    buildLargePrint(column);
    buildPrint(column);
    buildLayout(column);
    buildChords(column);
    buildPages(column);
    buildLicensing(column);
    column->addStretch(1);
    setWidget(form_);
    form_->installEventFilter(this);
    PdfView::WheelGuard::install(this);

    connect(&model_, &AppModel::selectionChanged, this, &InspectorView::refresh);
    connect(&model_, &AppModel::libraryChanged, this, &InspectorView::refresh);
    connect(&model_, &AppModel::styleChanged, this, &InspectorView::refresh);
    refresh();
}

InspectorView::~InspectorView() = default;

int InspectorView::neededWidth() const
{
    return form_->sizeHint().width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

int InspectorView::leastWidth() const
{
    return form_->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

bool InspectorView::eventFilter(QObject* watched, QEvent* event)
{
    // The form's width is known once its fonts are set and its choices filled:
    // it says so by asking for a new layout.
    if (watched == form_ && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)) {
        const int needed = neededWidth();
        const int least = leastWidth();
        if (needed != neededWidth_ || least != leastWidth_) {
            neededWidth_ = needed;
            leastWidth_ = least;
            emit neededWidthChanged();
        }
    }
    return QScrollArea::eventFilter(watched, event);
}

void InspectorView::buildLargePrint(QVBoxLayout* into)
{
    auto* box = section(QStringLiteral("Large print"), form_, into);
    sections_.push_back(box);
    preset_ = picker(QStringLiteral("Preset"), box,
                     QStringLiteral("The same size presets as documents (songbooks print 16 to 28 pt)"));
    connect(preset_, &QComboBox::activated, this, [this](int row) {
        if (row < 0 || row >= static_cast<int>(presets_.size())) return;
        const double size = presetSize(presets_[static_cast<std::size_t>(row)].value);
        write([size](BookSettings& s) { s.fontSize = size; });
    });
    highContrast_ = toggle(QStringLiteral("High contrast (bold text, black chords)"), box,
                           QStringLiteral("Shared with documents (Ctrl+Shift+H)"));
    connect(highContrast_, &QCheckBox::clicked, this, [this](bool on) {
        if (model_.host().setHighContrast) model_.host().setHighContrast(on);
        // The box follows the style the application hands back, not the click.
        const QSignalBlocker quiet(highContrast_);
        highContrast_->setChecked(model_.style().highContrast);
    });
}

void InspectorView::buildPrint(QVBoxLayout* into)
{
    auto* box = section(QStringLiteral("Print"), form_, into);
    sections_.push_back(box);
    auto* group = new QVBoxLayout;
    group->setSpacing(4);
    auto* valueRow = new QHBoxLayout;
    auto* sizeTitle = new QLabel(QStringLiteral("Lyrics size"), box);
    sizeTitle->setWordWrap(true); // the title wraps before the value is cut
    valueRow->addWidget(sizeTitle, 1);
    sizeText_ = new QLabel(box);
    QFont digits = sizeText_->font();
    digits.setStyleHint(QFont::Monospace);
    digits.setFamilies({QStringLiteral("monospace")});
    sizeText_->setFont(digits);
    valueRow->addWidget(sizeText_);
    group->addLayout(valueRow);
    // A row of its own, so that the marks are not named by the section's
    // title, as a control straight inside a group box is.
    auto* sliderLine = new QWidget(box);
    auto* sliderRow = new QHBoxLayout(sliderLine);
    sliderRow->setContentsMargins(0, 0, 0, 0);
    size_ = new PointSlider(BookSettings::fontSizes.lowerBound, BookSettings::fontSizes.upperBound, sliderLine);
    size_->setAccessibleName(QStringLiteral("Lyrics size"));
    size_->setToolTip(QStringLiteral("Large print: 16 to 28 point lyrics (Ctrl++ / Ctrl+−)"));
    sliderRow->addWidget(sizeMark(11, QFont::Normal, sliderLine));
    sliderRow->addWidget(size_, 1);
    sliderRow->addWidget(sizeMark(18, QFont::DemiBold, sliderLine));
    group->addWidget(sliderLine);
    rows(box)->addLayout(group);
    connect(size_, &PointSlider::pointsChosen, this,
            [this](double points) { write([points](BookSettings& s) { s.fontSize = points; }); });

    pageSize_ = picker(QStringLiteral("Page size"), box);
    fillOptions<TunequillKit::PageSize>(pageSize_);
    connect(pageSize_, &QComboBox::activated, this, [this](int row) {
        write([row](BookSettings& s) { s.pageSize = allCases<TunequillKit::PageSize>.at(std::size_t(row)); });
    });
    typeface_ = picker(QStringLiteral("Typeface"), box,
                       QStringLiteral("The large-print font is the one documents use (Format and the document "
                                      "settings)"));
    typeface_->addItem(QString());
    typeface_->addItem(QStringLiteral("Serif (Charter)"));
    connect(typeface_, &QComboBox::activated, this, [this](int row) {
        write([row](BookSettings& s) { s.typeface = allCases<TunequillKit::Typeface>.at(std::size_t(row)); });
    });
    boldChorus_ = toggle(QStringLiteral("Bold chorus"), box);
    toggles(boldChorus_, &BookSettings::boldChorus);
    chordsInColor_ = toggle(QStringLiteral("Chords in color"), box, QStringLiteral("Off: everything in black, for copiers"));
    toggles(chordsInColor_, &BookSettings::chordsInColor);
}

void InspectorView::buildLayout(QVBoxLayout* into)
{
    auto* box = section(QStringLiteral("Layout"), form_, into);
    sections_.push_back(box);
    flow_ = picker(QStringLiteral("Songs"), box);
    fillOptions<TunequillKit::Flow>(flow_);
    connect(flow_, &QComboBox::activated, this, [this](int row) {
        write([row](BookSettings& s) { s.flow = allCases<TunequillKit::Flow>.at(std::size_t(row)); });
    });
    columns_ = segments(QStringLiteral("Columns"), {QStringLiteral("One"), QStringLiteral("Two")}, box);
    connect(columns_, &QButtonGroup::idClicked, this,
            [this](int id) { write([id](BookSettings& s) { s.columns = id + 1; }); });
    spreads_ = toggle(QStringLiteral("Two-page songs open flat"), box,
                      QStringLiteral("A song of two pages starts on a left-hand page, so both pages are open at once; "
                                     "a blank page is added when needed"));
    toggles(spreads_, &BookSettings::spreads);
    repeatChorus_ = toggle(QStringLiteral("Print the chorus each time"), box,
                           QStringLiteral("Off: a “Chorus” cue where the song repeats it"));
    toggles(repeatChorus_, &BookSettings::repeatChorus);
    diagrams_ = toggle(QStringLiteral("Chord diagrams"), box,
                       QStringLiteral("For chords a song defines with {define}, when the song isn’t transposed"));
    toggles(diagrams_, &BookSettings::diagrams);
}

void InspectorView::buildChords(QVBoxLayout* into)
{
    auto* box = section(QStringLiteral("Chords"), form_, into);
    sections_.push_back(box);
    accidentals_ = picker(QStringLiteral("Spelling"), box);
    fillOptions<TunequillKit::Accidentals>(accidentals_);
    connect(accidentals_, &QComboBox::activated, this, [this](int row) {
        write([row](BookSettings& s) { s.accidentals = allCases<TunequillKit::Accidentals>.at(std::size_t(row)); });
    });
    nashville_ = toggle(QStringLiteral("Nashville numbers"), box,
                        QStringLiteral("Print 1, 4, 5, 6m… in the song’s key instead of chord names"));
    toggles(nashville_, &BookSettings::nashville);
}

void InspectorView::buildPages(QVBoxLayout* into)
{
    auto* box = section(QStringLiteral("Pages"), form_, into);
    sections_.push_back(box);
    setListPage_ = toggle(QStringLiteral("Set list page at the front"), box);
    setListPageCaption_ = captionOf(setListPage_);
    toggles(setListPage_, &BookSettings::setListPage);
    contents_ = toggle(QStringLiteral("Contents"), box);
    toggles(contents_, &BookSettings::tableOfContents);
    index_ = toggle(QStringLiteral("Index (titles and first lines)"), box);
    toggles(index_, &BookSettings::index);
    pageNumbers_ = toggle(QStringLiteral("Page numbers"), box);
    toggles(pageNumbers_, &BookSettings::pageNumbers);
}

void InspectorView::buildLicensing(QVBoxLayout* into)
{
    auto* box = section(QString(), form_, into);
    sections_.push_back(box);
    licensing_ = link(QStringLiteral("About Song Licensing…"), box);
    connect(licensing_, &QPushButton::clicked, this, [this] { model_.setLicensingShown(true); });
    auto* note = new QLabel(QStringLiteral("Lyrics belong to their writers and publishers. Churches and groups usually "
                                           "need a license (for example CCLI) to print copyrighted songs."),
                            box);
    note->setWordWrap(true);
    note->setFont(FontRole::font(box, FontRole::caption));
    FontRole::makeSecondary(note);
    rows(box)->addWidget(note);
}

void InspectorView::toggles(QCheckBox* box, bool BookSettings::*field)
{
    connect(box, &QCheckBox::clicked, this, [this, field](bool on) { write([field, on](BookSettings& s) { s.*field = on; }); });
}

void InspectorView::write(const std::function<void(BookSettings&)>& change)
{
    const auto index = model_.selectedBookIndex();
    if (!index) return;
    model_.changeLibrary([&](TunequillKit::Library& library) { change(library.books[*index].settings); });
}

QStringList InspectorView::sectionTitles() const
{
    QStringList titles;
    for (auto* box : sections_) titles << box->title();
    return titles;
}

void InspectorView::refresh()
{
    // The first choice names the documents' font whether a book is shown or
    // not, so no choice reads as nothing to a screen reader.
    typeface_->setItemText(0, QString::fromStdString(model_.style().fontName));
    const auto book = model_.selectedBook();
    form_->setVisible(book.has_value());
    if (!book) return;
    const BookSettings& s = book->settings;
    const bool contrast = model_.style().highContrast;

    refreshPresets(s.fontSize);
    highContrast_->setChecked(contrast);
    sizeText_->setText(pointsText(s.fontSize));
    size_->showPoints(s.fontSize);
    setSpokenDescription(*size_, QStringLiteral("%1 points").arg(static_cast<long long>(s.fontSize)));
    pageSize_->setCurrentIndex(indexOf(s.pageSize));
    typeface_->setCurrentIndex(indexOf(s.typeface));
    boldChorus_->setChecked(s.boldChorus);
    boldChorus_->setEnabled(!contrast);
    chordsInColor_->setChecked(s.chordsInColor);
    chordsInColor_->setEnabled(!contrast);
    flow_->setCurrentIndex(indexOf(s.flow));
    if (auto* button = columns_->button(s.columns == 2 ? 1 : 0)) button->setChecked(true);
    // With flowing songs there are no song openings to keep flat.
    spreads_->parentWidget()->setVisible(s.flow == TunequillKit::Flow::songPerPage);
    spreads_->setChecked(s.spreads);
    repeatChorus_->setChecked(s.repeatChorus);
    diagrams_->setChecked(s.diagrams);
    accidentals_->setCurrentIndex(indexOf(s.accidentals));
    nashville_->setChecked(s.nashville);
    const QString setListCaption = book->kind == TunequillKit::BookKind::setList
                                       ? QStringLiteral("Set list page")
                                       : QStringLiteral("Set list page at the front");
    setListPageCaption_->setText(setListCaption);
    setSpokenName(*setListPage_, setListCaption);
    setListPage_->setChecked(s.setListPage);
    contents_->setChecked(s.tableOfContents);
    index_->setChecked(s.index);
    pageNumbers_->setChecked(s.pageNumbers);
}

void InspectorView::refreshPresets(double fontSize)
{
    const auto offered = model_.host().presets ? model_.host().presets() : std::vector<SongHost::Preset>{};
    presets_ = presetOptions(offered, fontSize);
    QStringList labels;
    int current = -1;
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        labels << presets_[i].label;
        if (current < 0 && presets_[i].value == fontSize) current = static_cast<int>(i);
    }
    showChoices(preset_, labels, current);
    const bool shown = !presets_.empty();
    preset_->setVisible(shown);
    captionOf(preset_)->setVisible(shown);
}

} // namespace Lyricade
