// The Security page: the start-up password and whether it is demanded.
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class Settings;

class frameSecurity : public QWidget {
    Q_OBJECT
public:
    explicit frameSecurity(Settings& settings, QWidget* parent = nullptr);

    // Start-up: the account name, the check box from the program-wide flag. The password box
    // stays empty: the stored password is a hash and cannot be shown.
    void load(const QString& accountName, bool passwordProtected);

    // Stores the password typed since the last store, if any (also run when the window closes).
    void commitPassword();

private:
    void applyPasswordState(bool ticked);

    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QCheckBox* chkPasswordProtected;
    QLabel* lblSecurityInfo;

    Settings& m_settings;
    bool m_passwordEdited = false;
};
