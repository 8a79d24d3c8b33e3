#include "FolmiraApp/Views/SettingsPanel.h"

#include "FolmiraApp/Model/AppModel.h"
#include "FolmiraApp/Model/QtText.h"
#include "FolmiraApp/Model/Wording.h"
#include "FolmiraApp/Views/FocusKeeper.h"
#include "FolmiraApp/Views/Icons.h"
#include "FolmiraApp/Views/LabeledSlider.h"
#include "Lyricade/Views/FocusRing.h"
#include "Lyricade/Views/FontRoles.h"
#include "Lyricade/Views/InspectorParts.h"
#include "PdfView/Widgets/WheelGuard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace FolmiraApp {

using FolmiraKit::LargePrintFont;
using FolmiraKit::LargePrintPreset;
using FolmiraKit::LargePrintSettings;
namespace InspectorParts = Lyricade::InspectorParts;

namespace {

// The songbook inspector's rows, with the wider spacing of this panel.
QGroupBox* section(const QString& title, QWidget* parent, QVBoxLayout* into)
{
    return InspectorParts::section(title, parent, into, 10);
}

QColor secondaryText(const QWidget* widget)
{
    return Lyricade::FontRole::secondary(widget);
}

} // namespace

SettingsPanel::SettingsPanel(AppModel& model, QWidget* parent) : QScrollArea(parent), model_(model)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    // Its controls take the focus and scroll themselves into view; the area needs none.
    setFocusPolicy(Qt::NoFocus);
    // In a column narrower than its longest choice (a small screen at large
    // fonts) the form scrolls across rather than cutting it, as the songbook's
    // print settings do.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* form = new QWidget(this);
    auto* sections = new QVBoxLayout(form);
    sections->setContentsMargins(12, 12, 12, 12);
    sections->setSpacing(14);

    auto* presetBox = section(QStringLiteral("Preset"), form, sections);
    preset_ = new Lyricade::WrappingPicker(presetBox); // wraps, as the other pickers do, in a narrow column
    preset_->setAccessibleName(QStringLiteral("Preset"));
    InspectorParts::rows(presetBox)->addWidget(preset_);
    presetDetail_ = new QLabel(presetBox);
    presetDetail_->setWordWrap(true);
    auto palette = presetDetail_->palette();
    palette.setColor(QPalette::WindowText, secondaryText(this));
    presetDetail_->setPalette(palette);
    InspectorParts::rows(presetBox)->addWidget(presetDetail_);
    for (const auto& preset : LargePrintPreset::all()) preset_->addItem(qstr(preset.name), qstr(preset.id));
    connect(preset_, &QComboBox::activated, this, [this](int row) {
        const auto id = preset_->itemData(row).toString().toStdString();
        for (const auto& preset : LargePrintPreset::all())
            if (preset.id == id) {
                model_.setSettings(preset.settings);
                return;
            }
        // "Custom" chosen: nothing changes.
    });

    auto* textBox = section(QStringLiteral("Text"), form, sections);
    font_ = InspectorParts::picker(QStringLiteral("Font"), textBox);
    for (const auto& font : LargePrintFont::allCases) font_->addItem(qstr(font.name()), qstr(font.id()));
    connect(font_, &QComboBox::activated, this,
            [this](int row) { edit([row](auto& s) { s.font = LargePrintFont::allCases.at(row); }); });
    size_ = new LabeledSlider(FolmiraApp::sizeSlider, [this](double v) { edit([v](auto& s) { s.fontSize = v; }); },
                              textBox);
    InspectorParts::rows(textBox)->addWidget(size_);
    lineSpacing_ = new LabeledSlider(FolmiraApp::lineSpacingSlider,
                                     [this](double v) { edit([v](auto& s) { s.lineSpacing = v; }); }, textBox);
    InspectorParts::rows(textBox)->addWidget(lineSpacing_);
    highContrast_ = InspectorParts::toggle(QStringLiteral("High contrast (bold text, heavier lines)"), textBox);
    connect(highContrast_, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](auto& s) { s.highContrast = on; }); });

    auto* pageBox = section(QStringLiteral("Page"), form, sections);
    paper_ = InspectorParts::picker(QStringLiteral("Paper"), pageBox);
    for (auto paper : LargePrintSettings::allPapers) paper_->addItem(qstr(name(paper)), qstr(toString(paper)));
    connect(paper_, &QComboBox::activated, this,
            [this](int row) { edit([row](auto& s) { s.paper = LargePrintSettings::allPapers.at(row); }); });
    margin_ = new LabeledSlider(FolmiraApp::marginSlider, [this](double v) { edit([v](auto& s) { s.margin = v; }); },
                                pageBox);
    InspectorParts::rows(pageBox)->addWidget(margin_);
    pageNumbers_ = InspectorParts::toggle(QStringLiteral("Page numbers (“Page 2 of 5”)"), pageBox);
    connect(pageNumbers_, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](auto& s) { s.pageNumbers = on; }); });

    auto* contentBox = section(QStringLiteral("Content"), form, sections);
    pictures_ = InspectorParts::toggle(QStringLiteral("Pictures"), contentBox);
    connect(pictures_, &QCheckBox::toggled, this, [this](bool on) { edit([on](auto& s) { s.keepImages = on; }); });
    tables_ = InspectorParts::picker(QStringLiteral("Tables"), contentBox);
    for (auto mode : LargePrintSettings::allTableModes) tables_->addItem(qstr(name(mode)), qstr(toString(mode)));
    connect(tables_, &QComboBox::activated, this,
            [this](int row) { edit([row](auto& s) { s.tables = LargePrintSettings::allTableModes.at(row); }); });
    lineBreaks_ = InspectorParts::toggle(QStringLiteral("Keep every line break"), contentBox,
                         QStringLiteral("For lyrics, poems and addresses in text files"));
    connect(lineBreaks_, &QCheckBox::toggled, this,
            [this](bool on) { edit([on](auto& s) { s.keepLineBreaks = on; }); });
    listSpacing_ = new LabeledSlider(FolmiraApp::listSpacingSlider,
                                     [this](double v) { edit([v](auto& s) { s.listSpacing = v; }); }, contentBox);
    InspectorParts::rows(contentBox)->addWidget(listSpacing_);

    notesSection_ = section(QStringLiteral("What changed"), form, sections);
    notesList_ = InspectorParts::rows(notesSection_);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(8);
    // Their words wrap rather than widen the column at large fonts.
    export_ = new Lyricade::WrappingButton(themeIcon("document-save-as", QStyle::SP_DialogSaveButton),
                                           QStringLiteral("Export Large-Print PDF…"), form);
    export_->setMinimumHeight(34);
    export_->setDefault(true);
    print_ = new Lyricade::WrappingButton(themeIcon("document-print", QStyle::SP_FileDialogListView),
                                          QStringLiteral("Print…"), form);
    print_->setMinimumHeight(34);
    connect(export_, &QPushButton::clicked, &model_, &AppModel::exportPDF);
    connect(print_, &QPushButton::clicked, &model_, &AppModel::printCopy);
    keepFocusWhileOff(export_); // they are off while a new copy is made
    keepFocusWhileOff(print_);
    buttons->addWidget(export_);
    buttons->addWidget(print_);
    sections->addLayout(buttons);
    sections->addStretch(1);
    setWidget(form);
    PdfView::WheelGuard::install(this);

    connect(&model_, &AppModel::settingsChanged, this, &SettingsPanel::refreshSettings);
    connect(&model_, &AppModel::resultChanged, this, &SettingsPanel::refreshNotes);
    connect(&model_, &AppModel::documentChanged, this, &SettingsPanel::refreshNotes);
    connect(&model_, &AppModel::copyReadyChanged, this, &SettingsPanel::refreshButtons);
    refreshSettings();
    refreshNotes();
    refreshButtons();
}

