// Groupings page: builds and lays out the controls and shows the editor behind them.
#include "groupings/frameAppGroupings.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/VcError.h"
#include "groupings/frmCapturedTitles.h"
#include "store/Dates.h"
#include "widgets/DialogRunner.h"
#include "widgets/PlainText.h"
#include "widgets/WaitCursor.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// Sorts the time and share columns by the seconds behind them, the title by its text.
class UnmatchedItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == 0) {
            const int folded = text(0).compare(other.text(0), Qt::CaseInsensitive);
            return folded != 0 ? folded < 0 : text(0) < other.text(0);
        }
        return data(1, Qt::UserRole).toLongLong() < other.data(1, Qt::UserRole).toLongLong();
    }
};

QPushButton* button(const QString& caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QLabel* note(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    return label;
}

QListWidget* list(const QString& name, QWidget* parent) {
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setSortingEnabled(false);
    return l;
}

int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.constFirst());
}

void showList(QListWidget* list, const QStringList& entries, int selected) {
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    if (shown != entries) {
        list->clear();
        list->addItems(entries);
    }
    if (selectedRow(list) == selected && list->currentRow() == selected)
        return;
    if (selected < 0) {
        list->clearSelection();
        list->setCurrentRow(-1);
    } else {
        list->setCurrentRow(selected, QItemSelectionModel::ClearAndSelect);
    }
}

void showText(QLineEdit* box, const QString& text) {
    if (box->text() != text)
        box->setText(text);
}
} // namespace

frameAppGroupings::frameAppGroupings(Feedback& feedback, DialogRunner& dialogs, QWidget* parent)
    : QWidget(parent), m_editor(feedback), m_feedback(feedback), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frameAppGroupings"));
    buildControls();
    layOut();
    connectControls();
    showEditor();
}

