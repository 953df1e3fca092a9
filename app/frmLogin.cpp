// Login dialog: checks the entered password against the stored one.
#include "app/frmLogin.h"

#include "app/Account.h"
#include "app/Password.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmLogin::frmLogin(Settings& settings, Feedback& feedback, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_feedback(feedback) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("Login to ") + Captions::kProductTm);
    setModal(true);

    txtUserName = new QLineEdit(this);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));

    auto* userLabel = new QLabel(QStringLiteral("&User Name:"), this);
    userLabel->setBuddy(txtUserName);
    auto* passwordLabel = new QLabel(QStringLiteral("&Password:"), this);
    passwordLabel->setBuddy(txtPassword);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* form = new QFormLayout;
    form->addRow(userLabel, txtUserName);
    form->addRow(passwordLabel, txtPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    txtUserName->setText(accountName());
    txtPassword->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::checkPassword);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void frmLogin::checkPassword() {
    const QString stored = m_settings.storedPassword();
    const Password::Check check = Password::verify(stored, txtPassword->text());
    if (check.matches) {
        if (check.needsUpgrade)
            m_settings.storePassword(Password::hash(txtPassword->text()));
        m_loginSucceeded = true;
        accept();
        return;
    }
    ++m_failedAttempts;
    m_feedback.message(QStringLiteral("Invalid Password, try again!"),
                       Captions::titled(QStringLiteral(" Login")), Feedback::Icon::Warning,
                       Feedback::Buttons::Ok);
    txtPassword->setFocus();
    txtPassword->selectAll();
}
