// The Audit Log page's rows: the audit log of a day range, one row per action, oldest first.
#pragma once

#include "store/ManagerDatabase.h"

#include <QAbstractTableModel>
#include <QDate>

class AuditLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Sequence, Time, Account, Host, Origin, Action, Details, ColumnCount };

    explicit AuditLogModel(QObject* parent = nullptr);

    // Reads the rows of the days (UTC, both included) and checks the whole chain. Throws VcError
    // when the store cannot be read; the rows shown stay as they were.
    void load(const ManagerDatabase& database, QDate from, QDate to);
    // What the chain check found, for the page's status line.
    QString chainText() const { return m_chainText; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<ManagerDatabase::AuditRow> m_rows;
    QString m_chainText;
};
