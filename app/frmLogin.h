// The start-up login dialog.
#pragma once

#include <QDialog>

class Feedback;
class QLineEdit;
class QPushButton;
class Settings;

class frmLogin : public QDialog {
    Q_OBJECT
public:
    frmLogin(Settings& settings, Feedback& feedback, QWidget* parent = nullptr);

    bool loginSucceeded() const { return m_loginSucceeded; }
    // Wrong passwords entered in this dialog.
    int failedAttempts() const { return m_failedAttempts; }

private:
    void checkPassword();

    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    Settings& m_settings;
    Feedback& m_feedback;
    bool m_loginSucceeded = false;
    int m_failedAttempts = 0;
};
