// Groupings page: reads its controls, keeps the enable rules, and writes every change at once.
#include "groupings/frameAppGroupings.h"

#include "groupings/frmCapturedTitles.h"
#include "groupings/GroupingsStore.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/ManagerDatabase.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
const QString kDesktop = QStringLiteral("Desktop");

QString pageTitle() {
    return Captions::titled(QStringLiteral(" Application Groupings"));
}

// Counts nested list edits; while any is open the selection signals run no handler.
class ListEdit {
public:
    explicit ListEdit(int& depth) : m_depth(depth) { ++m_depth; }
    ~ListEdit() { --m_depth; }
    ListEdit(const ListEdit&) = delete;
    ListEdit& operator=(const ListEdit&) = delete;

private:
    int& m_depth;
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

bool listHolds(const QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return true;
    }
    return false;
}

QStringList entries(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// The entry to select after removing entry k, from the count that remains.
int rowAfterRemoval(int k, int remaining) {
    if (k != 0)
        return k == remaining ? k - 1 : k;
    return remaining > 0 ? 0 : -1;
}
} // namespace

frameAppGroupings::frameAppGroupings(Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_feedback(feedback) {
    setObjectName(QStringLiteral("frameAppGroupings"));

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
    cmdAppGroupDataAdd = button(QStringLiteral("&Add"), QStringLiteral("cmdAppGroupDataAdd"), Frame7);
    cmdAppGroupDataDelete =
        button(QStringLiteral("&Delete"), QStringLiteral("cmdAppGroupDataDelete"), Frame7);
    cmdAddFromCaptured =
        button(QStringLiteral("Add from &Captured Titles..."), QStringLiteral("cmdAddFromCaptured"), Frame7);
    Label13 =
        note(QStringLiteral("Each window title above will be mapped against the corresponding application "
                            "(as currently selected on the \"Application\" list box).  For more general "
                            "coverage of an application, a partial window title may be given."),
             QStringLiteral("Label13"), Frame7);

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
    frame6Layout->addWidget(txtAppGroup, 1, 0);
    frame6Layout->addLayout(aliasButtons, 2, 0);
    frame6Layout->addWidget(Label12, 3, 0, 1, 2);
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
    frame7Layout->addWidget(lstAppGroupingsData, 1);
    frame7Layout->addWidget(txtAppGroupData);
    frame7Layout->addLayout(titleButtons);
    frame7Layout->addLayout(captured);
    frame7Layout->addWidget(Label13);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Frame6, 1);
    layout->addWidget(Frame7, 1);

    // Enter in a box adds, so the buttons must not also take it as the default.
    for (QPushButton* b : {cmdAppUp, cmdAppDown, cmdAppGroupAdd, cmdAppGroupDelete, cmdAppGroupDataAdd,
                           cmdAppGroupDataDelete, cmdAddFromCaptured})
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

    // The state when the page opens.
    cmdAppUp->setEnabled(false);
    cmdAppDown->setEnabled(false);
    cmdAppGroupAdd->setEnabled(false);
    cmdAppGroupDelete->setEnabled(false);
    txtAppGroupData->setEnabled(false);
    cmdAppGroupDataAdd->setEnabled(false);
    cmdAppGroupDataDelete->setEnabled(false);
    cmdAddFromCaptured->setEnabled(false);

    txtAppGroup->installEventFilter(this);
    txtAppGroupData->installEventFilter(this);

    connect(lstAppGroupings, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_listEdits == 0)
            aliasSelected();
    });
    connect(lstAppGroupingsData, &QListWidget::itemSelectionChanged, this, [this] {
        if (m_listEdits == 0)
            titleSelected();
    });
    connect(txtAppGroup, &QLineEdit::textChanged, this, &frameAppGroupings::aliasTextChanged);
    connect(txtAppGroupData, &QLineEdit::textChanged, this, &frameAppGroupings::titleTextChanged);
    connect(cmdAppGroupAdd, &QPushButton::clicked, this, &frameAppGroupings::addAlias);
    connect(cmdAppGroupDelete, &QPushButton::clicked, this, &frameAppGroupings::deleteAlias);
    connect(cmdAppUp, &QPushButton::clicked, this, &frameAppGroupings::moveAliasUp);
    connect(cmdAppDown, &QPushButton::clicked, this, &frameAppGroupings::moveAliasDown);
    connect(cmdAppGroupDataAdd, &QPushButton::clicked, this, &frameAppGroupings::addTitle);
    connect(cmdAppGroupDataDelete, &QPushButton::clicked, this, &frameAppGroupings::deleteTitle);
    connect(cmdAddFromCaptured, &QPushButton::clicked, this, &frameAppGroupings::addFromCapturedTitles);
}

void frameAppGroupings::setDatabase(ManagerDatabase* database) {
    m_database = database;
}

void frameAppGroupings::setPickerOpener(PickerOpener opener) {
    m_openPicker = std::move(opener);
}

// ---- selection state ----

