// Feedback for tests: records every message, beep and dialog, and answers from queues.
#pragma once

#include "base/Feedback.h"

#include <optional>
#include <QList>
#include <QString>

class ScriptedFeedback : public Feedback {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons) override;
    void beep() override { ++beeps; }
    std::optional<QString> saveFileName(const FileDialog& dialog) override;
    std::optional<QString> openFileName(const FileDialog& dialog) override;
    bool print(QPrinter& printer) override;

    void clear();

    QList<Message> messages;
    int beeps = 0;
    // Answers to Yes/No questions, first first; Yes when the queue is empty.
    QList<Answer> answers;
    // Answers to file dialogs, first first; a cancel (nothing) when the queue is empty.
    QList<std::optional<QString>> fileAnswers;
    QList<FileDialog> fileDialogs;
    // Answers to the print dialog; cancel when empty.
    QList<bool> printAnswers;
    int printDialogs = 0;
};
