// The Workstation Health page: every registered machine's service, newest day and last download.
#pragma once

#include <QMap>
#include <QStringList>
#include <QWidget>

class Feedback;
class ManagerDatabase;
class Network;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class Settings;
class WorkstationHealth;

class frameWorkstationHealth : public QWidget {
    Q_OBJECT
public:
    frameWorkstationHealth(Network& network, Feedback& feedback, Settings& settings,
                           QWidget* parent = nullptr);

    // The manager database the rows come from; nullptr detaches the page (its rows stay).
    void setDatabase(ManagerDatabase* database) { m_database = database; }
    WorkstationHealth& model() const { return *m_model; }

public slots:
    // Reads the rows again (after a download, a scan, or when the page is shown).
    void refresh();
    // The click on cmdCheckServices: asks every registered machine for its agent service,
    // several at once where the network can, with a progress window whose Cancel stops before
    // the next machine (the ones not asked keep their last state). The rows are sorted again.
    void checkServices();
    // A check made elsewhere (the Check Workstations page) is the newest state too.
    void serviceChecked(const QString& machine, qint32 state);

signals:
    // The machines now marked, each with its reason, whenever the rows, states or limit change.
    void markedChanged(const QMap<QString, QString>& reasons);

private:
    void limitChanged(int days);
    void showNetworkProblem();

    QTableView* tvHealth;
    QLabel* lblDaysBehind;
    QSpinBox* spnDaysBehind;
    QPushButton* cmdCheckServices;
    QPushButton* cmdRefresh;
    QLabel* lblHealthInfo;
    // What stopped the last scan, check or download as a whole (the directory, the account).
    QLabel* lblNetworkProblem;

    Network& m_network;
    Feedback& m_feedback;
    Settings& m_settings;
    ManagerDatabase* m_database = nullptr;
    WorkstationHealth* m_model;
};