void frameAppGroupings::buildControls() {
    Frame6 = new QGroupBox(QStringLiteral("Application"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    lstAppGroupings = list(QStringLiteral("lstAppGroupings"), Frame6);
    cmdAppUp = button(QString(), QStringLiteral("cmdAppUp"), Frame6);
    cmdAppUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    cmdAppUp->setToolTip(QStringLiteral("Move the application up (higher priority)"));
    cmdAppUp->setAccessibleName(QStringLiteral("Move Up"));
    cmdAppDown = button(QString(), QStringLiteral("cmdAppDown"), Frame6);
    cmdAppDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    cmdAppDown->setToolTip(QStringLiteral("Move the application down (lower priority)"));
    cmdAppDown->setAccessibleName(QStringLiteral("Move Down"));
    for (QPushButton* arrow : {cmdAppUp, cmdAppDown}) {
        arrow->setFixedSize(30, 30);
        arrow->setIconSize(QSize(18, 18));
    }
    txtAppGroup = new QLineEdit(Frame6);
    txtAppGroup->setObjectName(QStringLiteral("txtAppGroup"));
    cmdAppGroupAdd = button(QStringLiteral("&Add"), QStringLiteral("cmdAppGroupAdd"), Frame6);
    cmdAppGroupDelete = button(QStringLiteral("&Delete"), QStringLiteral("cmdAppGroupDelete"), Frame6);
    Label12 =
        note(QStringLiteral("The above applications are monitored by Vellumcrest, according to each "
                            "application's associated window titles.  In the case where a window title "
                            "matches several applications, the highest ranked application is selected for "
                            "monitoring."),
             QStringLiteral("Label12"), Frame6);

    Frame7 = new QGroupBox(QStringLiteral("Associated Window Titles"), this);
    Frame7->setObjectName(QStringLiteral("Frame7"));
    lstAppGroupingsData = list(QStringLiteral("lstAppGroupingsData"), Frame7);
    txtAppGroupData = new QLineEdit(Frame7);
    txtAppGroupData->setObjectName(QStringLiteral("txtAppGroupData"));
    // One Alt key per page: the application's buttons keep A and D; Enter in the title box adds
    // a title, and its Delete takes E.
    cmdAppGroupDataAdd = button(QStringLiteral("Add"), QStringLiteral("cmdAppGroupDataAdd"), Frame7);
    cmdAppGroupDataAdd->setToolTip(
        QStringLiteral("Add the title in the box (Enter in the box does the same)"));
    cmdAppGroupDataDelete =
        button(QStringLiteral("D&elete"), QStringLiteral("cmdAppGroupDataDelete"), Frame7);
    cmdAddFromCaptured =
        button(QStringLiteral("Add from &Captured Titles..."), QStringLiteral("cmdAddFromCaptured"), Frame7);
    Label13 =
        note(QStringLiteral("Each window title above will be mapped against the corresponding application "
                            "(as currently selected on the \"Application\" list box).  For more general "
                            "coverage of an application, a partial window title may be given."),
             QStringLiteral("Label13"), Frame7);
    lblTitlesOf = new QLabel(Frame7);
    lblTitlesOf->setObjectName(QStringLiteral("lblTitlesOf"));
    lblTitlesOf->setTextFormat(Qt::PlainText);
    QFont bold = lblTitlesOf->font();
    bold.setBold(true);
    lblTitlesOf->setFont(bold);
    lblAppCoverage = note(QString(), QStringLiteral("lblAppCoverage"), Frame6);
    lblAppCoverage->setTextFormat(Qt::PlainText);

    frameUnmatched = new QGroupBox(QStringLiteral("Window Titles No Application Catches"), this);
    frameUnmatched->setObjectName(QStringLiteral("frameUnmatched"));
    lblUnmatched = note(QString(), QStringLiteral("lblUnmatched"), frameUnmatched);
    lblUnmatched->setTextFormat(Qt::PlainText);
    lstUnmatched = new QTreeWidget(frameUnmatched);
    lstUnmatched->setObjectName(QStringLiteral("lstUnmatched"));
    lstUnmatched->setColumnCount(3);
    lstUnmatched->setHeaderLabels(
        {QStringLiteral("Window Title"), QStringLiteral("Time"), QStringLiteral("Share")});
    lstUnmatched->setRootIsDecorated(false);
    lstUnmatched->setUniformRowHeights(true);
    lstUnmatched->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstUnmatched->setSortingEnabled(true);
    lstUnmatched->sortByColumn(1, Qt::DescendingOrder);
    txtUnmatchedFilter = new QLineEdit(frameUnmatched);
    txtUnmatchedFilter->setObjectName(QStringLiteral("txtUnmatchedFilter"));
    txtUnmatchedFilter->setPlaceholderText(QStringLiteral("Show only titles containing..."));
    txtUnmatchedFilter->setClearButtonEnabled(true);
    lstUnmatched->header()->setStretchLastSection(false);
    lstUnmatched->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstUnmatched->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lstUnmatched->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    cmdAddUnmatched = button(QString(), QStringLiteral("cmdAddUnmatched"), frameUnmatched);
    cmdAddUnmatched->setToolTip(
        QStringLiteral("Add the selected titles to the selected application (Alt+P)"));
}

void frameAppGroupings::layOut() {
    // Application frame: list with the arrows beside it, the name box, its buttons, the note.
    auto* arrows = new QVBoxLayout;
    arrows->addWidget(cmdAppUp);
    arrows->addWidget(cmdAppDown);
    arrows->addStretch();
    auto* aliasButtons = new QHBoxLayout;
    aliasButtons->addStretch();
    aliasButtons->addWidget(cmdAppGroupAdd);
    aliasButtons->addWidget(cmdAppGroupDelete);
    auto* frame6Layout = new QGridLayout(Frame6);
    frame6Layout->addWidget(lstAppGroupings, 0, 0);
    frame6Layout->addLayout(arrows, 0, 1);
    frame6Layout->addWidget(lblAppCoverage, 1, 0, 1, 2);
    frame6Layout->addWidget(txtAppGroup, 2, 0);
    frame6Layout->addLayout(aliasButtons, 3, 0);
    frame6Layout->addWidget(Label12, 4, 0, 1, 2);
    frame6Layout->setRowStretch(0, 1);

    // Titles frame: list, the title box, its buttons, the picker's, the note. Titles are long,
    // so the box takes the frame's whole width.
    auto* titleButtons = new QHBoxLayout;
    titleButtons->addStretch();
    titleButtons->addWidget(cmdAppGroupDataAdd);
    titleButtons->addWidget(cmdAppGroupDataDelete);
    auto* captured = new QHBoxLayout;
    captured->addStretch();
    captured->addWidget(cmdAddFromCaptured);
    auto* frame7Layout = new QVBoxLayout(Frame7);
    frame7Layout->addWidget(lblTitlesOf);
    frame7Layout->addWidget(lstAppGroupingsData, 1);
    frame7Layout->addWidget(txtAppGroupData);
    frame7Layout->addLayout(titleButtons);
    frame7Layout->addLayout(captured);
    frame7Layout->addWidget(Label13);

    auto* unmatchedButtons = new QHBoxLayout;
    unmatchedButtons->addWidget(lblUnmatched, 1);
    unmatchedButtons->addWidget(cmdAddUnmatched, 0, Qt::AlignTop);
    auto* unmatchedLayout = new QVBoxLayout(frameUnmatched);
    unmatchedLayout->addWidget(txtUnmatchedFilter);
    unmatchedLayout->addWidget(lstUnmatched, 1);
    unmatchedLayout->addLayout(unmatchedButtons);

    auto* top = new QWidget(this);
    auto* frames = new QHBoxLayout(top);
    frames->setContentsMargins(0, 0, 0, 0);
    frames->addWidget(Frame6, 1);
    frames->addWidget(Frame7, 1);
    // The operator decides how much of the height the unmatched list, a worklist read from the
    // top, takes; it starts with two fifths.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("splitUnmatched"));
    split->setChildrenCollapsible(false);
    split->addWidget(top);
    split->addWidget(frameUnmatched);
    split->setSizes({300, 200});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split);

    // Enter in a box adds, so the buttons must not also take it as the default.
    for (QPushButton* b : {cmdAppUp, cmdAppDown, cmdAppGroupAdd, cmdAppGroupDelete, cmdAppGroupDataAdd,
                           cmdAppGroupDataDelete, cmdAddFromCaptured, cmdAddUnmatched})
        b->setAutoDefault(false);

    setTabOrder(lstAppGroupings, cmdAppUp);
    setTabOrder(cmdAppUp, cmdAppDown);
    setTabOrder(cmdAppDown, txtAppGroup);
    setTabOrder(txtAppGroup, cmdAppGroupAdd);
    setTabOrder(cmdAppGroupAdd, cmdAppGroupDelete);
    setTabOrder(cmdAppGroupDelete, lstAppGroupingsData);
    setTabOrder(lstAppGroupingsData, txtAppGroupData);
    setTabOrder(txtAppGroupData, cmdAppGroupDataAdd);
    setTabOrder(cmdAppGroupDataAdd, cmdAppGroupDataDelete);
    setTabOrder(cmdAppGroupDataDelete, cmdAddFromCaptured);
    setTabOrder(cmdAddFromCaptured, txtUnmatchedFilter);
    setTabOrder(txtUnmatchedFilter, lstUnmatched);
    setTabOrder(lstUnmatched, cmdAddUnmatched);
}

void frameAppGroupings::connectControls() {
    txtAppGroup->installEventFilter(this);
    txtAppGroupData->installEventFilter(this);

    connect(lstAppGroupings, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_showing)
            return;
        m_editor.selectAlias(selectedRow(lstAppGroupings));
        showEditor();
    });
    connect(lstAppGroupingsData, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_showing)
            return;
        m_editor.selectTitle(selectedRow(lstAppGroupingsData));
        showEditor();
    });
    connect(txtAppGroup, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_showing)
            return;
        m_editor.setAliasText(text);
        showEditor();
    });
    connect(txtAppGroupData, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_showing)
            return;
        m_editor.setTitleText(text);
        showEditor();
    });
    connect(cmdAppGroupAdd, &QPushButton::clicked, this, &frameAppGroupings::addAlias);
    connect(cmdAppGroupDelete, &QPushButton::clicked, this, &frameAppGroupings::deleteAlias);
    connect(cmdAppUp, &QPushButton::clicked, this, &frameAppGroupings::moveAliasUp);
    connect(cmdAppDown, &QPushButton::clicked, this, &frameAppGroupings::moveAliasDown);
    connect(cmdAppGroupDataAdd, &QPushButton::clicked, this, &frameAppGroupings::addTitle);
    connect(cmdAppGroupDataDelete, &QPushButton::clicked, this, &frameAppGroupings::deleteTitle);
    connect(cmdAddFromCaptured, &QPushButton::clicked, this, &frameAppGroupings::addFromCapturedTitles);
    connect(lstUnmatched, &QTreeWidget::itemSelectionChanged, this,
            &frameAppGroupings::showAddUnmatchedEnabled);
    connect(cmdAddUnmatched, &QPushButton::clicked, this, &frameAppGroupings::addUnmatchedTitles);
    connect(txtUnmatchedFilter, &QLineEdit::textChanged, this, &frameAppGroupings::filterUnmatched);
}

