// Audit Log page: a date filter over the log's rows and the chain's state.
#include "app/frameAuditLog.h"

#include "app/AuditLogModel.h"
#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/VcError.h"

#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

frameAuditLog::frameAuditLog(ManagerDatabase& database, Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_database(database), m_feedback(feedback), m_model(new AuditLogModel(this)) {
    setObjectName(QStringLiteral("frameAuditLog"));
    const QDate today = QDateTime::currentDateTimeUtc().date();
    dtpAuditFrom = new QDateEdit(today.addDays(-30), this);
    dtpAuditFrom->setObjectName(QStringLiteral("dtpAuditFrom"));
    dtpAuditFrom->setCalendarPopup(true);
    dtpAuditTo = new QDateEdit(today, this);
    dtpAuditTo->setObjectName(QStringLiteral("dtpAuditTo"));
    dtpAuditTo->setCalendarPopup(true);
    cmdShowAudit = new QPushButton(QStringLiteral("&Show"), this);
    cmdShowAudit->setObjectName(QStringLiteral("cmdShowAudit"));
    tvAuditLog = new QTableView(this);
    tvAuditLog->setObjectName(QStringLiteral("tvAuditLog"));
    tvAuditLog->setModel(m_model);
    tvAuditLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvAuditLog->verticalHeader()->hide();
    tvAuditLog->horizontalHeader()->setStretchLastSection(true);
    lblAuditChain = new QLabel(this);
    lblAuditChain->setObjectName(QStringLiteral("lblAuditChain"));
    lblAuditChain->setTextFormat(Qt::PlainText);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("From (UTC):"), this));
    filter->addWidget(dtpAuditFrom);
    filter->addWidget(new QLabel(QStringLiteral("To:"), this));
    filter->addWidget(dtpAuditTo);
    filter->addWidget(cmdShowAudit);
    filter->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(tvAuditLog);
    layout->addWidget(lblAuditChain);

    connect(cmdShowAudit, &QPushButton::clicked, this, &frameAuditLog::refresh);
}

void frameAuditLog::refresh() {
    try {
        m_model->load(m_database, dtpAuditFrom->date(), dtpAuditTo->date());
        lblAuditChain->setText(m_model->chainText());
    } catch (const VcError& error) {
        m_feedback.message(error.description(), Captions::titled(QStringLiteral(" Audit Log")),
                           Feedback::Icon::Critical, Feedback::Buttons::Ok);
    }
}
