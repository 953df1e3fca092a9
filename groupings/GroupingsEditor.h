// The groupings editor's rules without widgets: the two lists, their selections, the two boxes
// and which controls are enabled, kept in step with the tables.
#pragma once

#include <QString>
#include <QStringList>

class Feedback;
class ManagerDatabase;
class VcError;

// Every operator action of the groupings page, in the order and with the refusals the page
// promises. The page forwards clicks, keys and focus here and shows the state afterwards.
class GroupingsEditor {
public:
    // Enabled controls. Each flag is set only by the handler that owns it (selection handlers,
    // the typing rules, the adds), never derived afresh from the lists: the page's buttons
    // keep the state those handlers last gave them.
    struct Enabled {
        bool up = false;
        bool down = false;
        bool aliasAdd = false;
        bool aliasDelete = false;
        bool titleBox = false;
        bool titleAdd = false;
        bool titleDelete = false;
        bool fromCaptured = false;
        bool operator==(const Enabled&) const = default;
    };

    explicit GroupingsEditor(Feedback& feedback);

    // The database the editor works on; not owned. Without one every list stays empty.
    void setDatabase(ManagerDatabase* database);
    ManagerDatabase* database() const { return m_database; }

    // Fills the alias list from the table and selects the first alias.
    void LoadGroupings();
    // Fills the title list for the selected alias.
    void LoadGroupingTitles();
    // Rewrites the alias table from the alias list.
    void SaveGroupingOrder();

    // A selection made by a click or by the program; -1 selects nothing.
    void selectAlias(int row);
    void selectTitle(int row);
    // The boxes' text changed: runs the matching Add button's rule.
    void setAliasText(const QString& text);
    void setTitleText(const QString& text);
    // A box received the focus: the other box is emptied.
    void aliasBoxFocused();
    void titleBoxFocused();
    // Enter in a box adds when its Add button is enabled; true when the key was used.
    bool enterInAliasBox();
    bool enterInTitleBox();

    // True when the entry was added (the focus then goes back to its box).
    bool addAlias();
    void deleteAlias();
    void moveAliasUp();
    void moveAliasDown();
    bool addTitle();
    void deleteTitle();
    // The captured-titles picker for the selected alias has closed: shows what it added.
    void pickerClosed();
    // Attaches captured titles (quotes blanked, as the picker stores them) to the selected
    // alias as one unit, through the picker's store call; true when they were written. Titles
    // for "Desktop", whose titles cannot be removed, are written only after the operator said yes.
    bool addCapturedTitles(const QStringList& titles);

    const QStringList& aliases() const { return m_aliases; }
    const QStringList& titles() const { return m_titles; }
    int selectedAliasRow() const { return m_alias; }
    int selectedTitleRow() const { return m_title; }
    QString selectedAlias() const;
    // The unmatched titles' button, naming where they go: Add to "Mail".
    QString addUnmatchedCaption() const;
    // The label beside the title list: which application the titles belong to.
    QString titlesCaption() const;
    const QString& aliasText() const { return m_aliasText; }
    const QString& titleText() const { return m_titleText; }
    const Enabled& enabled() const { return m_enabled; }

private:
    void aliasSelected();
    void titleSelected();
    void moveAlias(int from, int to);
    bool writeOrder();
    // Shows the failure and reloads both lists from the tables, keeping the alias if it is
    // still there, so that the lists never show an order the table does not hold.
    void reportFailure(const VcError& error, const QString& keepAlias);

    Feedback& m_feedback;
    ManagerDatabase* m_database = nullptr;
    QStringList m_aliases;
    QStringList m_titles;
    int m_alias = -1;
    int m_title = -1;
    QString m_aliasText;
    QString m_titleText;
    Enabled m_enabled;
};