void frameAppGroupings::showEditor() {
    const QScopedValueRollback<bool> showing(m_showing, true);
    showList(lstAppGroupings, m_editor.aliases(), m_editor.selectedAliasRow());
    showList(lstAppGroupingsData, m_editor.titles(), m_editor.selectedTitleRow());
    showText(txtAppGroup, m_editor.aliasText());
    showText(txtAppGroupData, m_editor.titleText());
    const GroupingsEditor::Enabled& on = m_editor.enabled();
    cmdAppUp->setEnabled(on.up);
    cmdAppDown->setEnabled(on.down);
    cmdAppGroupAdd->setEnabled(on.aliasAdd);
    cmdAppGroupDelete->setEnabled(on.aliasDelete);
    txtAppGroupData->setEnabled(on.titleBox);
    cmdAppGroupDataAdd->setEnabled(on.titleAdd);
    cmdAppGroupDataDelete->setEnabled(on.titleDelete);
    cmdAddFromCaptured->setEnabled(on.fromCaptured);
    PlainText::show(lblTitlesOf, m_editor.titlesCaption());
    PlainText::show(lblAppCoverage, m_coverage.from().isValid()
                                        ? m_coverage.caughtText(m_editor.selectedAlias())
                                        : QString());
    showAddUnmatchedEnabled();
}

