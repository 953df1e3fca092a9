// Named values saved with a window design: defaults are not stored, names ignore letter case.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// Values are bool, int, QString, or QByteArray (a picture as PNG bytes). The order in which
// values are first written is kept, so a saved file reads in the order it was written.
class PropertyBag {
public:
    struct Entry {
        QString name;
        QVariant value;
    };

    // Stores the value unless it equals the default; a name written before keeps its place.
    void write(const QString& name, const QVariant& value, const QVariant& defaultValue);
    // The stored value converted to the default's type, or the default when absent or unusable.
    QVariant read(const QString& name, const QVariant& defaultValue) const;
    bool contains(const QString& name) const;

    const QList<Entry>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    void clear() { m_entries.clear(); }

    // A readable JSON text: one [name, value] pair per entry; pictures as {"png": base64}.
    QByteArray toJson() const;
    // Replaces the content; false (and the content unchanged) when the text is not a bag.
    bool fromJson(const QByteArray& json, QString* error = nullptr);

    // File forms of the two above; saving goes through a temporary file renamed into place.
    bool saveFile(const QString& path, QString* error = nullptr) const;
    bool loadFile(const QString& path, QString* error = nullptr);

private:
    qsizetype find(const QString& name) const;
    QList<Entry> m_entries;
};
