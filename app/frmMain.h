// The console's main window: pages, menu bar, navigation bar, status bar and start-up.
#pragma once

#include "app/AppContext.h"
#include "report/ReportCriteria.h"

#include <memory>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

class ManagerDatabase;
class Network;
class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTextBrowser;
class QTimer;
class VerticalMenu;
class frameAppGroupings;
class frameCheckWorkstations;
class frameConfiguration;
class frameData;
class frameReports;
class frameSecurity;
class framePrivacy;
class frameAuditLog;
class frameWorkstationHealth;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(const AppContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's start-up, called once right after it is shown.
    void run();

    // Shows the page the breadcrumb names (e.g. "Reports") as the menu bar would; "Charts" is the
    // Reports page with its charts shown. False when there is no such page.
    bool showPageByName(const QString& name);

    // The navigation bar's item click.
    void MenuItemClick(short MenuNumber, short MenuItem);

    // Menu bar commands that do not switch pages.
    void exportData();
    void helpContents();
    // F1: the user guide's page for the page shown (its contents when it has none).
    void helpForCurrentPage();
    void helpAbout();

    // The name of the visible page.
    QString currentPageName() const;
    // Text of the first status panel.
    QString statusText() const;
    void setStatusText(const QString& text);

    ManagerDatabase* database() const { return m_database.get(); }
    Network& network() const { return m_context.network; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // text, and when no network is configured, where the guide says how to configure one.
    QString withNetworkHint(const QString& text) const;
    struct PageEntry;
    struct Page {
        const PageEntry* entry;
        QWidget* frame;
    };
    static const QList<PageEntry>& pageTable();
    const PageEntry* pageEntry(const QString& name) const;
    void buildPages();
    void buildMenus();
    void addPageEntries(QMenu* menu);
    void buildStatusBar();
    void showPage(const QString& name);
    void showFromMenuBar(const QString& name);
    void generateReport();
    // Lets the criteria page follow the database; a failure is told, the page stays as it was.
    void followDatabase(void (frameData::*follow)());
    void applyStoredPosition();
    void storePosition();
    void UpdateSnapshotDate();
    void repaintNow();
    void execDialog(QDialog& dialog);
    QWidget* pageWidget(const QString& name) const;
    void replacePage(const QString& name, QWidget* frame);
    QString htmlPage(const QString& file) const;

    QLabel* lblTitle;
    QStackedWidget* pages;
    VerticalMenu* VerticalMenu1;
    frameConfiguration* pageConfiguration = nullptr;
    frameData* pageData = nullptr; // built once the database is open
    frameReports* pageReports = nullptr;
    frameAppGroupings* pageAppGroupings = nullptr;
    frameSecurity* pageSecurity = nullptr;
    framePrivacy* pagePrivacy = nullptr;   // built once the database is open
    frameAuditLog* pageAuditLog = nullptr; // likewise
    frameCheckWorkstations* pageCheckWorkstations = nullptr;
    frameWorkstationHealth* pageWorkstationHealth = nullptr;
    QWidget* frameWeb = nullptr;
    QTextBrowser* wbWeb = nullptr;
    QLabel* sbPanelStatus;
    QLabel* sbPanelDate;
    QLabel* sbPanelTime;

    AppContext m_context;
    std::unique_ptr<ManagerDatabase> m_database;
    // What the report on the Reports page was made of, for the audit rows of its copies.
    ReportCriteria m_shownCriteria;
    QList<Page> m_pages;
    QTimer* m_clock;
    bool m_closing = false;
};

// Where a window goes so that its title bar (frameTop pixels above its inside) is on one of the
// screens' free areas: where it is when it already is, else in the middle of the first screen.
QRect keptOnScreen(const QRect& window, int frameTop, const QList<QRect>& screens);

// Window positions are kept in twips; the screen works in pixels.
int twipsToPixels(int twips, double dotsPerInch);
int pixelsToTwips(int pixels, double dotsPerInch);
