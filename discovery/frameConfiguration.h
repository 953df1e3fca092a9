// The Workstation Data page: newest collected day, and the tree of workstations with the
// network scan that fills it and the check boxes that choose which are monitored.
#pragma once

#include <QHash>
#include <QIcon>
#include <QMap>
#include <QStringList>
#include <QWidget>

class DialogRunner;
class Feedback;
class ManagerDatabase;
class Network;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class frmScan;

class frameConfiguration : public QWidget {
    Q_OBJECT
public:
    // Item data of tree nodes: the key ("root" or the workstation name) and the image name.
    static constexpr int KeyRole = Qt::UserRole;
    static constexpr int ImageRole = Qt::UserRole + 1;
    static inline const QString kRootKey = QStringLiteral("root");

    // The database is set later (setDatabase), once the main window has opened it.
    frameConfiguration(Network& network, Feedback& feedback, DialogRunner& dialogs,
                       QWidget* parent = nullptr);

    // The manager database that registry reads and writes use; nullptr detaches the page.
    void setDatabase(ManagerDatabase* database) { m_database = database; }

    // The click on cmdScanNetwork: LoadWorkstations, then UpdateWorkstationDB. The first start
    // runs it too.
    void cmdScanNetworkClick();
    // Runs the scan window and reports the outcome through statusText.
    void LoadWorkstations();
    // Rebuilds the tree from the network; count receives the number of machines enumerated
    // (0 when enumeration fails, which leaves the tree as it was). The text is not used.
    void GetServers(const QString& unused, qint32& count);
    // Every workstation node into MGRWorkstations, in one transaction.
    void UpdateWorkstationDB();
    // Checks the workstation nodes whose registry row is monitored; never unchecks.
    void UpdateWorkstationTreeValues();
    // Checked workstation nodes (the domain node never counts).
    qint16 GetCheckedWSCount() const;
    // This computer's domain name as the network reports it, or empty.
    QString GetDomainName();
    // Start-up on every start after the first: the tree from the registry, no network access.
    void loadTreeFromRegistry();
    // Names of the checked workstation nodes in node order: the workstations to download.
    QStringList checkedWorkstations() const;
    // All workstation nodes (checked or not).
    int workstationNodeCount() const;

    // The tree's image list: "root", "pc" and "pc-behind".
    QMap<QString, QIcon> imWS;

public slots:
    // Shows the newest collected day (the text comes from the store's snapshot-date rule).
    void setSnapshotDate(const QString& text);
    // Marks these workstations (any letter case) as the health page does, each with its reason
    // for the tool tip; monitored nodes show the mark. It stays through later rebuilds of the
    // tree until the next call.
    void setMarkedWorkstations(const QMap<QString, QString>& reasons);

signals:
    // Text for the first panel of the status bar.
    void statusText(const QString& text);
    // After a scan: the main window shows this page.
    void showWorkstationDataPageRequested();
    // A scan saw the agent's service on machine (a check, as the health page counts one): its
    // state code, 0 when not installed, kAgentNotReached when the services could not be listed.
    void serviceChecked(const QString& machine, qint32 state);

private:
    void onItemChanged(QTreeWidgetItem* item, int column);
    QTreeWidgetItem* rootNode() const;
    QList<QTreeWidgetItem*> workstationNodes() const;
    QTreeWidgetItem* addRootNode();
    QTreeWidgetItem* newWorkstationNode(const QString& name, bool checked) const;
    ManagerDatabase& database() const;
    void repaintWindow();
    void showMark(QTreeWidgetItem* node) const;

    QGroupBox* frameCurrentData;
    QLineEdit* txtSnapshotDate;
    QLabel* lblSnapshotDate;
    QLabel* lblCollectInfo;
    QGroupBox* frameMonitored;
    QTreeWidget* tvWorkstations;
    QPushButton* cmdScanNetwork;
    QLabel* lblInfo;

    Network& m_network;
    Feedback& m_feedback;
    DialogRunner& m_dialogs;
    ManagerDatabase* m_database = nullptr;
    frmScan* m_scan = nullptr;
    QHash<QString, QString> m_marks; // machine key -> why it is marked
};
