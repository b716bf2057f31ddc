#pragma once

#include "Packet.h"
#include "ServerResult.h"

#include <QString>

namespace fw {

// Returns the payload of a server result; on a failure raises a ServerError
// with the server's text (raise true) or shows it and returns null.
Payload CheckResultServ(const ServerResult& result, bool raise = true, int helpContext = 0);

// Shows the text as an error; with abort, then stops the action silently.
void MensErro(const QString& text, bool abort);

// True when the text holds nothing: blanks, or what a masked edit shows with
// nothing typed ("  /  /    ", "//").
bool EmptyString(const QString& text);

// Normalises a code to a width: trims blanks; a text of digits only is
// left-padded with "0"; other texts are only trimmed; longer ones kept.
QString Ajusta(const QString& code, int width);

// Rounded half away from zero on the value's decimal text.
double RoundDec(double value, int decimals);

// The edit mask of a person type's document number ("F" CPF, "J" CNPJ).
QString PictPess(const QString& personType);

} // namespace fw