void frameAppGroupings::showAddUnmatchedEnabled() {
    // Titles go to the selected application, as the picker's do; the button says which.
    // An ampersand in the name is text, not a mnemonic; Alt+P stays the button's key.
    const QString caption =
        QString(m_editor.addUnmatchedCaption()).replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (cmdAddUnmatched->text() != caption) {
        cmdAddUnmatched->setText(caption);
        cmdAddUnmatched->setShortcut(QKeySequence(QStringLiteral("Alt+P")));
    }
    cmdAddUnmatched->setEnabled(m_editor.enabled().fromCaptured && !lstUnmatched->selectedItems().isEmpty());
}

void frameAppGroupings::setTitleRange(std::optional<QDate> from, std::optional<QDate> to) {
    // Only the page's own actions change what the titles hold meanwhile.
    const auto wanted = TitleCoverage::range(from, to, QDate::currentDate());
    m_from = from;
    m_to = to;
    // Before the first LoadGroupings the days are only kept for it.
    if (m_coverage.from().isValid() && wanted != std::pair(m_coverage.from(), m_coverage.to()))
        refreshCoverage();
}

void frameAppGroupings::refreshCoverage() {
    if (!m_editor.database())
        return;
    const auto [from, to] = TitleCoverage::range(m_from, m_to, QDate::currentDate());
    updateCoverage([&] {
        WaitCursor busy;
        m_coverage.load(*m_editor.database(), from, to);
    });
}

void frameAppGroupings::remapCoverage() {
    if (!m_editor.database())
        return;
    if (!m_coverage.from().isValid()) {
        refreshCoverage();
        return;
    }
    updateCoverage([&] { m_coverage.remap(*m_editor.database()); });
}

void frameAppGroupings::updateCoverage(const std::function<void()>& update) {
    try {
        update();
    } catch (const VcError& error) {
        m_feedback.message(error.description(), Captions::titled(QStringLiteral(" Application Groupings")),
                           Feedback::Icon::Critical);
        return;
    }
    showCoverage();
    showEditor();
}