int frameAppGroupings::selectedAliasIndex() const {
    const QList<QListWidgetItem*> selected = lstAppGroupings->selectedItems();
    return selected.isEmpty() ? -1 : lstAppGroupings->row(selected.constFirst());
}

QString frameAppGroupings::selectedAlias() const {
    const int row = selectedAliasIndex();
    return row < 0 ? QString() : lstAppGroupings->item(row)->text();
}

int frameAppGroupings::selectedTitleIndex() const {
    const QList<QListWidgetItem*> selected = lstAppGroupingsData->selectedItems();
    return selected.isEmpty() ? -1 : lstAppGroupingsData->row(selected.constFirst());
}

void frameAppGroupings::selectAlias(int row) {
    {
        ListEdit edit(m_listEdits);
        if (row < 0) {
            lstAppGroupings->clearSelection();
            lstAppGroupings->setCurrentRow(-1);
        } else {
            lstAppGroupings->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        }
    }
    aliasSelected();
}

void frameAppGroupings::selectTitle(int row) {
    {
        ListEdit edit(m_listEdits);
        if (row < 0) {
            lstAppGroupingsData->clearSelection();
            lstAppGroupingsData->setCurrentRow(-1);
        } else {
            lstAppGroupingsData->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        }
    }
    titleSelected();
}

// ---- loading ----

void frameAppGroupings::LoadGroupings() {
    {
        ListEdit edit(m_listEdits);
        lstAppGroupings->clear();
        lstAppGroupingsData->clear();
    }
    QStringList aliases;
    if (m_database) {
        try {
            aliases = GroupingsStore(*m_database).aliases();
        } catch (const VcError& error) {
            m_feedback.message(error.description(), pageTitle(), Feedback::Icon::Critical);
        }
    }
    {
        ListEdit edit(m_listEdits);
        lstAppGroupings->addItems(aliases);
    }
    if (lstAppGroupings->count() > 0)
        selectAlias(0);
    else
        aliasSelected();
}

void frameAppGroupings::LoadGroupingTitles() {
    {
        ListEdit edit(m_listEdits);
        lstAppGroupingsData->clear();
    }
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !m_database)
        return;
    QStringList titles;
    try {
        titles = GroupingsStore(*m_database).titlesOf(alias);
    } catch (const VcError& error) {
        m_feedback.message(error.description(), pageTitle(), Feedback::Icon::Critical);
        return;
    }
    ListEdit edit(m_listEdits);
    lstAppGroupingsData->addItems(titles);
}

void frameAppGroupings::reportFailure(const VcError& error, const QString& keepAlias) {
    m_feedback.message(
        QStringLiteral("The change could not be saved, and the lists have been reloaded from the "
                       "database.\n\nError #%1: %2")
            .arg(error.number())
            .arg(error.description()),
        pageTitle(), Feedback::Icon::Critical);
    LoadGroupings();
    const QList<QListWidgetItem*> found =
        lstAppGroupings->findItems(keepAlias, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!keepAlias.isEmpty() && !found.isEmpty())
        selectAlias(lstAppGroupings->row(found.constFirst()));
}

// ---- handlers ----

void frameAppGroupings::aliasSelected() {
    LoadGroupingTitles();
    const int row = selectedAliasIndex();
    if (row < 0) {
        cmdAppDown->setEnabled(false);
        cmdAppUp->setEnabled(false);
        cmdAddFromCaptured->setEnabled(false);
        cmdAppGroupDelete->setEnabled(false);
        txtAppGroupData->clear();
        txtAppGroupData->setEnabled(false);
        return;
    }
    cmdAppUp->setEnabled(row != 0);
    cmdAppDown->setEnabled(row != lstAppGroupings->count() - 1);
    if (selectedAlias() == kDesktop) {
        cmdAppGroupDelete->setEnabled(false);
        cmdAppGroupDataDelete->setEnabled(false);
    } else {
        cmdAppGroupDelete->setEnabled(true);
    }
    txtAppGroupData->setEnabled(true);
    cmdAddFromCaptured->setEnabled(true);
}

void frameAppGroupings::titleSelected() {
    if (selectedTitleIndex() < 0)
        cmdAppGroupDataDelete->setEnabled(false);
    else if (cmdAppGroupDelete->isEnabled())
        cmdAppGroupDataDelete->setEnabled(true);
}

void frameAppGroupings::aliasTextChanged() {
    const QString a = txtAppGroup->text().trimmed();
    cmdAppGroupAdd->setEnabled(!a.isEmpty() && !listHolds(lstAppGroupings, a));
}

void frameAppGroupings::titleTextChanged() {
    const QString t = txtAppGroupData->text().trimmed();
    cmdAppGroupDataAdd->setEnabled(!t.isEmpty() && !listHolds(lstAppGroupingsData, t) &&
                                   selectedAliasIndex() >= 0);
}

