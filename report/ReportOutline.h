// A report file read back into what it shows, so that a view can lay it out without its HTML.
#pragma once

#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct ReportOutline {
    struct Application {
        QString name;
        QString time;    // "1:45"
        QString percent; // "(86%)"
    };
    struct Day {
        QString date; // as the file shows it
        QList<Application> applications;
        QString total;
    };

    QString title;
    QList<Day> days;
    QString grandTotal;
    QStringList users;
    QStringList workstations;

    // The outline of a file exactly as the report writer writes it; nothing for any other
    // bytes (a fixed page, a file edited or cut short), which are then shown as HTML.
    static std::optional<ReportOutline> parse(const QByteArray& fileBytes);
};
