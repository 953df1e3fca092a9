// The groupings editor's rules: selection handlers, typing rules, adds, deletes and moves.
#include "groupings/GroupingsEditor.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "base/TextUtils.h"
#include "base/VcError.h"
#include "groupings/GroupingsStore.h"

namespace {
const QString kDesktop = QStringLiteral("Desktop");

QString pageTitle() {
    return Captions::titled(QStringLiteral(" Application Groupings"));
}

// The entry to select after removing entry k, from the count that remains.
int rowAfterRemoval(int k, int remaining) {
    if (k != 0)
        return k == remaining ? k - 1 : k;
    return remaining > 0 ? 0 : -1;
}

int validRow(int row, const QStringList& list) {
    return row >= 0 && row < list.size() ? row : -1;
}
} // namespace

GroupingsEditor::GroupingsEditor(Feedback& feedback) : m_feedback(feedback) {}

void GroupingsEditor::setDatabase(ManagerDatabase* database) {
    m_database = database;
}

QString GroupingsEditor::selectedAlias() const {
    return m_alias < 0 ? QString() : m_aliases.at(m_alias);
}

// ---- loading ----

void GroupingsEditor::LoadGroupings() {
    m_aliases.clear();
    m_titles.clear();
    m_alias = -1;
    m_title = -1;
    if (m_database) {
        try {
            m_aliases = GroupingsStore(*m_database).aliases();
        } catch (const VcError& error) {
            m_feedback.message(error.description(), pageTitle(), Feedback::Icon::Critical);
        }
    }
    if (!m_aliases.isEmpty())
        selectAlias(0);
    else
        aliasSelected();
}

void GroupingsEditor::LoadGroupingTitles() {
    // Emptying the list runs no handler: the title Delete button keeps its state.
    m_titles.clear();
    m_title = -1;
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !m_database)
        return;
    try {
        m_titles = GroupingsStore(*m_database).titlesOf(alias);
    } catch (const VcError& error) {
        m_feedback.message(error.description(), pageTitle(), Feedback::Icon::Critical);
    }
}

void GroupingsEditor::SaveGroupingOrder() {
    writeOrder();
}

bool GroupingsEditor::writeOrder() {
    if (!m_database)
        return false;
    try {
        GroupingsStore(*m_database).saveOrder(m_aliases);
    } catch (const VcError& error) {
        reportFailure(error, selectedAlias());
        return false;
    }
    return true;
}

void GroupingsEditor::reportFailure(const VcError& error, const QString& keepAlias) {
    m_feedback.message(
        QStringLiteral("The change could not be saved, and the lists have been reloaded from the "
                       "database.\n\nError #%1: %2")
            .arg(error.number())
            .arg(error.description()),
        pageTitle(), Feedback::Icon::Critical);
    LoadGroupings();
    const qsizetype found = keepAlias.isEmpty() ? -1 : m_aliases.indexOf(keepAlias);
    if (found >= 0)
        selectAlias(static_cast<int>(found));
}

// ---- selection and typing ----

void GroupingsEditor::selectAlias(int row) {
    m_alias = validRow(row, m_aliases);
    aliasSelected();
}

void GroupingsEditor::selectTitle(int row) {
    m_title = validRow(row, m_titles);
    titleSelected();
}

void GroupingsEditor::aliasSelected() {
    LoadGroupingTitles();
    if (m_alias < 0) {
        m_enabled.down = false;
        m_enabled.up = false;
        m_enabled.fromCaptured = false;
        m_enabled.aliasDelete = false;
        setTitleText(QString());
        m_enabled.titleBox = false;
        return;
    }
    m_enabled.up = m_alias != 0;
    m_enabled.down = m_alias != m_aliases.size() - 1;
    if (selectedAlias() == kDesktop) {
        m_enabled.aliasDelete = false;
        m_enabled.titleDelete = false;
    } else {
        m_enabled.aliasDelete = true;
    }
    m_enabled.titleBox = true;
    m_enabled.fromCaptured = true;
}

void GroupingsEditor::titleSelected() {
    if (m_title < 0)
        m_enabled.titleDelete = false;
    else if (m_enabled.aliasDelete)
        m_enabled.titleDelete = true;
}

void GroupingsEditor::setAliasText(const QString& text) {
    m_aliasText = text;
    const QString a = text.trimmed();
    // Titles attach to groupings ignoring letter case, so "Word" and "WORD" would be one
    // application in the report: such an alias is a duplicate.
    m_enabled.aliasAdd = !a.isEmpty() && !m_aliases.contains(a, Qt::CaseInsensitive);
}

void GroupingsEditor::setTitleText(const QString& text) {
    m_titleText = text;
    const QString t = text.trimmed();
    m_enabled.titleAdd = !t.isEmpty() && !m_titles.contains(t) && m_alias >= 0;
}

void GroupingsEditor::aliasBoxFocused() {
    setTitleText(QString());
}

void GroupingsEditor::titleBoxFocused() {
    setAliasText(QString());
}

