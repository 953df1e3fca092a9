// Product name and the captions built from it, written exactly as the console shows them.
#pragma once

#include <QString>

namespace Captions {
inline const QString kTradeMark = QStringLiteral("\u2122");
inline const QString kProduct = QStringLiteral("Vellumcrest");
inline const QString kProductTm = kProduct + kTradeMark;

// "Vellumcrest™" followed by a word or two naming the window or task, e.g. " Manager".
inline QString titled(const QString& suffix) {
    return kProductTm + suffix;
}

inline const QString kSupportEmail = QStringLiteral("support@vellumcrest.example");
inline const QString kWebSite = QStringLiteral("https://www.vellumcrest.example/");
} // namespace Captions
