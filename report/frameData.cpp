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
#include <QLabel>
#include <QListWidget>
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
    combo->setEditable(false);
    return combo;
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
    lblApplications = makeLabel(this, "lblApplications", QStringLiteral("Applications"), lstApplications);
    lblUsers = makeLabel(this, "lblUsers", QStringLiteral("Users"), lstUsers);
    lblWorkstations = makeLabel(this, "lblWorkstations", QStringLiteral("Workstations"), lstWorkstations);
    lblStartDate = makeLabel(this, "lblStartDate", QStringLiteral("Start Date"), cmbStartDate);
    lblEndDate = makeLabel(this, "lblEndDate", QStringLiteral("End Date"), cmbEndDate);
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
    layout->addWidget(lblDataInfo, 4, 0, 1, 3);
    layout->setRowStretch(3, 1);

    showNoData(cmbStartDate);
    showNoData(cmbEndDate);
    cmbStartDate->installEventFilter(this);
    cmbEndDate->installEventFilter(this);
    connect(cmbStartDate, &QComboBox::activated, this, &frameData::startDatePicked);
    connect(cmbEndDate, &QComboBox::activated, this, &frameData::endDatePicked);
    for (QListWidget* list : {lstApplications, lstUsers, lstWorkstations})
        connect(list, &QListWidget::itemChanged, this,
                [this, list](QListWidgetItem* item) { listItemChanged(list, item); });
}

void frameData::fillList(QListWidget* list, QStringList names) {
    // The list keeps its own order: alphabetical, letter case ignored.
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    const QSignalBlocker blocker(list);
    list->clear();
    for (const QString& name : names) {
        // Built whole before it joins the list: an item that is given to the list at
        // construction reports its text to the list before the list knows its row, and the list
        // then searches every row for it (300,000 users took most of a start).
        auto* item = new QListWidgetItem(name);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        list->addItem(item);
    }
    if (list->count() > 0)
        list->setCurrentRow(0);
}

void frameData::LoadReportCriteria() {
    QStringList applications{kUndefinedApplications};
    for (const auto& grouping : m_database.groupings())
        applications.append(grouping.alias);
    fillList(lstApplications, applications);

    QStringList users;
    for (const auto& user : m_database.users())
        users.append(user.name);
    fillList(lstUsers, users);

    QStringList workstations;
    for (const auto& workstation : m_database.workstations())
        workstations.append(workstation.name);
    fillList(lstWorkstations, workstations);

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
