// Line-preserving key=value files for the simulated network folder.
#include "sim/KeyValueFile.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

KeyValueFile KeyValueFile::load(const QString& path) {
    KeyValueFile file;
    QFile in(path);
    if (!in.exists())
        return file;
    if (!in.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString() + ": " + in.errorString().toStdString());
    const QString text = QString::fromUtf8(in.readAll());
    file.m_lines = text.split(QLatin1Char('\n'));
    for (QString& line : file.m_lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // The final newline leaves one empty piece behind.
    if (!file.m_lines.isEmpty() && file.m_lines.last().isEmpty())
        file.m_lines.removeLast();
    return file;
}

QString KeyValueFile::keyOf(const QString& line) {
    if (line.startsWith(QLatin1Char('#')))
        return {};
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : line.left(eq).trimmed();
}

int KeyValueFile::find(const QString& key, Qt::CaseSensitivity cs) const {
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString k = keyOf(m_lines[i]);
        if (!k.isEmpty() && k.compare(key, cs) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<QString> KeyValueFile::value(const QString& key, Qt::CaseSensitivity cs) const {
    const int i = find(key, cs);
    if (i < 0)
        return std::nullopt;
    const QString& line = m_lines[i];
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

void KeyValueFile::setValue(const QString& key, const QString& value, Qt::CaseSensitivity cs) {
    const QString line = key + QLatin1Char('=') + value;
    const int i = find(key, cs);
    if (i < 0)
        m_lines << line;
    else
        m_lines[i] = line;
}

int KeyValueFile::remove(const QString& key, Qt::CaseSensitivity cs) {
    int removed = 0;
    for (int i = find(key, cs); i >= 0; i = find(key, cs)) {
        m_lines.removeAt(i);
        ++removed;
    }
    return removed;
}

void KeyValueFile::save(const QString& path) const {
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 out.errorString().toStdString());
    QByteArray bytes;
    for (const QString& line : m_lines) {
        bytes += line.toUtf8();
        bytes += '\n';
    }
    out.write(bytes);
    if (!out.commit())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 out.errorString().toStdString());
}
