// Scripted feedback.
#include "support/ScriptedFeedback.h"

Feedback::Answer ScriptedFeedback::message(const QString& text, const QString& title, Icon icon,
                                           Buttons buttons) {
    messages.append({text, title, icon, buttons});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answers.isEmpty() ? Answer::Yes : answers.takeFirst();
}

std::optional<QString> ScriptedFeedback::saveFileName(const FileDialog& dialog) {
    fileDialogs.append(dialog);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}

std::optional<QString> ScriptedFeedback::openFileName(const FileDialog& dialog) {
    fileDialogs.append(dialog);
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.takeFirst();
}

bool ScriptedFeedback::print(QPrinter&) {
    ++printDialogs;
    return printAnswers.isEmpty() ? false : printAnswers.takeFirst();
}

void ScriptedFeedback::clear() {
    messages.clear();
    beeps = 0;
    answers.clear();
    fileAnswers.clear();
    fileDialogs.clear();
    printAnswers.clear();
    printDialogs = 0;
}
