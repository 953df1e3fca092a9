// Security page: password write-through (as a hash) and the password-required switch.
#include "app/frameSecurity.h"

#include "app/Password.h"
#include "base/Settings.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

frameSecurity::frameSecurity(Settings& settings, QWidget* parent) : QWidget(parent), m_settings(settings) {
    setObjectName(QStringLiteral("frameSecurity"));

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtUserName->setReadOnly(true);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    chkPasswordProtected = new QCheckBox(QStringLiteral("Require Password at Startup"), this);
    chkPasswordProtected->setObjectName(QStringLiteral("chkPasswordProtected"));
    lblSecurityInfo = new QLabel(
        QStringLiteral(
            "If \"Require Password at Startup\" is selected, a password dialog box will appear whenever "
            "Vellumcrest is started, preventing unauthorized use.  The password entered will be "
            "encrypted and held securely."),
        this);
    lblSecurityInfo->setObjectName(QStringLiteral("lblSecurityInfo"));
    lblSecurityInfo->setWordWrap(true);
    lblSecurityInfo->setFont(QFont(QStringLiteral("Arial"), 10));

    auto* group = new QGroupBox(QStringLiteral("Security"), this);
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("User Name:"), txtUserName);
    form->addRow(QStringLiteral("Password:"), txtPassword);
    form->addRow(QString(), chkPasswordProtected);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(lblSecurityInfo);
    layout->addStretch();

    applyPasswordState(false);

    connect(txtPassword, &QLineEdit::textEdited, this, [this] { m_passwordEdited = true; });
    connect(txtPassword, &QLineEdit::editingFinished, this, &frameSecurity::commitPassword);
    connect(chkPasswordProtected, &QCheckBox::toggled, this, [this](bool ticked) {
        m_settings.storePasswordProtectedCheckbox(ticked);
        applyPasswordState(ticked);
    });
}

void frameSecurity::load(const QString& accountName, bool passwordProtected) {
    txtUserName->setText(accountName);
    txtPassword->clear();
    m_passwordEdited = false;
    chkPasswordProtected->setChecked(passwordProtected);
    applyPasswordState(passwordProtected);
}

void frameSecurity::commitPassword() {
    if (!m_passwordEdited)
        return;
    m_passwordEdited = false;
    m_settings.storePassword(Password::hash(txtPassword->text()));
}

void frameSecurity::applyPasswordState(bool ticked) {
    txtPassword->setEnabled(ticked);
    QPalette palette = txtPassword->palette();
    // Window background when usable, the inactive-border grey when not.
    palette.setColor(QPalette::Base, ticked ? QWidget::palette().color(QPalette::Base)
                                            : QWidget::palette().color(QPalette::Window));
    txtPassword->setPalette(palette);
}
