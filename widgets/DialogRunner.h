// The one way a form shows a modal dialog, injected so tests can drive or answer it.
#pragma once

class QDialog;

class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    // Shows the dialog modally and returns its result (QDialog::Accepted or Rejected).
    virtual int run(QDialog& dialog) = 0;
};