void SettingsPanel::edit(const std::function<void(LargePrintSettings&)>& change)
{
    auto settings = model_.settings();
    change(settings);
    model_.setSettings(settings);
}

void SettingsPanel::refreshSettings()
{
    const auto& s = model_.settings();
    // The preset box writes only when the user activates a choice, so it is
    // left unblocked: its list follows its choice at once.
    const QSignalBlocker b2(font_), b3(highContrast_), b4(paper_), b5(pageNumbers_), b6(pictures_), b7(tables_),
        b8(lineBreaks_);

    refreshPreset(matchingPreset(s));

    font_->setCurrentIndex(font_->findData(qstr(s.font.id())));
    size_->display(s.fontSize);
    lineSpacing_->display(s.lineSpacing);
    highContrast_->setChecked(s.highContrast);
    paper_->setCurrentIndex(paper_->findData(qstr(toString(s.paper))));
    margin_->display(s.margin);
    pageNumbers_->setChecked(s.pageNumbers);
    pictures_->setChecked(s.keepImages);
    tables_->setCurrentIndex(tables_->findData(qstr(toString(s.tables))));
    lineBreaks_->setChecked(s.keepLineBreaks);
    listSpacing_->display(s.listSpacing);
}

void SettingsPanel::refreshPreset(const LargePrintPreset* match)
{
    // Qt announces each move of the box's choice to screen readers, so the
    // presets stay, "Custom" comes and goes at the end, and the choice moves
    // only when it changes: one announcement, or none, per change of settings.
    static const QString custom = QStringLiteral("custom");
    const int customRow = preset_->findData(custom);
    if (!match && customRow < 0) preset_->addItem(QStringLiteral("Custom"), custom);
    const int row = match ? preset_->findData(qstr(match->id)) : preset_->findData(custom);
    if (preset_->currentIndex() != row) preset_->setCurrentIndex(row);
    if (match && customRow >= 0) preset_->removeItem(customRow);
    if (match) presetDetail_->setText(qstr(match->detail));
    presetDetail_->setVisible(match != nullptr);
}

