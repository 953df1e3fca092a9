// Headless feedback.
#include "app/HeadlessFeedback.h"

#include <cstdio>

Feedback::Answer HeadlessFeedback::message(const QString& text, const QString& title, Icon, Buttons buttons) {
    ++m_messages;
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    // "No" never deletes or overwrites anything.
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}