bool GroupingsEditor::enterInAliasBox() {
    if (!m_enabled.aliasAdd)
        return false;
    addAlias();
    return true;
}

bool GroupingsEditor::enterInTitleBox() {
    if (!m_enabled.titleAdd)
        return false;
    addTitle();
    return true;
}

// ---- actions ----

bool GroupingsEditor::addAlias() {
    const QString a = m_aliasText.trimmed();
    if (a.isEmpty() || m_aliases.contains(a, Qt::CaseInsensitive) || !m_database) {
        m_feedback.beep();
        return false;
    }
    try {
        GroupingsStore(*m_database).addAlias(a, static_cast<int>(m_aliases.size()));
    } catch (const VcError& error) {
        reportFailure(error, selectedAlias());
        return false;
    }
    m_aliases.append(a);
    m_enabled.aliasAdd = false;
    if (m_aliases.size() == 1)
        selectAlias(0);
    setAliasText(QString());
    aliasSelected();
    return true;
}

void GroupingsEditor::deleteAlias() {
    const int k = m_alias;
    const QString alias = selectedAlias();
    if (k < 0 || !m_database || alias == kDesktop)
        return;
    const Feedback::Answer answer =
        m_feedback.message(QStringLiteral("Remove application \"") + alias +
                               QStringLiteral("\" from list of monitored applications?"),
                           pageTitle(), Feedback::Icon::Question, Feedback::Buttons::YesNo);
    if (answer != Feedback::Answer::Yes)
        return;
    m_aliases.removeAt(k);
    m_alias = -1;
    const int next = rowAfterRemoval(k, static_cast<int>(m_aliases.size()));
    try {
        GroupingsStore(*m_database).deleteAlias(alias, m_aliases);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return;
    }
    selectAlias(next);
}

void GroupingsEditor::moveAlias(int from, int to) {
    if (from < 0 || to < 0 || to >= m_aliases.size())
        return;
    m_aliases.swapItemsAt(from, to);
    selectAlias(to);
    writeOrder();
}

void GroupingsEditor::moveAliasUp() {
    moveAlias(m_alias, m_alias - 1);
}

void GroupingsEditor::moveAliasDown() {
    moveAlias(m_alias, m_alias + 1);
}

bool GroupingsEditor::addTitle() {
    const QString t = BlankQuotes(m_titleText).trimmed();
    const QString alias = selectedAlias();
    if (t.isEmpty() || m_titles.contains(t) || alias.isEmpty() || !m_database) {
        m_feedback.beep();
        return false;
    }
    try {
        GroupingsStore(*m_database).addTitle(alias, t);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return false;
    }
    m_titles.append(t);
    m_enabled.titleAdd = false;
    setTitleText(QString());
    titleSelected();
    return true;
}

void GroupingsEditor::deleteTitle() {
    const int k = m_title;
    const QString alias = selectedAlias();
    if (k < 0 || alias.isEmpty() || alias == kDesktop || !m_database)
        return;
    const QString t = m_titles.takeAt(k);
    m_title = -1;
    selectTitle(rowAfterRemoval(k, static_cast<int>(m_titles.size())));
    bool found = false;
    try {
        found = GroupingsStore(*m_database).deleteTitle(alias, t);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return;
    }
    if (!found)
        m_feedback.message(QStringLiteral("Could not find matching record in database for deletion"),
                           Captions::titled(QStringLiteral(" Error")), Feedback::Icon::Warning);
    titleSelected();
}

void GroupingsEditor::pickerClosed() {
    if (m_alias >= 0)
        aliasSelected();
}

bool GroupingsEditor::addCapturedTitles(const QStringList& titles) {
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !m_database || titles.isEmpty())
        return false;
    // "Desktop" is often still selected after another application was added, and what it
    // holds cannot be taken back: the operator says yes first.
    if (alias == kDesktop &&
        m_feedback.message(
            QStringLiteral("Add %1 to \"%2\"? Window titles of \"%2\" cannot be removed again.")
                .arg(titles.size() == 1 ? QStringLiteral("the selected title")
                                        : QStringLiteral("the %1 selected titles").arg(titles.size()),
                     alias),
            pageTitle(), Feedback::Icon::Question, Feedback::Buttons::YesNo) != Feedback::Answer::Yes)
        return false;
    QStringList stored;
    for (const QString& title : titles)
        stored.append(BlankQuotes(title));
    try {
        GroupingsStore(*m_database).addTitles(alias, stored);
    } catch (const VcError& error) {
        reportFailure(error, alias);
        return false;
    }
    aliasSelected();
    return true;
}

QString GroupingsEditor::addUnmatchedCaption() const {
    const QString alias = selectedAlias();
    return alias.isEmpty() ? QStringLiteral("Add to Application")
                           : QStringLiteral("Add to \"%1\"").arg(alias);
}

QString GroupingsEditor::titlesCaption() const {
    const QString alias = selectedAlias();
    return alias.isEmpty() ? QStringLiteral("No application selected")
                           : QStringLiteral("Window titles of \"%1\"").arg(alias);
}