void SettingsPanel::refreshNotes()
{
    const auto notes = model_.notes();
    const auto kindWord = [](const auto& note) {
        return note.kind == FolmiraKit::ConversionNote::Kind::warning ? QStringLiteral("Warning") : QStringLiteral("Note");
    };
    // The same notes again (the same document in a new look): the rows stay,
    // so a screen reader hears nothing new.
    QStringList shown, wanted;
    for (auto* label : notesSection_->findChildren<QLabel*>(QStringLiteral("note")))
        shown << label->accessibleDescription() + u'\n' + label->text();
    for (const auto& note : notes) wanted << kindWord(note) + u'\n' + qstr(note.message);
    if (shown == wanted) {
        notesSection_->setVisible(!notes.empty());
        return;
    }
    while (auto* item = notesList_->takeAt(0)) {
        delete item->widget();
        delete item->layout();
        delete item;
    }
    // Made last, the notes would be the window's last Tab stops: they are
    // read after the settings they follow, before Export.
    QWidget* before = listSpacing_->slider();
    for (const auto& note : notes) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        auto* icon = new QLabel(notesSection_);
        const bool warning = note.kind == FolmiraKit::ConversionNote::Kind::warning;
        icon->setPixmap((warning ? themeIcon("dialog-warning", QStyle::SP_MessageBoxWarning)
                                 : themeIcon("dialog-information", QStyle::SP_MessageBoxInformation))
                            .pixmap(16, 16));
        icon->setAlignment(Qt::AlignTop);
        auto* text = new QLabel(qstr(note.message), notesSection_);
        text->setObjectName(QStringLiteral("note"));
        text->setTextFormat(Qt::PlainText); // notes quote the document's own names
        text->setWordWrap(true);
        // Each note is a stop of the Tab order, read out whole when reached.
        text->setFocusPolicy(Qt::StrongFocus);
        Lyricade::FocusRing::ringWhenFocused(text);
        text->setContentsMargins(4, 2, 4, 2); // room for the ring around the words
        text->setAccessibleName(text->text());
        text->setAccessibleDescription(kindWord(note));
        row->addWidget(icon, 0, Qt::AlignTop);
        row->addWidget(text, 1);
        auto* holder = new QWidget(notesSection_);
        holder->setLayout(row);
        row->setContentsMargins(0, 0, 0, 0);
        notesList_->addWidget(holder);
        QWidget::setTabOrder(before, text);
        before = text;
    }
    notesSection_->setVisible(!notes.empty());
}

QStringList SettingsPanel::noteTexts() const
{
    QStringList texts;
    for (auto* label : notesSection_->findChildren<QLabel*>(QStringLiteral("note"))) texts << label->text();
    return texts;
}

void SettingsPanel::refreshButtons()
{
    export_->setEnabled(model_.canExportCopy());
    print_->setEnabled(model_.canPrintCopy());
}

} // namespace FolmiraApp
