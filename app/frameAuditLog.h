// The Audit Log page: who did what, from where, over the chosen days, and whether the chain holds.
#pragma once

#include <QWidget>

class AuditLogModel;
class Feedback;
class ManagerDatabase;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

class frameAuditLog : public QWidget {
    Q_OBJECT
public:
    frameAuditLog(ManagerDatabase& database, Feedback& feedback, QWidget* parent = nullptr);

    // Reads the log again for the days in the boxes.
    void refresh();

private:
    ManagerDatabase& m_database;
    Feedback& m_feedback;
    AuditLogModel* m_model;
    QDateEdit* dtpAuditFrom;
    QDateEdit* dtpAuditTo;
    QPushButton* cmdShowAudit;
    QTableView* tvAuditLog;
    QLabel* lblAuditChain;
};
