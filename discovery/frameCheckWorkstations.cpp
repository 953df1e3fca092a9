// Check Workstations page: lists each machine with its agent service state.
#include "discovery/frameCheckWorkstations.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "discovery/ServiceStatus.h"
#include "discovery/WorkstationHealth.h"
#include "network/Network.h"
#include "widgets/WaitCursor.h"

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frameCheckWorkstations::frameCheckWorkstations(Network& network, Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_network(network), m_feedback(feedback) {
    setObjectName(QStringLiteral("frameCheckWorkstations"));

    lstCheck = new QListWidget(this);
    lstCheck->setObjectName(QStringLiteral("lstCheck"));
    cmdCheck = new QPushButton(QStringLiteral("&Check Workstations"), this);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    lblCheckInfo =
        new QLabel(QStringLiteral("Press the \"Check Workstations\" button to scan all the workstations in "
                                  "the network, checking the status of the Vellumcrest service on each "
                                  "workstation."),
                   this);
    lblCheckInfo->setObjectName(QStringLiteral("lblCheckInfo"));
    lblCheckInfo->setWordWrap(true);
    lblCheckInfo->setFont(QFont(QStringLiteral("Arial"), 10));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCheck);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstCheck, 1);
    layout->addLayout(buttons);
    layout->addWidget(lblCheckInfo);

    connect(cmdCheck, &QPushButton::clicked, this, &frameCheckWorkstations::checkWorkstations);
}

void frameCheckWorkstations::checkWorkstations() {
    lstCheck->clear();
    WaitCursor hourglass;
    const auto machines = m_network.enumerateMachines();
    if (!machines) {
        if (!m_network.problem().isEmpty())
            m_feedback.message(QStringLiteral("The workstations could not be checked: ") +
                                   m_network.problem(),
                               Captions::kProduct, Feedback::Icon::Warning);
        return;
    }
    for (const QString& machine : *machines) {
        const auto state = serviceStateIfListed(m_network, m_feedback, machine, kAgentServiceName);
        lstCheck->addItem(machine + serviceStateText(state.value_or(0)));
        emit serviceChecked(machine, state ? *state : WorkstationHealth::kNotReached);
        window()->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!m_network.problem().isEmpty()) {
            // The account was refused on the way: one message, and no other machine is asked.
            m_feedback.message(QStringLiteral("The check stopped: ") + m_network.problem(),
                               Captions::kProduct, Feedback::Icon::Warning);
            break;
        }
    }
    // Names the list held that no machine can have: said where the operator looks, so the
    // list can be mended.
    for (const MachineName::Skipped& skipped : m_network.skippedNames())
        lstCheck->addItem(MachineName::skippedText(skipped));
}
