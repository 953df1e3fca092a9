// Password hashing with libsodium, accepting the older Base64 form once.
#include "app/Password.h"

#include "base/TextUtils.h"
#include "base/VcError.h"

#include <sodium.h>

namespace {
void ensureSodium() {
    if (sodium_init() < 0)
        throw VcError(ErrorNumber::InvalidArgument,
                      QStringLiteral("The cryptography library could not start"));
}
} // namespace

namespace Password {

QString hash(const QString& password) {
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw VcError(ErrorNumber::Overflow, QStringLiteral("Out of memory while storing the password"));
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2"));
}

Check verify(const QString& stored, const QString& entered) {
    if (isHash(stored)) {
        ensureSodium();
        const QByteArray hashText = stored.toLatin1();
        const QByteArray utf8 = entered.toUtf8();
        const bool ok = crypto_pwhash_str_verify(hashText.constData(), utf8.constData(),
                                                 static_cast<unsigned long long>(utf8.size())) == 0;
        return {ok, false};
    }
    // Older form: the password's Base64 text, compared case-sensitively.
    const bool ok = Base64Decode(stored) == entered;
    return {ok, ok};
}

} // namespace Password
