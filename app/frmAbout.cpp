// The About box.
#include "app/frmAbout.h"

#include "base/Captions.h"
#include "base/Version.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVersionNumber>

// The icon lives in the static library; its resources are only linked in when something
// calls the initialiser, and that call must sit outside any namespace.
static void initAboutResources() {
    Q_INIT_RESOURCE(frmAbout);
}

QIcon frmAbout::programIcon() {
    initAboutResources();
    return QIcon(QStringLiteral(":/vellumcrest/icon.png"));
}

QString frmAbout::versionText() {
    // The start-up routine names the version; a caller that did not (a test, a tool) gets the
    // version the program was built as.
    QVersionNumber version = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    if (version.isNull())
        version = QVersionNumber::fromString(QString::fromLatin1(Version::kText));
    return QStringLiteral("Version %1.%2.%3")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion());
}

frmAbout::frmAbout(Feedback& feedback, QWidget* parent, SystemInfoSource sysInfo)
    : QDialog(parent), m_feedback(feedback), m_sysInfo(std::move(sysInfo)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + Captions::kProductTm);
    setModal(true);
    setWindowIcon(programIcon());
    buildControls();
    layOut();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(m_feedback, m_sysInfo); });
}

void frmAbout::buildControls() {
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programIcon().pixmap(64, 64));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTitle = new QLabel(Captions::kProduct + QStringLiteral(" Manager for Windows NT,") +
                              QLatin1Char('\n') + QStringLiteral("Windows 2000, and Windows XP"),
                          this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPointSize(13);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(versionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    lblDescription = new QLabel(
        QStringLiteral(
            "Monitors application usage on the workstations of your network and reports it by day, "
            "application, user and workstation."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);

    lblDisclaimer = new QLabel(
        QStringLiteral("Warning: this program is protected by copyright law and international treaties.") +
            QLatin1Char('\n') +
            QStringLiteral("Copying or distributing it, or any part of it, without permission may result in "
                           "civil and criminal penalties."),
        this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    QFont small = lblDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lblDisclaimer->setFont(small);
    lblDisclaimer->setForegroundRole(QPalette::PlaceholderText);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
}

void frmAbout::layOut() {
    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(8);
    text->addWidget(lblDescription);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addSpacing(12);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);
    setMinimumWidth(660);
}