bool frameAppGroupings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtAppGroup || watched == txtAppGroupData) {
        if (event->type() == QEvent::FocusIn) {
            (watched == txtAppGroup ? txtAppGroupData : txtAppGroup)->clear();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (watched == txtAppGroup && cmdAppGroupAdd->isEnabled()) {
                    addAlias();
                    return true;
                }
                if (watched == txtAppGroupData && cmdAppGroupDataAdd->isEnabled()) {
                    addTitle();
                    return true;
                }
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frameAppGroupings::addAlias() {
    const QString a = txtAppGroup->text().trimmed();
    if (a.isEmpty() || listHolds(lstAppGroupings, a) || !m_database) {
        m_feedback.beep();
        return;
    }
    const QString keep = selectedAlias();
    try {
        GroupingsStore(*m_database).addAlias(a, lstAppGroupings->count());
    } catch (const VcError& error) {
        reportFailure(error, keep);
        return;
    }
    {
        ListEdit edit(m_listEdits);
        lstAppGroupings->addItem(a);
    }
    cmdAppGroupAdd->setEnabled(false);
    if (lstAppGroupings->count() == 1)
        selectAlias(0);
    txtAppGroup->clear();
    aliasSelected();
    txtAppGroup->setFocus();
}

void frameAppGroupings::deleteAlias() {
    const int k = selectedAliasIndex();
    if (k < 0 || !m_database)
        return;
    const QString alias = selectedAlias();
    if (alias == kDesktop)
        return;
    const Feedback::Answer answer =
        m_feedback.message(QStringLiteral("Remove application \"") + alias +
                               QStringLiteral("\" from list of monitored applications?"),
                           pageTitle(), Feedback::Icon::Question, Feedback::Buttons::YesNo);
    if (answer != Feedback::Answer::Yes)
        return;
    {
        ListEdit edit(m_listEdits);
        delete lstAppGroupings->takeItem(k);
    }
    const int next = rowAfterRemoval(k, lstAppGroupings->count());
    const QString keep = next < 0 ? QString() : lstAppGroupings->item(next)->text();
    try {
        GroupingsStore(*m_database).deleteAlias(alias, entries(lstAppGroupings));
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return;
    }
    selectAlias(next);
}

bool frameAppGroupings::writeOrder() {
    if (!m_database)
        return false;
    try {
        GroupingsStore(*m_database).saveOrder(entries(lstAppGroupings));
    } catch (const VcError& error) {
        reportFailure(error, selectedAlias());
        return false;
    }
    return true;
}

void frameAppGroupings::SaveGroupingOrder() {
    writeOrder();
}

void frameAppGroupings::moveAlias(int from, int to) {
    if (from < 0 || to < 0 || to >= lstAppGroupings->count())
        return;
    {
        ListEdit edit(m_listEdits);
        QListWidgetItem* a = lstAppGroupings->item(from);
        QListWidgetItem* b = lstAppGroupings->item(to);
        const QString text = a->text();
        a->setText(b->text());
        b->setText(text);
    }
    selectAlias(to);
    writeOrder();
}

void frameAppGroupings::moveAliasUp() {
    const int i = selectedAliasIndex();
    moveAlias(i, i - 1);
}

void frameAppGroupings::moveAliasDown() {
    const int i = selectedAliasIndex();
    moveAlias(i, i + 1);
}

void frameAppGroupings::addTitle() {
    const QString t = BlankQuotes(txtAppGroupData->text()).trimmed();
    const QString alias = selectedAlias();
    if (t.isEmpty() || listHolds(lstAppGroupingsData, t) || alias.isEmpty() || !m_database) {
        m_feedback.beep();
        return;
    }
    try {
        GroupingsStore(*m_database).addTitle(alias, t);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return;
    }
    {
        ListEdit edit(m_listEdits);
        lstAppGroupingsData->addItem(t);
    }
    cmdAppGroupDataAdd->setEnabled(false);
    txtAppGroupData->clear();
    titleSelected();
    txtAppGroupData->setFocus();
}

void frameAppGroupings::deleteTitle() {
    const int k = selectedTitleIndex();
    const QString alias = selectedAlias();
    if (k < 0 || alias.isEmpty() || alias == kDesktop || !m_database)
        return;
    const QString t = lstAppGroupingsData->item(k)->text();
    {
        ListEdit edit(m_listEdits);
        delete lstAppGroupingsData->takeItem(k);
    }
    selectTitle(rowAfterRemoval(k, lstAppGroupingsData->count()));
    bool found = false;
    try {
        found = GroupingsStore(*m_database).deleteTitle(alias, t);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return;
    }
    if (!found)
        m_feedback.message(QStringLiteral("Could not find matching record in database for deletion"),
                           Captions::titled(QStringLiteral(" Error")), Feedback::Icon::Warning);
    titleSelected();
}

void frameAppGroupings::addFromCapturedTitles() {
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !m_database)
        return;
    if (m_openPicker)
        m_openPicker(alias);
    else
        showDefaultPicker(alias);
    aliasSelected();
}

void frameAppGroupings::showDefaultPicker(const QString& alias) {
    frmCapturedTitles picker(*m_database, m_feedback, alias, window());
    picker.exec();
}
