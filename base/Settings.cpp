// Settings store over QSettings, with the console's keys, stored forms and defaults.
#include "base/Settings.h"

#include "base/Captions.h"
#include "base/TextUtils.h"
#include "base/VcError.h"

#include <cmath>
#include <limits>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const QString kSettings = QStringLiteral("Settings");
const QString kSecurity = QStringLiteral("Security");
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

Settings::Settings(const QString& filePath) : m_path(filePath) {
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
}

Settings::~Settings() = default;

QString Settings::defaultPath() {
    QSettings probe(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vellumcrest"),
                    QStringLiteral("Vellumcrest"));
    return probe.fileName();
}

QString Settings::value(const QString& section, const QString& key, const QString& defaultValue) const {
    return m_settings->value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void Settings::setValue(const QString& section, const QString& key, const QString& value) {
    // Create the file owner-only before anything is written into it.
    if (!QFileInfo::exists(m_path)) {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.setPermissions(kOwnerOnly);
    }
    m_settings->setValue(section + QLatin1Char('/') + key, value);
    m_settings->sync();
    // QSettings keeps the value in memory whatever happens to the file: without this check an
    // operator would see a setting take effect that the next start does not know.
    switch (m_settings->status()) {
    case QSettings::NoError:
        QFile::setPermissions(m_path, kOwnerOnly);
        return;
    case QSettings::AccessError:
        reportWriteFailure(QStringLiteral("the file or its folder cannot be written"));
        return;
    case QSettings::FormatError:
        reportWriteFailure(QStringLiteral("the file is not a readable settings file"));
        return;
    }
}

void Settings::reportWriteFailure(const QString& reason) const {
    const QString message = QStringLiteral("The setting could not be saved to %1: %2. It holds until the "
                                           "program is closed.")
                                .arg(QDir::toNativeSeparators(m_path), reason);
    if (m_onWriteFailure)
        m_onWriteFailure(message);
    else
        qWarning("%s", qPrintable(message));
}

bool Settings::encodedBoolean(const QString& key) const {
    return textToBoolean(Base64Decode(value(kSettings, key, Base64Encode(QStringLiteral("False")))));
}

bool Settings::previouslyLoaded() const {
    return encodedBoolean(QStringLiteral("PreviouslyLoaded"));
}

void Settings::storePreviouslyLoaded() {
    setValue(kSettings, QStringLiteral("PreviouslyLoaded"), Base64Encode(QStringLiteral("True")));
}

bool Settings::passwordProtected() const {
    return encodedBoolean(QStringLiteral("PasswordProtected"));
}

void Settings::storePasswordProtectedCheckbox(bool ticked) {
    setValue(kSettings, QStringLiteral("PasswordProtected"),
             Base64Encode(ticked ? QStringLiteral("1") : QStringLiteral("0")));
}

int Settings::twips(const QString& key) const {
    return settingsTextToInt(value(kSettings, key, QStringLiteral("1000")));
}

int Settings::mainLeft() const {
    return twips(QStringLiteral("MainLeft"));
}

int Settings::mainTop() const {
    return twips(QStringLiteral("MainTop"));
}

void Settings::storeMainPosition(int leftTwips, int topTwips) {
    setValue(kSettings, QStringLiteral("MainLeft"), QString::number(leftTwips));
    setValue(kSettings, QStringLiteral("MainTop"), QString::number(topTwips));
}

int Settings::daysBehindLimit() const {
    const QString text = value(kSettings, QStringLiteral("DaysBehindLimit"), QString());
    bool ok = false;
    const int days = text.trimmed().toInt(&ok);
    return ok && days >= 0 && days <= kMaxDaysBehindLimit ? days : kDefaultDaysBehindLimit;
}

void Settings::storeDaysBehindLimit(int days) {
    setValue(kSettings, QStringLiteral("DaysBehindLimit"), QString::number(days));
}

namespace {
const QString kPrivacy = QStringLiteral("Privacy");

VcError outOfRange(const QString& key, const QString& value, int lowest, int highest) {
    return VcError(ErrorNumber::Overflow,
                   QStringLiteral("[Privacy] %1 must be a whole number from %2 to %3, not \"%4\"")
                       .arg(key)
                       .arg(lowest)
                       .arg(highest)
                       .arg(value.left(40)));
}
} // namespace

int Settings::privacyNumber(const QString& key, int defaultValue, int lowest, int highest) const {
    // "30,40" reads as a list: no number, and never the default of keeping everything.
    const QVariant raw = m_settings->value(kPrivacy + QLatin1Char('/') + key);
    const QString text =
        raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(QLatin1Char(',')) : raw.toString();
    if (text.trimmed().isEmpty())
        return defaultValue;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < lowest || number > highest)
        throw outOfRange(key, text, lowest, highest);
    return number;
}

int Settings::keepDays() const {
    return privacyNumber(QStringLiteral("KeepDays"), 0, 0, kMaxKeepDays);
}

void Settings::storeKeepDays(int days) {
    if (days < 0 || days > kMaxKeepDays)
        throw outOfRange(QStringLiteral("KeepDays"), QString::number(days), 0, kMaxKeepDays);
    setValue(kPrivacy, QStringLiteral("KeepDays"), QString::number(days));
}

int Settings::minimumGroup() const {
    return privacyNumber(QStringLiteral("MinimumGroup"), kDefaultMinimumGroup, 1, kMaxMinimumGroup);
}

void Settings::storeMinimumGroup(int users) {
    if (users < 1 || users > kMaxMinimumGroup)
        throw outOfRange(QStringLiteral("MinimumGroup"), QString::number(users), 1, kMaxMinimumGroup);
    setValue(kPrivacy, QStringLiteral("MinimumGroup"), QString::number(users));
}

QString Settings::storedPassword() const {
    return value(kSecurity, QStringLiteral("Password"), QString());
}

void Settings::storePassword(const QString& stored) {
    setValue(kSecurity, QStringLiteral("Password"), stored);
}

int settingsTextToInt(const QString& text) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    const double rounded = std::nearbyint(number); // default rounding mode: halves to even
    // A value no console writes (not finite, or beyond any screen position) is a damaged
    // setting, so the corrupted-settings path runs instead of a silent stop part-way.
    if (!ok || !std::isfinite(number) || rounded < std::numeric_limits<int>::min() ||
        rounded > std::numeric_limits<int>::max())
        throw VcError(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    return static_cast<int>(rounded);
}

QString corruptedSettingsMessage() {
    return QStringLiteral("The registry settings for this application have been corrupted.  Please reinstall "
                          "Vellumcrest Manager to fix the problem.  Please email ") +
           Captions::kSupportEmail + QStringLiteral(" if you think that no one has hacked the settings.");
}
