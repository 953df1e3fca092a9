// The navigation bar design tool's window: the live control beside its three property pages.
#pragma once

#include <QMainWindow>

class Feedback;
class MenuItemObjects;
class MenuObjects;
class Menues;
class QLabel;
class QPushButton;
class QTabWidget;
class VerticalMenu;

class DesignerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DesignerWindow(Feedback& feedback, QWidget* parent = nullptr);

    VerticalMenu* control() const { return m_control; }
    bool openFile(const QString& path);
    bool saveFile(const QString& path);
    void openMainWindowBar();
    // Applies every page with pending edits, in page order, then refills all pages.
    void apply();
    // Edits not yet applied on a page, or a design that differs from the file last opened or
    // saved (which menu is open does not count).
    bool hasUnsavedChanges() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // True when nothing would be lost, or the operator agrees to lose it.
    bool confirmDiscard();
    QByteArray design() const;
    void markSaved();
    void chooseAndOpen();
    void chooseAndSave();
    void refreshPages();
    void updateTitle();

    Feedback& m_feedback;
    VerticalMenu* m_control = nullptr;
    QTabWidget* m_tabs = nullptr;
    Menues* m_menues = nullptr;
    MenuObjects* m_menuObjects = nullptr;
    MenuItemObjects* m_menuItemObjects = nullptr;
    QPushButton* m_apply = nullptr;
    QLabel* m_lastClick = nullptr;
    QString m_path;
    QByteArray m_savedDesign;
    bool m_applying = false;
};
