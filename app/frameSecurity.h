// The Security page: the start-up password and whether it is demanded.
#pragma once

#include <QWidget>

class Feedback;
class ManagerDatabase;
class QCheckBox;
class QLabel;
class QLineEdit;
class Settings;

class frameSecurity : public QWidget {
    Q_OBJECT
public:
    frameSecurity(Settings& settings, Feedback& feedback, QWidget* parent = nullptr);

    // The database whose audit log accounts for each change; none before start-up opens it
    // (nothing can be changed on the page then) and after the window closes.
    void setDatabase(ManagerDatabase* database) { m_database = database; }

    // Start-up: the account name, the check box from the program-wide flag. The password box
    // stays empty: the stored password is a hash and cannot be shown.
    void load(const QString& accountName, bool passwordProtected);

    // Stores the password typed since the last store, if any (also run when the window closes).
    void commitPassword();

private:
    void applyPasswordState(bool ticked);
    // Writes the change's audit row; false (and says why) when it cannot, and the change is
    // then not made.
    bool accountFor(const QString& details);

    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QCheckBox* chkPasswordProtected;
    QLabel* lblSecurityInfo;

    Settings& m_settings;
    Feedback& m_feedback;
    ManagerDatabase* m_database = nullptr;
    bool m_passwordEdited = false;
};
