// A small UTF-8 "key=value" line file (network.ini, services.ini) that keeps every line it does
// not touch, so edits never lose keys that other tools wrote.
#pragma once

#include <optional>
#include <QString>
#include <QStringList>

class KeyValueFile {
public:
    // Reads path; a missing file reads as empty, an unreadable one throws std::runtime_error.
    static KeyValueFile load(const QString& path);

    const QStringList& lines() const { return m_lines; }
    void setLines(QStringList lines) { m_lines = std::move(lines); }

    // The value of the first "key=" line; comment lines never match.
    std::optional<QString> value(const QString& key, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    // Replaces the first "key=" line (keeping its position), else appends one.
    void setValue(const QString& key, const QString& value, Qt::CaseSensitivity cs = Qt::CaseSensitive);
    // Removes every "key=" line; returns how many.
    int remove(const QString& key, Qt::CaseSensitivity cs = Qt::CaseSensitive);

    // Writes the lines, each ending in "\n", through a temporary file renamed into place.
    void save(const QString& path) const;

    static QString keyOf(const QString& line);

private:
    int find(const QString& key, Qt::CaseSensitivity cs) const;
    QStringList m_lines;
};
