// Privacy page: retention and minimum group, written to the settings with an audit row each.
#include "app/framePrivacy.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/Retention.h"
#include "store/AuditLog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

framePrivacy::framePrivacy(Settings& settings, ManagerDatabase& database, Feedback& feedback, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_database(database), m_feedback(feedback) {
    setObjectName(QStringLiteral("framePrivacy"));
    spnKeepDays = new QSpinBox(this);
    spnKeepDays->setObjectName(QStringLiteral("spnKeepDays"));
    spnKeepDays->setRange(0, Settings::kMaxKeepDays);
    spnKeepDays->setSpecialValueText(QStringLiteral("Keep everything"));
    spnKeepDays->setSuffix(QStringLiteral(" days"));
    spnMinimumGroup = new QSpinBox(this);
    spnMinimumGroup->setObjectName(QStringLiteral("spnMinimumGroup"));
    spnMinimumGroup->setRange(1, Settings::kMaxMinimumGroup);
    spnMinimumGroup->setSuffix(QStringLiteral(" users"));
    cmdSavePrivacy = new QPushButton(QStringLiteral("&Save"), this);
    cmdSavePrivacy->setObjectName(QStringLiteral("cmdSavePrivacy"));
    cmdPurgeNow = new QPushButton(QStringLiteral("&Delete Older Usage Now"), this);
    cmdPurgeNow->setObjectName(QStringLiteral("cmdPurgeNow"));
    lblPrivacyStatus = new QLabel(this);
    lblPrivacyStatus->setObjectName(QStringLiteral("lblPrivacyStatus"));
    lblPrivacyStatus->setTextFormat(Qt::PlainText);
    lblPrivacyStatus->setWordWrap(true);

    auto* group = new QGroupBox(QStringLiteral("Privacy"), this);
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Keep usage for:"), spnKeepDays);
    form->addRow(QStringLiteral("Pseudonymised reports need at least:"), spnMinimumGroup);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSavePrivacy);
    buttons->addWidget(cmdPurgeNow);
    buttons->addStretch();
    auto* info = new QLabel(
        QStringLiteral(
            "Usage older than the days kept is deleted after every download and overwritten in the "
            "database file. Every change here and every deletion is written to the audit log."),
        this);
    info->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->addWidget(lblPrivacyStatus);
    layout->addWidget(info);
    layout->addStretch();

    connect(cmdSavePrivacy, &QPushButton::clicked, this, &framePrivacy::save);
    connect(cmdPurgeNow, &QPushButton::clicked, this, &framePrivacy::purgeNow);
    load();
}

void framePrivacy::load() {
    QStringList problems;
    try {
        spnKeepDays->setValue(m_settings.keepDays());
    } catch (const VcError& error) {
        spnKeepDays->setValue(0);
        problems << error.description();
    }
    try {
        spnMinimumGroup->setValue(m_settings.minimumGroup());
    } catch (const VcError& error) {
        spnMinimumGroup->setValue(Settings::kDefaultMinimumGroup);
        problems << error.description();
    }
    say(problems.join(QLatin1Char('\n')), !problems.isEmpty());
}

void framePrivacy::save() {
    try {
        // Recorded first: a change the log cannot account for is not made.
        AuditLog::record(m_database, QStringLiteral("settings"),
                         QStringLiteral("KeepDays=%1; MinimumGroup=%2")
                             .arg(spnKeepDays->value())
                             .arg(spnMinimumGroup->value()));
        m_settings.storeKeepDays(spnKeepDays->value());
        m_settings.storeMinimumGroup(spnMinimumGroup->value());
        say(QStringLiteral("Saved."), false);
    } catch (const VcError& error) {
        say(error.description(), true);
    }
}

void framePrivacy::purgeNow() {
    try {
        const std::optional<RetentionOutcome> outcome = applyRetention(m_database, m_settings.keepDays());
        say(outcome ? retentionText(*outcome)
                    : QStringLiteral("Usage is kept for ever: set the days to keep and save first."),
            false);
    } catch (const VcError& error) {
        say(QStringLiteral("Nothing was deleted: ") + error.description(), true);
    }
}

void framePrivacy::say(const QString& text, bool problem) {
    lblPrivacyStatus->setText(text);
    if (problem)
        m_feedback.message(text, Captions::titled(QStringLiteral(" Privacy")), Feedback::Icon::Warning,
                           Feedback::Buttons::Ok);
}
