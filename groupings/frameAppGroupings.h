// The Application Groupings page: aliases in priority order and the window titles of each.
#pragma once

#include "groupings/GroupingsEditor.h"
#include "groupings/TitleCoverage.h"

#include <functional>
#include <optional>
#include <QDate>

#include <QWidget>

class DialogRunner;
class Feedback;
class ManagerDatabase;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

// Shows a GroupingsEditor: forwards clicks, keys and focus to it and shows its state after
// each one. The rules themselves live in the editor.
class frameAppGroupings : public QWidget {
    Q_OBJECT
public:
    frameAppGroupings(Feedback& feedback, DialogRunner& dialogs, QWidget* parent = nullptr);

    // The manager database the page works on; the page does not own it. The main window sets
    // it once the database is open and then calls LoadGroupings(); set nullptr before the
    // database is released if the page outlives it. Without a database the page stays empty.
    void setDatabase(ManagerDatabase* database);

    // Fills the alias list from the table and selects the first alias.
    void LoadGroupings();
    // Fills the title list for the selected alias.
    void LoadGroupingTitles();
    // Rewrites the alias table from the alias list.
    void SaveGroupingOrder();

    // The operator's actions, as the buttons and the Enter key run them.
    void addAlias();
    void deleteAlias();
    void moveAliasUp();
    void moveAliasDown();
    void addTitle();
    void deleteTitle();
    void addFromCapturedTitles();
    // The click on cmdAddUnmatched: the selected unmatched titles to the selected application.
    void addUnmatchedTitles();

    // The days the unmatched titles are counted over: the report criteria's, or nothing for the
    // last 30 days. Reads the titles again when the days differ from those shown.
    void setTitleRange(std::optional<QDate> from, std::optional<QDate> to);
    // Reads the captured titles and their times again and maps them.
    void refreshCoverage();
    // Maps them again with the groupings as they are now (after an edit).
    void remapCoverage();
    // Runs a load or remap of the coverage; shows its result, or its error.
    void updateCoverage(const std::function<void()>& update);
    const TitleCoverage& coverage() const { return m_coverage; }

signals:
    // The list of applications gained or lost one (the criteria page follows it at once).
    void groupingsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void layOut();
    void connectControls();
    // Brings every control in line with the editor; the widgets' own signals are ignored
    // meanwhile, so showing never counts as an operator action.
    void showEditor();
    void showCoverage();
    void showAddUnmatchedEnabled();
    // Shows only the unmatched titles containing text (any letter case).
    void filterUnmatched(const QString& text);

    QGroupBox* Frame6;
    QListWidget* lstAppGroupings;
    QPushButton* cmdAppUp;
    QPushButton* cmdAppDown;
    QLineEdit* txtAppGroup;
    QPushButton* cmdAppGroupAdd;
    QPushButton* cmdAppGroupDelete;
    QLabel* Label12;
    QGroupBox* Frame7;
    QListWidget* lstAppGroupingsData;
    QLineEdit* txtAppGroupData;
    QPushButton* cmdAppGroupDataAdd;
    QPushButton* cmdAppGroupDataDelete;
    QPushButton* cmdAddFromCaptured;
    QLabel* Label13;
    QLabel* lblAppCoverage;
    QLabel* lblTitlesOf;
    QGroupBox* frameUnmatched;
    QLabel* lblUnmatched;
    QLineEdit* txtUnmatchedFilter;
    QTreeWidget* lstUnmatched;
    QPushButton* cmdAddUnmatched;

    GroupingsEditor m_editor;
    Feedback& m_feedback;
    DialogRunner& m_dialogs;
    bool m_showing = false;
    TitleCoverage m_coverage;
    std::optional<QDate> m_from;
    std::optional<QDate> m_to;
};
