// Workstation Data page: the network scan, the tree built from it or from the registry, and
// the check boxes written through to the registry.
#include "discovery/frameConfiguration.h"

#include "base/VcError.h"
#include "discovery/AgentScan.h"
#include "discovery/frmScan.h"
#include "discovery/ServiceStatus.h"
#include "discovery/WorkstationIcons.h"
#include "discovery/WorkstationRegistry.h"
#include "network/Network.h"
#include "store/AuditLog.h"
#include "widgets/DialogRunner.h"
#include "widgets/PlainText.h"

#include <algorithm>
#include <limits>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

frameConfiguration::frameConfiguration(Network& network, Feedback& feedback, DialogRunner& dialogs,
                                       QWidget* parent)
    : QWidget(parent), m_network(network), m_feedback(feedback), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frameConfiguration"));
    const QFont labelFont(QStringLiteral("Arial"), 10);

    frameCurrentData = new QGroupBox(QStringLiteral("Current Data"), this);
    frameCurrentData->setObjectName(QStringLiteral("frameCurrentData"));
    lblSnapshotDate = new QLabel(QStringLiteral("Date of Most Recent Workstation Data"), frameCurrentData);
    lblSnapshotDate->setObjectName(QStringLiteral("lblSnapshotDate"));
    txtSnapshotDate = new QLineEdit(frameCurrentData);
    txtSnapshotDate->setObjectName(QStringLiteral("txtSnapshotDate"));
    txtSnapshotDate->setReadOnly(true);
    // Shown, not edited: no first focus, and the page's ground rather than an input's, so it
    // does not look like a box to type in. A click still selects its text for copying.
    txtSnapshotDate->setFocusPolicy(Qt::ClickFocus);
    {
        QPalette shown = txtSnapshotDate->palette();
        shown.setColor(QPalette::Base, shown.color(QPalette::Window));
        txtSnapshotDate->setPalette(shown);
    }
    lblCollectInfo =
        new QLabel(QStringLiteral("All data is collected from each monitored workstation at the startup "
                                  "of Vellumcrest.  Each workstation's data is made available to "
                                  "Vellumcrest at midnight."),
                   frameCurrentData);
    lblCollectInfo->setObjectName(QStringLiteral("lblCollectInfo"));
    lblCollectInfo->setWordWrap(true);
    lblCollectInfo->setFont(labelFont);
    auto* current = new QVBoxLayout(frameCurrentData);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(lblSnapshotDate);
    dateRow->addWidget(txtSnapshotDate, 1);
    current->addLayout(dateRow);
    current->addWidget(lblCollectInfo);

    frameMonitored = new QGroupBox(QStringLiteral("Workstations Currently Monitored"), this);
    frameMonitored->setObjectName(QStringLiteral("frameMonitored"));
    tvWorkstations = new QTreeWidget(frameMonitored);
    tvWorkstations->setObjectName(QStringLiteral("tvWorkstations"));
    tvWorkstations->setColumnCount(1);
    tvWorkstations->header()->hide();
    tvWorkstations->setRootIsDecorated(true);
    cmdScanNetwork =
        new QPushButton(QStringLiteral("&Scan Network for Monitored Workstations"), frameMonitored);
    cmdScanNetwork->setObjectName(QStringLiteral("cmdScanNetwork"));
    lblInfo = new QLabel(
        QStringLiteral("By selecting workstations from the above list, the workstations' data will "
                       "be available for viewing in the Reports section."),
        frameMonitored);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblInfo->setFont(labelFont);
    auto* monitored = new QVBoxLayout(frameMonitored);
    monitored->addWidget(tvWorkstations, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cmdScanNetwork);
    monitored->addLayout(buttonRow);
    monitored->addWidget(lblInfo);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameCurrentData);
    layout->addWidget(frameMonitored, 1);

    imWS = workstationImageList();

    connect(cmdScanNetwork, &QPushButton::clicked, this, &frameConfiguration::cmdScanNetworkClick);
    connect(tvWorkstations, &QTreeWidget::itemChanged, this, &frameConfiguration::onItemChanged);
}

ManagerDatabase& frameConfiguration::database() const {
    if (!m_database)
        throw VcError(ErrorNumber::ObjectUnloaded, QStringLiteral("The manager database is not open"));
    return *m_database;
}

