// The Application Groupings page: aliases in priority order and the window titles of each.
#pragma once

#include <functional>
#include <QWidget>

class Feedback;
class ManagerDatabase;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class VcError;

class frameAppGroupings : public QWidget {
    Q_OBJECT
public:
    explicit frameAppGroupings(Feedback& feedback, QWidget* parent = nullptr);

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

    // Opens the captured-titles picker for an alias and returns when it has closed. The
    // default shows frmCapturedTitles modally; tests replace it.
    using PickerOpener = std::function<void(const QString& alias)>;
    void setPickerOpener(PickerOpener opener);

    // The operator's actions, as the buttons and the Enter key run them.
    void addAlias();
    void deleteAlias();
    void moveAliasUp();
    void moveAliasDown();
    void addTitle();
    void deleteTitle();
    void addFromCapturedTitles();

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int selectedAliasIndex() const;
    QString selectedAlias() const;
    int selectedTitleIndex() const;

    // Program-made selections run the same handler as a click; list edits run none.
    void selectAlias(int row);
    void selectTitle(int row);
    void aliasSelected();
    void titleSelected();
    void aliasTextChanged();
    void titleTextChanged();
    void moveAlias(int from, int to);

    // Shows the failure and reloads both lists from the tables, keeping the alias if it is
    // still there, so that the page never shows an order the table does not hold.
    void reportFailure(const VcError& error, const QString& keepAlias);
    bool writeOrder();
    void showDefaultPicker(const QString& alias);

    Feedback& m_feedback;
    ManagerDatabase* m_database = nullptr;
    PickerOpener m_openPicker;
    int m_listEdits = 0;
};
