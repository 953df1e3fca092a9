// The About box: product, version, notices and the way to the system information program.
#pragma once

#include "app/SystemInfo.h"

#include <QDialog>
#include <QIcon>

class Feedback;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // sysInfo says where "&System Info..." looks for a program and how it starts one.
    explicit frmAbout(Feedback& feedback, QWidget* parent = nullptr, SystemInfoSource sysInfo = {});

    // The program icon, also meant for the main window's caption bar.
    static QIcon programIcon();

    // "Version " and major.minor.revision of the running program.
    static QString versionText();

private:
    void buildControls();
    void layOut();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblDisclaimer;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

    Feedback& m_feedback;
    SystemInfoSource m_sysInfo;
};
