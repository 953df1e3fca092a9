// Report criteria page.
#include "report/frameData.h"

#include "base/Feedback.h"
#include "groupings/ApplicationNames.h"
#include "store/Dates.h"
#include "store/ManagerDatabase.h"

#include <algorithm>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {

QListWidget* makeList(QWidget* parent, const char* name) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    return list;
}

QComboBox* makeCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    // A day can be typed as well as picked; what is typed never becomes an item.
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QPushButton* makeChoiceButton(QWidget* parent, const QString& name, const QString& text, const QString& tip) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setBuddy(buddy);
    return label;
}

std::optional<QDate> dayOf(const QComboBox* combo) {
    const QDate day = combo->currentData().toDate();
    if (!combo->isEnabled() || !day.isValid())
        return std::nullopt;
    return day;
}

QStringList checkedTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            texts.append(list->item(i)->text());
    }
    return texts;
}

void showNoData(QComboBox* combo) {
    combo->clear();
    combo->addItem(kNoDataAvailable);
    combo->setCurrentIndex(0);
    combo->setEnabled(false);
}

} // namespace

frameData::frameData(ManagerDatabase& database, Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_database(database), m_feedback(feedback) {
    setObjectName(QStringLiteral("frameData"));
    lstApplications = makeList(this, "lstApplications");
    lstUsers = makeList(this, "lstUsers");
    lstWorkstations = makeList(this, "lstWorkstations");
    cmbStartDate = makeCombo(this, "cmbStartDate");
    cmbEndDate = makeCombo(this, "cmbEndDate");
    // Alt and the underlined letter reach each list and date box.
    lblApplications = makeLabel(this, "lblApplications", QStringLiteral("&Applications"), lstApplications);
    lblUsers = makeLabel(this, "lblUsers", QStringLiteral("&Users"), lstUsers);
    lblWorkstations = makeLabel(this, "lblWorkstations", QStringLiteral("&Workstations"), lstWorkstations);
    lblStartDate = makeLabel(this, "lblStartDate", QStringLiteral("&Start Date"), cmbStartDate);
    lblEndDate = makeLabel(this, "lblEndDate", QStringLiteral("&End Date"), cmbEndDate);
    lblDataInfo =
        new QLabel(QStringLiteral("The applications, users, workstations, and dates selected from this "
                                  "page will be used when generating reports and graphs.  Use "
                                  "Options->Application Groupings to add new applications to monitor."),
                   this);
    lblDataInfo->setObjectName(QStringLiteral("lblDataInfo"));
    lblDataInfo->setWordWrap(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(lblStartDate, 0, 0);
    layout->addWidget(lblEndDate, 0, 1);
    layout->addWidget(cmbStartDate, 1, 0);
    layout->addWidget(cmbEndDate, 1, 1);
    layout->addWidget(lblApplications, 2, 0);
    layout->addWidget(lblUsers, 2, 1);
    layout->addWidget(lblWorkstations, 2, 2);
    layout->addWidget(lstApplications, 3, 0);
    layout->addWidget(lstUsers, 3, 1);
    layout->addWidget(lstWorkstations, 3, 2);
    int column = 0;
    QWidget* previous = cmbEndDate;
    setTabOrder(cmbStartDate, cmbEndDate);
    for (QListWidget* list : {lstApplications, lstUsers, lstWorkstations}) {
        const QString name = list->objectName().mid(3); // "Applications"
        QPushButton* all =
            makeChoiceButton(this, QStringLiteral("cmd") + name + QStringLiteral("All"),
                             QStringLiteral("All"), QStringLiteral("Tick every entry of the list"));
        QPushButton* none = makeChoiceButton(
            this, QStringLiteral("cmd") + name + QStringLiteral("None"), QStringLiteral("None"),
            QStringLiteral("Untick every entry but the highlighted one (a list keeps one entry ticked)"));
        connect(all, &QPushButton::clicked, this, [this, list] { tickAll(list, true); });
        connect(none, &QPushButton::clicked, this, [this, list] { tickAll(list, false); });
        auto* row = new QHBoxLayout;
        row->addWidget(all);
        row->addWidget(none);
        row->addStretch();
        layout->addLayout(row, 4, column++);
        setTabOrder(previous, list);
        setTabOrder(list, all);
        setTabOrder(all, none);
        previous = none;
    }
    layout->addWidget(lblDataInfo, 5, 0, 1, 3);
    layout->setRowStretch(3, 1);

    showNoData(cmbStartDate);
    showNoData(cmbEndDate);
    cmbStartDate->installEventFilter(this);
    cmbEndDate->installEventFilter(this);
    connect(cmbStartDate, &QComboBox::activated, this, &frameData::startDatePicked);
    connect(cmbEndDate, &QComboBox::activated, this, &frameData::endDatePicked);
    for (QComboBox* combo : {cmbStartDate, cmbEndDate})
        connect(combo->lineEdit(), &QLineEdit::editingFinished, this, [this, combo] { dateTyped(combo); });
    for (QListWidget* list : {lstApplications, lstUsers, lstWorkstations})
        connect(list, &QListWidget::itemChanged, this,
                [this, list](QListWidgetItem* item) { listItemChanged(list, item); });
}

void frameData::fillList(QListWidget* list, QStringList names, bool keepChoices) {
    // The list keeps its own order: alphabetical, letter case ignored.
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    QHash<QString, Qt::CheckState> previous;
    QString current;
    if (keepChoices) {
        QStringList shown;
        shown.reserve(list->count());
        for (int i = 0; i < list->count(); ++i) {
            shown.append(list->item(i)->text());
            previous.insert(list->item(i)->text(), list->item(i)->checkState());
        }
        if (shown == names)
            return; // nothing came or went: the choices stand as they are
        if (list->currentItem())
            current = list->currentItem()->text();
    }
    bool anyChecked = false;
    for (const QString& name : names)
        anyChecked = anyChecked || previous.value(name, Qt::Checked) == Qt::Checked;
    const QSignalBlocker blocker(list);
    list->clear();
    int currentRow = 0;
    for (const QString& name : names) {
        // Built whole before it joins the list: an item that is given to the list at
        // construction reports its text to the list before the list knows its row, and the list
        // then searches every row for it (300,000 users took most of a start).
        auto* item = new QListWidgetItem(name);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        // A new name is ticked, as every name is at start-up; one the operator unticked stays
        // unticked. Should every ticked name have gone, the list starts over all ticked, since
        // a list always keeps a ticked entry.
        item->setCheckState(anyChecked ? previous.value(name, Qt::Checked) : Qt::Checked);
        if (name == current)
            currentRow = list->count();
        list->addItem(item);
    }
    if (list->count() > 0)
        list->setCurrentRow(currentRow);
}

QStringList frameData::applicationNames() const {
    QStringList applications{kUndefinedApplications};
    for (const auto& grouping : m_database.groupings())
        applications.append(grouping.alias);
    return applications;
}

void frameData::LoadReportCriteria() {
    fillList(lstApplications, applicationNames(), false);

    QStringList users;
    for (const auto& user : m_database.users())
        users.append(user.name);
    fillList(lstUsers, users, false);

    QStringList workstations;
    for (const auto& workstation : m_database.workstations())
        workstations.append(workstation.name);
    fillList(lstWorkstations, workstations, false);

    showNoData(cmbStartDate);
    showNoData(cmbEndDate);
    const QList<QDate> days = GetReportDates(m_database);
    if (!days.isEmpty()) {
        for (QComboBox* combo : {cmbStartDate, cmbEndDate}) {
            combo->clear();
            for (const QDate& day : days)
                combo->addItem(Dates::shortText(day), day);
            combo->setEnabled(true);
        }
        cmbStartDate->setCurrentIndex(0);
        cmbEndDate->setCurrentIndex(cmbEndDate->count() - 1);
    }
    m_previousStartDate = cmbStartDate->currentIndex();
    m_previousEndDate = cmbEndDate->currentIndex();
}

void frameData::followGroupings() {
    fillList(lstApplications, applicationNames(), true);
}

void frameData::followData() {
    const QList<QDate> days = GetReportDates(m_database);
    QList<QDate> shown;
    if (cmbStartDate->isEnabled())
        for (int i = 0; i < cmbStartDate->count(); ++i)
            shown.append(cmbStartDate->itemData(i).toDate());
    if (days == shown)
        return; // no day came or went: the names are those of the last fill
    const std::optional<QDate> start = startDate();
    const std::optional<QDate> end = endDate();
    // A range that reached the newest day keeps reaching it; other days stay as chosen.
    const bool endWasNewest = !end || shown.isEmpty() || *end == shown.constLast();
    const bool startWasOldest = !start || shown.isEmpty() || *start == shown.constFirst();

    QStringList users;
    for (const auto& user : m_database.users())
        users.append(user.name);
    fillList(lstUsers, users, true);
    QStringList workstations;
    for (const auto& workstation : m_database.workstations())
        workstations.append(workstation.name);
    fillList(lstWorkstations, workstations, true);

    if (days.isEmpty()) {
        showNoData(cmbStartDate);
        showNoData(cmbEndDate);
    } else {
        // The day kept, else the nearest later one that holds data, else the newest.
        const auto indexOf = [&days](std::optional<QDate> day, bool newest) {
            if (!day || newest)
                return -1;
            const auto at = std::lower_bound(days.cbegin(), days.cend(), *day);
            return at == days.cend() ? -1 : static_cast<int>(at - days.cbegin());
        };
        const int startIndex = startWasOldest ? 0 : std::max(indexOf(start, false), 0);
        int endIndex = indexOf(end, endWasNewest);
        if (endIndex < 0 || endIndex < startIndex)
            endIndex = static_cast<int>(days.size()) - 1;
        for (QComboBox* combo : {cmbStartDate, cmbEndDate}) {
            const QSignalBlocker quiet(combo);
            combo->clear();
            for (const QDate& day : days)
                combo->addItem(Dates::shortText(day), day);
            combo->setEnabled(true);
        }
        cmbStartDate->setCurrentIndex(startIndex);
        cmbEndDate->setCurrentIndex(endIndex);
    }
    m_previousStartDate = cmbStartDate->currentIndex();
    m_previousEndDate = cmbEndDate->currentIndex();
}

QList<QDate> frameData::GetReportDates(const ManagerDatabase& database) {
    return database.distinctDays();
}

bool frameData::IsItemChecked(const QString& text, const QListWidget* list) {
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* item = list->item(i);
        if (item->text() == text && item->checkState() == Qt::Checked)
            return true;
    }
    return false;
}

std::optional<QDate> frameData::startDate() const {
    return dayOf(cmbStartDate);
}

std::optional<QDate> frameData::endDate() const {
    return dayOf(cmbEndDate);
}

QStringList frameData::checkedApplications() const {
    return checkedTexts(lstApplications);
}

QStringList frameData::checkedUsers() const {
    return checkedTexts(lstUsers);
}

QStringList frameData::checkedWorkstations() const {
    return checkedTexts(lstWorkstations);
}

ReportCriteria frameData::criteria() const {
    return {startDate(), endDate(), checkedApplications(), checkedUsers(), checkedWorkstations()};
}

ReportHeading frameData::heading(ReportHeading::Names users, ReportHeading::Names workstations) const {
    const auto choice = [](const QListWidget* list,
                           ReportHeading::Names names = ReportHeading::Names::Shown) {
        QStringList checked;
        QStringList unchecked;
        for (int i = 0; i < list->count(); ++i)
            (list->item(i)->checkState() == Qt::Checked ? checked : unchecked).append(list->item(i)->text());
        return ReportHeading::choiceText(checked, unchecked, names);
    };
    ReportHeading heading;
    const std::optional<QDate> from = startDate();
    const std::optional<QDate> to = endDate();
    if (from && to)
        heading.period = ReportHeading::periodText(*from, *to);
    heading.criteria = ReportHeading::criteriaText(choice(lstApplications), choice(lstUsers, users),
                                                   choice(lstWorkstations, workstations));
    heading.generated = QDateTime::currentDateTime();
    return heading;
}

bool frameData::datesReversed() const {
    const auto start = startDate();
    const auto end = endDate();
    return start && end && *start > *end;
}

void frameData::startDatePicked(int index) {
    if (cmbEndDate->currentText().isEmpty())
        return;
    if (datesReversed()) {
        cmbStartDate->setCurrentIndex(m_previousStartDate);
        m_feedback.beep();
        return;
    }
    m_previousStartDate = index;
}

void frameData::endDatePicked(int index) {
    if (cmbEndDate->currentText() == kNoDataAvailable)
        return;
    if (datesReversed()) {
        cmbEndDate->setCurrentIndex(m_previousEndDate);
        m_feedback.beep();
        return;
    }
    m_previousEndDate = index;
}

void frameData::tickAll(QListWidget* list, bool ticked) {
    if (list->count() == 0)
        return;
    const QListWidgetItem* kept = list->currentItem() ? list->currentItem() : list->item(0);
    const QSignalBlocker quiet(list);
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        item->setCheckState(ticked || item == kept ? Qt::Checked : Qt::Unchecked);
    }
}

