// The Privacy page: how long usage is kept, the purge on demand, and the smallest group a
// pseudonymised report may show.
#pragma once

#include <QWidget>

class Feedback;
class ManagerDatabase;
class QLabel;
class QPushButton;
class QSpinBox;
class Settings;

class framePrivacy : public QWidget {
    Q_OBJECT
public:
    framePrivacy(Settings& settings, ManagerDatabase& database, Feedback& feedback,
                 QWidget* parent = nullptr);

    // Shows the stored values; a damaged one is named and the box shows its default.
    void load();

private:
    void save();
    void purgeNow();
    void say(const QString& text, bool problem);

    Settings& m_settings;
    ManagerDatabase& m_database;
    Feedback& m_feedback;
    QSpinBox* spnKeepDays;
    QSpinBox* spnMinimumGroup;
    QPushButton* cmdSavePrivacy;
    QPushButton* cmdPurgeNow;
    QLabel* lblPrivacyStatus;
};
