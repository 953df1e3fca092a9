// Workstation Health page: shows the health model, its limit box and the service check.
#include "discovery/frameWorkstationHealth.h"

#include "base/Settings.h"
#include "discovery/ServiceStatus.h"
#include "discovery/WorkstationHealth.h"
#include "discovery/WorkstationIcons.h"
#include "network/Network.h"
#include "store/ManagerDatabase.h"
#include "widgets/PlainText.h"
#include "widgets/WaitCursor.h"

#include <QColor>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
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
    tvHealth->horizontalHeader()->setStretchLastSection(true);
    tvHealth->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvHealth->horizontalHeader()->setSectionResizeMode(WorkstationHealth::Result, QHeaderView::Stretch);

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
    emit markedChanged(m_model->markedNames());
}

void frameWorkstationHealth::showNetworkProblem() {
    const QString problem = m_network.problem();
    lblNetworkProblem->setText(QStringLiteral("The network could not be read: ") + problem);
    lblNetworkProblem->setVisible(!problem.isEmpty());
}

void frameWorkstationHealth::checkServices() {
    refresh();
    WaitCursor hourglass;
    QStringList names;
    for (const WorkstationHealth::Row& row : m_model->rows())
        names.append(row.name);
    for (const QString& name : names) {
        const auto state = serviceStateIfListed(m_network, m_feedback, name, kAgentServiceName);
        m_model->setServiceState(name, state ? *state : WorkstationHealth::kNotReached);
        window()->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!m_network.problem().isEmpty())
            break; // the account was refused: no other machine is asked
    }
    showNetworkProblem();
}

void frameWorkstationHealth::serviceChecked(const QString& machine, qint32 state) {
    m_model->setServiceState(machine, state);
}

void frameWorkstationHealth::limitChanged(int days) {
    m_settings.storeDaysBehindLimit(days);
    m_model->setDaysBehindLimit(days);
    emit markedChanged(m_model->markedNames());
}
