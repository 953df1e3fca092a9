// Reads a machine list file in the encodings Windows and Linux editors write.
#include "network/MachineList.h"

#include "network/ProtectedFile.h"

#include <QStringDecoder>

namespace MachineList {

Contents parse(const QByteArray& bytes) {
    QString text;
    if (bytes.startsWith("\xFF\xFE"))
        text = QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    else if (bytes.startsWith("\xFE\xFF"))
        text = QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    else
        text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    QStringList raw;
    for (QString line : text.split(QLatin1Char('\n'))) {
        const qsizetype hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (!line.isEmpty())
            raw << line;
    }
    Contents contents;
    contents.names = MachineName::usable(raw, &contents.skipped);
    return contents;
}

Contents read(const QString& path) {
    return parse(ProtectedFile::read(path, QStringLiteral("Machine list"), ProtectedFile::Access::OwnerOnly,
                                     16 * 1024 * 1024));
}

} // namespace MachineList