void frameData::dateTyped(QComboBox* combo) {
    if (!combo->isEnabled() || combo->currentIndex() < 0)
        return;
    const QString text = combo->currentText().trimmed();
    if (text == combo->itemText(combo->currentIndex()))
        return; // nothing typed, or the completer already chose the day
    QDate day = Dates::fromShortText(text);
    if (!day.isValid())
        day = QDate::fromString(text, Qt::ISODate);
    // A day without data: the start moves to the next day that has some, the end to the one
    // before, so the range holds what was meant.
    int index = -1;
    if (day.isValid()) {
        const bool start = combo == cmbStartDate;
        for (int i = 0; i < combo->count(); ++i) {
            const QDate listed = combo->itemData(i).toDate();
            if (start ? listed >= day : listed <= day) {
                index = i;
                if (start)
                    break;
            }
        }
    }
    if (index < 0) {
        combo->setEditText(combo->itemText(combo->currentIndex()));
        m_feedback.beep();
        return;
    }
    combo->setCurrentIndex(index);
    combo == cmbStartDate ? startDatePicked(index) : endDatePicked(index);
}

void frameData::listItemChanged(QListWidget* list, QListWidgetItem* item) {
    if (item->checkState() == Qt::Checked || list->count() == 0)
        return;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            return;
    }
    // The last checked item of a list stays checked.
    {
        const QSignalBlocker blocker(list);
        item->setCheckState(Qt::Checked);
    }
    m_feedback.beep();
}

bool frameData::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cmbStartDate || watched == cmbEndDate) {
        auto* combo = static_cast<QComboBox*>(watched);
        if (event->type() == QEvent::FocusIn) {
            (combo == cmbStartDate ? m_previousStartDate : m_previousEndDate) = combo->currentIndex();
        } else if (event->type() == QEvent::FocusOut && datesReversed()) {
            // The move is refused: the focus goes back once the move has finished.
            QTimer::singleShot(0, combo, [combo] { combo->setFocus(Qt::OtherFocusReason); });
        }
    }
    return QWidget::eventFilter(watched, event);
}
