// Modal dialogs on the desktop: the dialog's own event loop.
#pragma once

#include "widgets/DialogRunner.h"

class DesktopDialogRunner : public DialogRunner {
public:
    int run(QDialog& dialog) override;
};
