// The console's main window.
#pragma once

#include "shell/AppContext.h"

#include <QMainWindow>

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(const AppContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // The window's start-up, called once right after it is shown.
    void run();

    // Shows the page that the breadcrumb names so (e.g. "Reports"); false when unknown.
    bool showPageByName(const QString& name);

private:
    AppContext m_context;
};
