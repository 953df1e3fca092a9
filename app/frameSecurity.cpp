// Security page: password write-through (as a hash) and the password-required switch.
#include "app/frameSecurity.h"

#include "app/Password.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "store/AuditLog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

frameSecurity::frameSecurity(Settings& settings, Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_feedback(feedback) {
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
        if (!accountFor(ticked ? QStringLiteral("start-up password required")
                               : QStringLiteral("start-up password not required"))) {
            const QSignalBlocker still(chkPasswordProtected);
            chkPasswordProtected->setChecked(!ticked);
            return;
        }
        m_settings.storePasswordProtectedCheckbox(ticked);
        applyPasswordState(ticked);
    });
}

void frameSecurity::load(const QString& accountName, bool passwordProtected) {
    txtUserName->setText(accountName);
    txtPassword->clear();
    m_passwordEdited = false;
    {
        // Showing the stored state is no change to account for.
        const QSignalBlocker loading(chkPasswordProtected);
        chkPasswordProtected->setChecked(passwordProtected);
    }
    applyPasswordState(passwordProtected);
}

void frameSecurity::commitPassword() {
    if (!m_passwordEdited)
        return;
    m_passwordEdited = false;
    // Never the password itself, nor its hash: only that it changed.
    if (!accountFor(QStringLiteral("start-up password changed"))) {
        txtPassword->clear();
        return;
    }
    m_settings.storePassword(Password::hash(txtPassword->text()));
}

bool frameSecurity::accountFor(const QString& details) {
    if (!m_database) {
        m_feedback.message(QStringLiteral("The database is not open, so the change could not be written to "
                                          "the audit log; it was not made."),
                           Captions::titled(QStringLiteral(" Security")), Feedback::Icon::Warning,
                           Feedback::Buttons::Ok);
        return false;
    }
    try {
        AuditLog::record(*m_database, QStringLiteral("settings"), details);
        return true;
    } catch (const VcError& error) {
        m_feedback.message(error.description() + QStringLiteral("\nThe change was not made."),
                           Captions::titled(QStringLiteral(" Security")), Feedback::Icon::Warning,
                           Feedback::Buttons::Ok);
        return false;
    }
}

void frameSecurity::applyPasswordState(bool ticked) {
    txtPassword->setEnabled(ticked);
    QPalette palette = txtPassword->palette();
    // Window background when usable, the inactive-border grey when not.
    palette.setColor(QPalette::Base, ticked ? QWidget::palette().color(QPalette::Base)
                                            : QWidget::palette().color(QPalette::Window));
    txtPassword->setPalette(palette);
}
