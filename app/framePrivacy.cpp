// Privacy page: retention and minimum group, written to the settings with an audit row each; the
// redaction rules kept in the database.
#include "app/framePrivacy.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/Settings.h"
#include "base/VcError.h"
#include "collect/RedactionStore.h"
#include "collect/Retention.h"
#include "store/AuditLog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
    lstRedactionRules = new QListWidget(this);
    lstRedactionRules->setObjectName(QStringLiteral("lstRedactionRules"));
    txtRedactionPattern = new QLineEdit(this);
    txtRedactionPattern->setObjectName(QStringLiteral("txtRedactionPattern"));
    txtRedactionPattern->setPlaceholderText(QStringLiteral("*Inbox*"));
    txtRedactionReplacement = new QLineEdit(this);
    txtRedactionReplacement->setObjectName(QStringLiteral("txtRedactionReplacement"));
    txtRedactionReplacement->setPlaceholderText(RedactionRules::defaultReplacement());
    cmdAddRedaction = new QPushButton(QStringLiteral("&Add Rule"), this);
    cmdAddRedaction->setObjectName(QStringLiteral("cmdAddRedaction"));
    cmdRemoveRedaction = new QPushButton(QStringLiteral("&Remove Rule"), this);
    cmdRemoveRedaction->setObjectName(QStringLiteral("cmdRemoveRedaction"));
    cmdApplyRedaction = new QPushButton(QStringLiteral("Apply to Stored &Data"), this);
    cmdApplyRedaction->setObjectName(QStringLiteral("cmdApplyRedaction"));
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
            "database file. A title matching a redaction rule (* any run, ? one character, letter case "
            "ignored; the first matching rule wins) is stored as its replacement when it is imported; "
            "Apply to Stored Data rewrites the titles already held. Every change here, every deletion "
            "and every rewrite is written to the audit log."),
        this);
    info->setWordWrap(true);
    auto* redaction = new QGroupBox(QStringLiteral("Title redaction"), this);
    auto* rules = new QVBoxLayout(redaction);
    rules->addWidget(lstRedactionRules);
    auto* rule = new QFormLayout;
    rule->addRow(QStringLiteral("Pattern:"), txtRedactionPattern);
    rule->addRow(QStringLiteral("Replacement:"), txtRedactionReplacement);
    rules->addLayout(rule);
    auto* ruleButtons = new QHBoxLayout;
    ruleButtons->addWidget(cmdAddRedaction);
    ruleButtons->addWidget(cmdRemoveRedaction);
    ruleButtons->addWidget(cmdApplyRedaction);
    ruleButtons->addStretch();
    rules->addLayout(ruleButtons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->addWidget(redaction);
    layout->addWidget(lblPrivacyStatus);
    layout->addWidget(info);
    layout->addStretch();

    connect(cmdSavePrivacy, &QPushButton::clicked, this, &framePrivacy::save);
    connect(cmdPurgeNow, &QPushButton::clicked, this, &framePrivacy::purgeNow);
    connect(cmdAddRedaction, &QPushButton::clicked, this, &framePrivacy::addRule);
    connect(cmdRemoveRedaction, &QPushButton::clicked, this, &framePrivacy::removeRule);
    connect(cmdApplyRedaction, &QPushButton::clicked, this, &framePrivacy::applyRules);
    load();
}

void framePrivacy::load() {
    showRules();
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

void framePrivacy::showRules() {
    lstRedactionRules->clear();
    try {
        for (const RedactionRules::Rule& rule : RedactionStore(m_database).rules())
            lstRedactionRules->addItem(rule.pattern + QStringLiteral("  \u2192  ") + rule.replacement);
    } catch (const VcError& error) {
        say(error.description(), true);
    }
}

void framePrivacy::addRule() {
    try {
        // Placed before the selected rule, else last.
        const int row = lstRedactionRules->currentRow();
        RedactionStore(m_database)
            .add({txtRedactionPattern->text(), txtRedactionReplacement->text()}, row < 0 ? 0 : row + 1);
        txtRedactionPattern->clear();
        txtRedactionReplacement->clear();
        say(QStringLiteral("Rule added; titles imported from now on follow it."), false);
    } catch (const VcError& error) {
        say(error.description(), true);
    }
    showRules();
}

void framePrivacy::removeRule() {
    const int row = lstRedactionRules->currentRow();
    if (row < 0) {
        say(QStringLiteral("Select the rule to remove."), true);
        return;
    }
    try {
        RedactionStore store(m_database);
        const QList<RedactionRules::Rule> rules = store.rules();
        if (row >= rules.size()) {
            say(QStringLiteral("The rules changed meanwhile; nothing was removed. Select the rule again."),
                true);
        } else {
            store.remove(rules.at(row).pattern);
            say(QStringLiteral("Rule removed. Titles it replaced stay replaced."), false);
        }
    } catch (const VcError& error) {
        say(error.description(), true);
    }
    showRules();
}

void framePrivacy::applyRules() {
    try {
        // A download or a collect writing now would import titles the rewrite has not seen.
        const auto turn = m_database.takeWritersTurn([] { return false; });
        if (!turn) {
            say(QStringLiteral("Another program is writing to the database; nothing was rewritten. Try again "
                               "when it has finished."),
                true);
            return;
        }
        say(RedactionStore::rewriteText(RedactionStore(m_database).apply()), false);
    } catch (const VcError& error) {
        say(QStringLiteral("Nothing was rewritten: ") + error.description(), true);
    }
}

void framePrivacy::say(const QString& text, bool problem) {
    lblPrivacyStatus->setText(text);
    if (problem)
        m_feedback.message(text, Captions::titled(QStringLiteral(" Privacy")), Feedback::Icon::Warning,
                           Feedback::Buttons::Ok);
}