void frameAppGroupings::showCoverage() {
    lstUnmatched->clear();
    QList<QTreeWidgetItem*> items;
    qint64 unmatchedSeconds = 0;
    for (const GroupingsStore::TitleTime& title : m_coverage.unmatched()) {
        auto* item = new UnmatchedItem(
            QStringList{title.title, TitleCoverage::durationText(title.seconds),
                        QString::number(m_coverage.sharePercent(title.seconds), 'f', 1) + QLatin1Char('%')});
        item->setData(0, Qt::UserRole, title.title);
        item->setData(1, Qt::UserRole, title.seconds);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
        unmatchedSeconds += title.seconds;
    }
    lstUnmatched->addTopLevelItems(items);
    filterUnmatched(txtUnmatchedFilter->text());
    const int count = static_cast<int>(m_coverage.unmatched().size());
    PlainText::show(
        lblUnmatched,
        QStringLiteral("%1 %2 from %3 to %4, holding %5 (%6% of all time). Select titles and press the "
                       "\"Add to\" button to attach them to the selected application.")
            .arg(QString::number(count), count == 1 ? QStringLiteral("title") : QStringLiteral("titles"),
                 Dates::shortText(m_coverage.from()), Dates::shortText(m_coverage.to()),
                 TitleCoverage::durationText(unmatchedSeconds),
                 QString::number(m_coverage.sharePercent(unmatchedSeconds), 'f', 1)));
}

void frameAppGroupings::filterUnmatched(const QString& text) {
    const QString wanted = text.trimmed();
    for (int i = 0; i < lstUnmatched->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstUnmatched->topLevelItem(i);
        const bool shown = wanted.isEmpty() || item->text(0).contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (!shown)
            item->setSelected(false); // what is not shown is never added
    }
}

void frameAppGroupings::addUnmatchedTitles() {
    QStringList titles;
    for (int i = 0; i < lstUnmatched->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lstUnmatched->topLevelItem(i);
        if (item->isSelected() && !item->isHidden())
            titles.append(item->data(0, Qt::UserRole).toString());
    }
    if (!m_editor.addCapturedTitles(titles)) {
        showEditor();
        return;
    }
    remapCoverage();
}

void frameAppGroupings::setDatabase(ManagerDatabase* database) {
    m_editor.setDatabase(database);
}

void frameAppGroupings::LoadGroupings() {
    m_editor.LoadGroupings();
    showEditor();
    refreshCoverage();
}

void frameAppGroupings::LoadGroupingTitles() {
    m_editor.LoadGroupingTitles();
    showEditor();
}

void frameAppGroupings::SaveGroupingOrder() {
    m_editor.SaveGroupingOrder();
    showEditor();
}

bool frameAppGroupings::eventFilter(QObject* watched, QEvent* event) {
    if (watched != txtAppGroup && watched != txtAppGroupData)
        return QWidget::eventFilter(watched, event);
    const bool aliasBox = watched == txtAppGroup;
    if (event->type() == QEvent::FocusIn) {
        aliasBox ? m_editor.aliasBoxFocused() : m_editor.titleBoxFocused();
        showEditor();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter adds as the box's Add button does, with everything the button refreshes
            // afterwards (coverage line, unmatched titles, the criteria page).
            if (aliasBox ? m_editor.enabled().aliasAdd : m_editor.enabled().titleAdd) {
                aliasBox ? addAlias() : addTitle();
                return true;
            }
            showEditor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frameAppGroupings::addAlias() {
    const QStringList before = m_editor.aliases();
    const bool added = m_editor.addAlias();
    showEditor();
    if (added)
        txtAppGroup->setFocus();
    if (m_editor.aliases() != before)
        emit groupingsChanged();
}

void frameAppGroupings::deleteAlias() {
    const QStringList before = m_editor.aliases();
    m_editor.deleteAlias();
    showEditor();
    remapCoverage();
    if (m_editor.aliases() != before)
        emit groupingsChanged();
}

void frameAppGroupings::moveAliasUp() {
    m_editor.moveAliasUp();
    showEditor();
    remapCoverage();
}

void frameAppGroupings::moveAliasDown() {
    m_editor.moveAliasDown();
    showEditor();
    remapCoverage();
}

void frameAppGroupings::addTitle() {
    const bool added = m_editor.addTitle();
    showEditor();
    if (added) {
        remapCoverage();
        txtAppGroupData->setFocus();
    }
}

void frameAppGroupings::deleteTitle() {
    m_editor.deleteTitle();
    showEditor();
    remapCoverage();
}

void frameAppGroupings::addFromCapturedTitles() {
    const QString alias = m_editor.selectedAlias();
    if (alias.isEmpty() || !m_editor.database())
        return;
    {
        frmCapturedTitles picker(*m_editor.database(), m_feedback, alias, window());
        m_dialogs.run(picker);
    }
    m_editor.pickerClosed();
    showEditor();
    remapCoverage();
}
