// Modal dialogs on the desktop.
#include "widgets/DesktopDialogRunner.h"

#include <QDialog>

int DesktopDialogRunner::run(QDialog& dialog) {
    return dialog.exec();
}
