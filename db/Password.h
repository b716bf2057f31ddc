#pragma once

#include <QString>

namespace peddb {

// Passwords are stored only as slow salted hashes; the server checks them
// and the generator writes the first ones.
QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);
// A first password, at least 80 bits from the system's random source.
QString generatePassword();

// Sets up the cryptographic library once; throws DbError when it cannot.
void initCrypto();

} // namespace peddb
