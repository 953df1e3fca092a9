// The Privacy page: how long usage is kept, the purge on demand, the smallest group a
// pseudonymised report may show, and the title redaction rules.
#pragma once

#include <QWidget>

class Feedback;
class ManagerDatabase;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class Settings;

class framePrivacy : public QWidget {
    Q_OBJECT
public:
    framePrivacy(Settings& settings, ManagerDatabase& database, Feedback& feedback,
                 QWidget* parent = nullptr);

    // Shows the stored values and rules; a damaged value is named and the box shows its default.
    void load();

private:
    void save();
    void purgeNow();
    void addRule();
    void removeRule();
    void applyRules();
    void showRules();
    void say(const QString& text, bool problem);

    Settings& m_settings;
    ManagerDatabase& m_database;
    Feedback& m_feedback;
    QSpinBox* spnKeepDays;
    QSpinBox* spnMinimumGroup;
    QPushButton* cmdSavePrivacy;
    QPushButton* cmdPurgeNow;
    QListWidget* lstRedactionRules;
    QLineEdit* txtRedactionPattern;
    QLineEdit* txtRedactionReplacement;
    QPushButton* cmdAddRedaction;
    QPushButton* cmdRemoveRedaction;
    QPushButton* cmdApplyRedaction;
    QLabel* lblPrivacyStatus;
};
