// Workstation Health page: shows the health model, its limit box and the service check.
#include "discovery/frameWorkstationHealth.h"

#include "base/Captions.h"
#include "base/Settings.h"
#include "discovery/ServiceStatus.h"
#include "discovery/WorkstationHealth.h"
#include "discovery/WorkstationIcons.h"
#include "network/Network.h"
#include "store/ManagerDatabase.h"
#include "widgets/PlainText.h"

#include <QColor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace {
// The model's mark as the workstation tree shows it: the warning icon, on an amber ground.
class MarkedRows : public QIdentityProxyModel {
public:
    explicit MarkedRows(QObject* parent) : QIdentityProxyModel(parent), m_icons(workstationImageList()) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const bool marked = QIdentityProxyModel::data(index, WorkstationHealth::MarkedRole).toBool();
        if (role == Qt::DecorationRole && index.column() == WorkstationHealth::Name)
            return m_icons.value(marked ? QStringLiteral("pc-behind") : QStringLiteral("pc"));
        if (role == Qt::BackgroundRole && marked)
            return QColor(255, 236, 200);
        // Reasons come from files and the network: shown as text, never as markup.
        if (role == Qt::ToolTipRole) {
            const QVariant tip = QIdentityProxyModel::data(index, role);
            return tip.isValid() ? QVariant(PlainText::toolTip(tip.toString())) : tip;
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    QMap<QString, QIcon> m_icons;
};
} // namespace

frameWorkstationHealth::frameWorkstationHealth(Network& network, Feedback& feedback, Settings& settings,
                                               QWidget* parent)
    : QWidget(parent), m_network(network), m_feedback(feedback), m_settings(settings),
      m_model(new WorkstationHealth(this)) {
    setObjectName(QStringLiteral("frameWorkstationHealth"));
    m_model->setDaysBehindLimit(m_settings.daysBehindLimit());

    auto* marked = new MarkedRows(this);
    marked->setSourceModel(m_model);
    tvHealth = new QTableView(this);
    tvHealth->setObjectName(QStringLiteral("tvHealth"));
    tvHealth->setModel(marked);
    tvHealth->setSortingEnabled(true);
    tvHealth->sortByColumn(WorkstationHealth::Name, Qt::AscendingOrder);
    tvHealth->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvHealth->setSelectionMode(QAbstractItemView::SingleSelection);
    tvHealth->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvHealth->setAlternatingRowColors(false);
    tvHealth->setWordWrap(false);
    tvHealth->verticalHeader()->hide();
    tvHealth->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    // The result says why a download failed: it is shown beside the service, as wide as its
    // longest reason, so the default window shows it whole; the dates and the agent's version
    // are what the table scrolls sideways to.
    QHeaderView* header = tvHealth->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->moveSection(header->visualIndex(WorkstationHealth::Result),
                        header->visualIndex(WorkstationHealth::Service) + 1);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("Yes")) + 12);

    lblDaysBehind = new QLabel(QStringLiteral("Mark monitored workstations more than"), this);
    lblDaysBehind->setObjectName(QStringLiteral("lblDaysBehind"));
    spnDaysBehind = new QSpinBox(this);
    spnDaysBehind->setObjectName(QStringLiteral("spnDaysBehind"));
    spnDaysBehind->setRange(0, Settings::kMaxDaysBehindLimit);
    spnDaysBehind->setSuffix(QStringLiteral(" days behind"));
    spnDaysBehind->setValue(m_model->daysBehindLimit());
    lblDaysBehind->setBuddy(spnDaysBehind);
    cmdRefresh = new QPushButton(QStringLiteral("&Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdCheckServices = new QPushButton(QStringLiteral("&Check Services"), this);
    cmdCheckServices->setObjectName(QStringLiteral("cmdCheckServices"));
    lblHealthInfo = new QLabel(
        QStringLiteral("Days behind counts the whole days missing since the newest day held; a day's data "
                       "is made available at midnight. Service states are those of the last check on this "
                       "page or the Check Workstations page since Vellumcrest was started."),
        this);
    lblHealthInfo->setObjectName(QStringLiteral("lblHealthInfo"));
    lblHealthInfo->setWordWrap(true);
    lblHealthInfo->setFont(QFont(QStringLiteral("Arial"), 10));
    lblNetworkProblem = new QLabel(this);
    lblNetworkProblem->setObjectName(QStringLiteral("lblNetworkProblem"));
    lblNetworkProblem->setWordWrap(true);
    lblNetworkProblem->setTextFormat(Qt::PlainText);
    lblNetworkProblem->hide();

    auto* controls = new QHBoxLayout;
    controls->addWidget(lblDaysBehind);
    controls->addWidget(spnDaysBehind);
    controls->addStretch();
    controls->addWidget(cmdRefresh);
    controls->addWidget(cmdCheckServices);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNetworkProblem);
    layout->addWidget(tvHealth, 1);
    layout->addLayout(controls);
    layout->addWidget(lblHealthInfo);

    connect(spnDaysBehind, &QSpinBox::valueChanged, this, &frameWorkstationHealth::limitChanged);
    connect(cmdRefresh, &QPushButton::clicked, this, &frameWorkstationHealth::refresh);
    connect(cmdCheckServices, &QPushButton::clicked, this, &frameWorkstationHealth::checkServices);
}

void frameWorkstationHealth::refresh() {
    if (m_database)
        m_model->load(*m_database, QDate::currentDate());
    showNetworkProblem();
    emit markedChanged(m_model->marks());
}

void frameWorkstationHealth::showNetworkProblem() {
    const QString problem = m_network.problem();
    lblNetworkProblem->setText(QStringLiteral("The network could not be read: ") + problem);
    lblNetworkProblem->setVisible(!problem.isEmpty());
}

void frameWorkstationHealth::checkServices() {
    refresh();
    QStringList names;
    for (const WorkstationHealth::Row& row : m_model->rows())
        names.append(row.name);
    if (names.isEmpty())
        return;
    // The back end asks several machines at once, as for the other pages' checks; the answers
    // are taken here in order, each machine's wait bounded by the network's timeout.
    m_network.prefetchServices(names);
    const auto total = static_cast<int>(names.size());
    QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, total, window());
    progress.setObjectName(QStringLiteral("dlgCheckServices"));
    progress.setWindowTitle(Captions::titled(QStringLiteral(" Workstation Health")));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    int done = 0;
    for (const QString& name : names) {
        // A modal dialog's setValue lets the Cancel click in between two machines.
        if (progress.wasCanceled())
            break;
        progress.setLabelText(QStringLiteral("Checking the agent service on %1 (%2 of %3)...")
                                  .arg(name, QString::number(done + 1), QString::number(total)));
        const auto state = serviceStateIfListed(m_network, m_feedback, name, kAgentServiceName);
        m_model->setServiceState(name, state ? *state : WorkstationHealth::kNotReached);
        progress.setValue(++done);
        if (!m_network.problem().isEmpty())
            break; // the account was refused: no other machine is asked
    }
    progress.reset();
    m_network.prefetchServices({}); // what is still ahead after a Cancel is not wanted
    showNetworkProblem();
    // New states can move rows in the chosen order, and marks on the Workstation Data tree.
    m_model->resort();
    emit markedChanged(m_model->marks());
}

void frameWorkstationHealth::serviceChecked(const QString& machine, qint32 state) {
    m_model->setServiceState(machine, state);
    emit markedChanged(m_model->marks());
}

void frameWorkstationHealth::limitChanged(int days) {
    m_settings.storeDaysBehindLimit(days);
    m_model->setDaysBehindLimit(days);
    emit markedChanged(m_model->marks());
}
