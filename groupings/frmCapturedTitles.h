// The captured-titles picker: attaches any number of downloaded window titles to one alias.
#pragma once

#include <QDialog>

class Feedback;
class ManagerDatabase;
class QLabel;
class QListWidget;
class QPushButton;

class frmCapturedTitles : public QDialog {
    Q_OBJECT
public:
    // Lists every captured title for the alias (none when the alias is empty, i.e. no alias
    // is selected in the editor). OK writes the picked titles with the alias as their key.
    frmCapturedTitles(ManagerDatabase& database, Feedback& feedback, const QString& alias,
                      QWidget* parent = nullptr);

private:
    void load(bool aliasSelected);
    void writePicked();

    QLabel* Label1;
    QLabel* lblAppGrouping;
    QLabel* Label2;
    QListWidget* lstWindowTitles;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    ManagerDatabase& m_database;
    Feedback& m_feedback;
};
