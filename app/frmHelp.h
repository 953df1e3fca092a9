// The help window that shows the user guide, and the link handling shared by the console's
// embedded browsers.
#pragma once

#include "app/SystemInfo.h"

#include <functional>
#include <QUrl>
#include <QWidget>

class Feedback;
class QPushButton;
class QTextBrowser;

// Links the operator follows in an embedded browser: web and mail addresses go to the desktop's
// own programs, local links are followed inside the browser (with its history).
bool isExternalLink(const QUrl& url);
using ExternalOpener = std::function<bool(const QUrl&)>;
// openExternal defaults to QDesktopServices::openUrl.
void configureExternalLinks(QTextBrowser* browser, ExternalOpener openExternal = {});

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // Shows the window at a page of the guide; "Contents" returns to that page's folder's
    // index.html. Returns an empty text, or the description of why the page cannot be shown.
    QString openAt(const QString& file);

private:
    QTextBrowser* brwHelp;
    QPushButton* cmdBack;
    QPushButton* cmdForward;
    QPushButton* cmdHome;
    QPushButton* cmdContents;

    QUrl m_contents;
};

// The "&Contents..." command of a window: one help window per owner, reused while open; with a
// page, that page of the guide (F1).
HelpOutcome showHelpContentsWindow(QWidget* owner, const QString& programFolder, Feedback& feedback,
                                   const QString& page = QString());
