// Main window.
#include "shell/frmMain.h"

#include "shell/Captions.h"

frmMain::frmMain(const AppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Captions::titled(QStringLiteral(" Manager")));
    resize(800, 600);
}

frmMain::~frmMain() = default;

void frmMain::run() { setWindowTitle(Captions::titled(QStringLiteral(" Manager"))); }

bool frmMain::showPageByName(const QString&) { return false; }