void frameConfiguration::repaintWindow() {
    window()->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QTreeWidgetItem* frameConfiguration::rootNode() const {
    return tvWorkstations->topLevelItemCount() > 0 ? tvWorkstations->topLevelItem(0) : nullptr;
}

QList<QTreeWidgetItem*> frameConfiguration::workstationNodes() const {
    QList<QTreeWidgetItem*> nodes;
    if (QTreeWidgetItem* root = rootNode())
        for (int i = 0; i < root->childCount(); ++i)
            nodes << root->child(i);
    return nodes;
}

QTreeWidgetItem* frameConfiguration::addRootNode() {
    auto* root = new QTreeWidgetItem(tvWorkstations, QStringList{GetDomainName()});
    root->setData(0, KeyRole, kRootKey);
    root->setData(0, ImageRole, QStringLiteral("root"));
    root->setIcon(0, imWS.value(QStringLiteral("root")));
    root->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    root->setCheckState(0, Qt::Checked);
    root->setExpanded(true);
    return root;
}

QTreeWidgetItem* frameConfiguration::newWorkstationNode(const QString& name, bool checked) const {
    // Made whole before it joins the tree, and joined with the others in one call: a node
    // given to its parent at construction is laid out by the tree once for every node.
    auto* node = new QTreeWidgetItem(QStringList{name});
    node->setData(0, KeyRole, name);
    node->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    showMark(node);
    return node;
}

void frameConfiguration::showMark(QTreeWidgetItem* node) const {
    const QString name = node->data(0, KeyRole).toString();
    // A machine the operator stopped monitoring is not downloaded: its lag is no fault.
    const auto mark = m_marks.constFind(name.toCaseFolded());
    const bool marked = mark != m_marks.constEnd() && node->checkState(0) == Qt::Checked;
    const QString image = marked ? QStringLiteral("pc-behind") : QStringLiteral("pc");
    node->setData(0, ImageRole, image);
    node->setIcon(0, imWS.value(image));
    node->setToolTip(0,
                     marked ? mark.value() + QStringLiteral(": see Tools -> Workstation Health") : QString());
}

void frameConfiguration::setMarkedWorkstations(const QMap<QString, QString>& reasons) {
    m_marks.clear();
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        m_marks.insert(it.key().toCaseFolded(), it.value());
    const QSignalBlocker quiet(tvWorkstations);
    for (QTreeWidgetItem* node : workstationNodes())
        showMark(node);
}

void frameConfiguration::setSnapshotDate(const QString& text) {
    txtSnapshotDate->setText(text);
}

QString frameConfiguration::GetDomainName() {
    return m_network.domainName();
}

void frameConfiguration::cmdScanNetworkClick() {
    LoadWorkstations();
    UpdateWorkstationDB();
    AuditLog::record(database(), QStringLiteral("scan"),
                     QStringLiteral("found=") + QString::number(workstationNodeCount()));
}

void frameConfiguration::LoadWorkstations() {
    emit statusText(QStringLiteral("Scanning workstations..."));
    {
        frmScan scan(window());
        m_scan = &scan;
        const auto forget = qScopeGuard([this] { m_scan = nullptr; });
        scan.setWork([this] {
            qint32 count = 0;
            GetServers(QString(), count);
            UpdateWorkstationDB();
            UpdateWorkstationTreeValues();
        });
        m_dialogs.run(scan);
    }
    emit showWorkstationDataPageRequested();
    const QString problem = m_network.problem();
    QString text = problem.isEmpty() ? WorkstationRegistry::foundText(workstationNodeCount())
                                     : QStringLiteral("The network could not be scanned: ") + problem;
    const QList<MachineName::Skipped> skipped = m_network.skippedNames();
    if (!skipped.isEmpty())
        text += QStringLiteral("; ") + MachineName::skippedText(skipped.first()) +
                (skipped.size() > 1 ? QStringLiteral(" (and %1 more)").arg(skipped.size() - 1) : QString());
    emit statusText(text);
}

void frameConfiguration::GetServers(const QString& unused, qint32& count) {
    Q_UNUSED(unused);
    count = 0;
    QTreeWidgetItem* root = nullptr;
    // A machine the registry knows keeps the operator's tick; a new one starts monitored.
    const QHash<QString, bool> choices =
        m_database ? WorkstationRegistry(*m_database).monitoredByFoldedName() : QHash<QString, bool>();
    QList<QTreeWidgetItem*> waiting;
    QElapsedTimer sinceShown;
    const auto showWaiting = [&] {
        if (!root || waiting.isEmpty())
            return;
        {
            const QSignalBlocker quiet(tvWorkstations);
            root->addChildren(waiting);
        }
        waiting.clear();
        sinceShown.restart();
        repaintWindow();
    };
    AgentScanObserver observer;
    observer.enumerated = [&](int machines) {
        const QString domain = GetDomainName();
        if (m_scan)
            m_scan->showDomain(domain, machines);
        {
            const QSignalBlocker quiet(tvWorkstations);
            tvWorkstations->clear();
            root = addRootNode();
        }
        sinceShown.start();
        repaintWindow();
    };
    observer.asking = [&](const QString& machine) {
        if (m_scan)
            m_scan->showMachine(machine);
    };
    observer.found = [&](const QString& machine) {
        waiting.append(newWorkstationNode(machine, choices.value(machine.toCaseFolded(), true)));
        // The tree grows in steps the eye can follow, not a repaint per machine.
        if (sinceShown.elapsed() >= 250)
            showWaiting();
    };
    observer.asked = [&](const QString&) {
        ++count;
        if (m_scan)
            m_scan->machineAsked();
    };
    observer.checked = [&](const QString& machine, qint32 state) { emit serviceChecked(machine, state); };
    scanForAgents(m_network, m_feedback, observer);
    showWaiting();
}

void frameConfiguration::UpdateWorkstationDB() {
    QList<WorkstationRegistry::Node> nodes;
    for (QTreeWidgetItem* node : workstationNodes())
        nodes.append({node->data(0, KeyRole).toString(), node->checkState(0) == Qt::Checked});
    WorkstationRegistry(database()).update(nodes);
}

void frameConfiguration::UpdateWorkstationTreeValues() {
    const QStringList monitored = WorkstationRegistry(database()).monitoredNames();
    const QSignalBlocker quiet(tvWorkstations);
    QHash<QString, QList<QTreeWidgetItem*>> nodesByName;
    for (QTreeWidgetItem* node : workstationNodes())
        nodesByName[node->data(0, KeyRole).toString()].append(node);
    for (const QString& name : monitored) {
        for (QTreeWidgetItem* node : nodesByName.value(name)) {
            node->setCheckState(0, Qt::Checked);
            showMark(node);
        }
    }
}

qint16 frameConfiguration::GetCheckedWSCount() const {
    int count = 0;
    for (QTreeWidgetItem* node : workstationNodes())
        if (node->checkState(0) == Qt::Checked)
            ++count;
    if (count > std::numeric_limits<qint16>::max())
        throw VcError(ErrorNumber::Overflow, QStringLiteral("Overflow"));
    return static_cast<qint16>(count);
}

QStringList frameConfiguration::checkedWorkstations() const {
    QStringList names;
    for (QTreeWidgetItem* node : workstationNodes())
        if (node->checkState(0) == Qt::Checked)
            names << node->data(0, KeyRole).toString();
    return names;
}

int frameConfiguration::workstationNodeCount() const {
    const QTreeWidgetItem* root = rootNode();
    return root ? root->childCount() : 0;
}

void frameConfiguration::loadTreeFromRegistry() {
    const auto rows = WorkstationRegistry(database()).rows();
    const QSignalBlocker quiet(tvWorkstations);
    tvWorkstations->clear();
    QTreeWidgetItem* root = addRootNode();
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(rows.size());
    for (const auto& row : rows)
        nodes.append(newWorkstationNode(row.name, row.monitored));
    root->addChildren(nodes);
}

void frameConfiguration::onItemChanged(QTreeWidgetItem* item, int column) {
    if (column != 0 || !item)
        return;
    QTreeWidgetItem* root = rootNode();
    const bool checked = item->checkState(0) == Qt::Checked;
    const bool isRoot = item == root;
    {
        const QSignalBlocker quiet(tvWorkstations);
        if (checked && root && !isRoot)
            root->setCheckState(0, Qt::Checked);
        if (isRoot && !checked)
            for (QTreeWidgetItem* node : workstationNodes())
                node->setCheckState(0, Qt::Unchecked);
        // The mark follows the tick at once: only monitored machines can fall behind.
        if (isRoot) {
            for (QTreeWidgetItem* node : workstationNodes())
                showMark(node);
        } else {
            showMark(item);
        }
    }
    // The domain node has no registry row of its own, even when a machine shares its key.
    if (!m_database)
        return;
    WorkstationRegistry registry(*m_database);
    if (!isRoot) {
        registry.setMonitored(item->data(0, KeyRole).toString(), checked);
    } else if (!checked) {
        QStringList names;
        for (QTreeWidgetItem* node : workstationNodes())
            names << node->data(0, KeyRole).toString();
        registry.setMonitored(names, false);
    }
}
