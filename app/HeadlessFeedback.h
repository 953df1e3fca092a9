// Feedback for runs nobody watches (--screenshot): messages go to standard error and every
// question gets its cautious answer, so such a run can never wait for a click.
#pragma once

#include "base/Feedback.h"

class HeadlessFeedback : public Feedback {
public:
    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override {}
    std::optional<QString> saveFileName(const FileDialog&) override { return std::nullopt; }
    std::optional<QString> openFileName(const FileDialog&) override { return std::nullopt; }
    bool print(QPrinter&) override { return false; }

    int messages() const { return m_messages; }

private:
    int m_messages = 0;
};
