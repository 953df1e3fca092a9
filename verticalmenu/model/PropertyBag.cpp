// Property bag storage and its JSON file form.
#include "verticalmenu/model/PropertyBag.h"

#include <cmath>
#include <limits>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const QString kFormat = QStringLiteral("Vellumcrest VerticalMenu properties");
const QString kPngKey = QStringLiteral("png");

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::QByteArray || b.typeId() == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    return a == b;
}
} // namespace

qsizetype PropertyBag::find(const QString& name) const {
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void PropertyBag::write(const QString& name, const QVariant& value, const QVariant& defaultValue) {
    if (sameValue(value, defaultValue))
        return;
    const qsizetype at = find(name);
    if (at >= 0)
        m_entries[at].value = value;
    else
        m_entries.append({name, value});
}

bool PropertyBag::contains(const QString& name) const {
    return find(name) >= 0;
}

QVariant PropertyBag::read(const QString& name, const QVariant& defaultValue) const {
    const qsizetype at = find(name);
    if (at < 0)
        return defaultValue;
    const QVariant& stored = m_entries[at].value;
    switch (defaultValue.typeId()) {
    case QMetaType::Bool:
        if (stored.typeId() == QMetaType::Bool)
            return stored;
        if (stored.typeId() == QMetaType::Int || stored.typeId() == QMetaType::Double)
            return stored.toDouble() != 0.0;
        return defaultValue;
    case QMetaType::Int: {
        bool ok = false;
        const double number = stored.toDouble(&ok);
        if (!ok || stored.typeId() == QMetaType::QByteArray || !std::isfinite(number) ||
            number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
            return defaultValue;
        return static_cast<int>(std::nearbyint(number));
    }
    case QMetaType::QString:
        if (stored.typeId() == QMetaType::QByteArray)
            return defaultValue;
        return stored.toString();
    case QMetaType::QByteArray:
        if (stored.typeId() != QMetaType::QByteArray)
            return defaultValue;
        return stored;
    default:
        return stored;
    }
}

QByteArray PropertyBag::toJson() const {
    QJsonArray properties;
    for (const Entry& entry : m_entries) {
        QJsonValue value;
        switch (entry.value.typeId()) {
        case QMetaType::Bool:
            value = entry.value.toBool();
            break;
        case QMetaType::Int:
            value = entry.value.toInt();
            break;
        case QMetaType::QByteArray:
            value = QJsonObject{{kPngKey, QString::fromLatin1(entry.value.toByteArray().toBase64())}};
            break;
        default:
            value = entry.value.toString();
            break;
        }
        properties.append(QJsonArray{entry.name, value});
    }
    QJsonObject root{{QStringLiteral("format"), kFormat}, {QStringLiteral("properties"), properties}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool PropertyBag::fromJson(const QByteArray& json, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull())
        return fail(parseError.errorString());
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat)
        return fail(QStringLiteral("not a VerticalMenu property file"));
    QList<Entry> entries;
    for (const QJsonValue& item : root.value(QStringLiteral("properties")).toArray()) {
        const QJsonArray pair = item.toArray();
        if (pair.size() != 2 || !pair[0].isString())
            return fail(QStringLiteral("a property is not a [name, value] pair"));
        const QJsonValue value = pair[1];
        Entry entry{pair[0].toString(), {}};
        if (value.isBool()) {
            entry.value = value.toBool();
        } else if (value.isDouble()) {
            const double number = value.toDouble();
            if (number == std::floor(number) && number >= std::numeric_limits<int>::min() &&
                number <= std::numeric_limits<int>::max())
                entry.value = static_cast<int>(number);
            else
                entry.value = number;
        } else if (value.isString()) {
            entry.value = value.toString();
        } else if (value.isObject() && value.toObject().value(kPngKey).isString()) {
            entry.value = QByteArray::fromBase64(value.toObject().value(kPngKey).toString().toLatin1());
        } else {
            return fail(QStringLiteral("property %1 has a value of an unknown kind").arg(entry.name));
        }
        entries.append(entry);
    }
    m_entries = entries;
    return true;
}

bool PropertyBag::saveFile(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool PropertyBag::loadFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return fromJson(file.readAll(), error);
}
