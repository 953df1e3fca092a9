// The Check Workstations page: the agent service's state on every machine of the network.
#pragma once

#include <QWidget>

class Feedback;
class Network;
class QLabel;
class QListWidget;
class QPushButton;

class frameCheckWorkstations : public QWidget {
    Q_OBJECT
public:
    frameCheckWorkstations(Network& network, Feedback& feedback, QWidget* parent = nullptr);

public slots:
    // The click on cmdCheck: one line per enumerated machine, the list growing visibly.
    void checkWorkstations();

signals:
    // Each machine's outcome as it is listed: a state code (0 not installed), or
    // WorkstationHealth::kNotReached when its services could not be listed.
    void serviceChecked(const QString& machine, qint32 state);

private:
    QListWidget* lstCheck;
    QPushButton* cmdCheck;
    QLabel* lblCheckInfo;

    Network& m_network;
    Feedback& m_feedback;
};
