#include "Password.h"

#include "Database.h"

#include <sodium.h>

#include <mutex>

namespace peddb {

void initCrypto()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw DbError(QStringLiteral("Falha ao iniciar a biblioteca criptográfica."));
    });
}

QString hashPassword(const QString& password)
{
    initCrypto();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.constData(), static_cast<unsigned long long>(pw.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw DbError(QStringLiteral("Memória insuficiente para gerar o hash da senha."));
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password)
{
    initCrypto();
    const QByteArray h = hash.toLatin1();
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), pw.constData(), static_cast<unsigned long long>(pw.size())) == 0;
}

QString generatePassword()
{
    initCrypto();
    // 32 symbols without look-alikes (no l, o, 0, 1): 16 of them are 80 bits.
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyz23456789";
    QString out;
    for (int i = 0; i < 16; ++i) {
        if (i > 0 && i % 4 == 0)
            out += QLatin1Char('-');
        out += QLatin1Char(alphabet[randombytes_uniform(32)]);
    }
    return out;
}

} // namespace peddb
