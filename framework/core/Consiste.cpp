#include "Consiste.h"

#include "Context.h"
#include "FormatUtil.h"
#include "FwError.h"

namespace fw {

Payload CheckResultServ(const ServerResult& result, bool raise, int helpContext)
{
    if (result.ok)
        return result.payload;
    const QString text = result.message.isEmpty() ? QStringLiteral("O servidor informou uma falha sem mensagem.")
                                                  : result.message;
    if (raise)
        throw ServerError(text, result.code);
    ctx().ui().showMessage(text, MsgType::Error, Buttons::Ok, helpContext);
    return Payload();
}

void MensErro(const QString& text, bool abort)
{
    ctx().ui().showMessage(text, MsgType::Error, Buttons::Ok, 0);
    if (abort)
        throw Abort();
}

bool EmptyString(const QString& text)
{
    for (QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('.') || c == QLatin1Char('-')
            || c == QLatin1Char(':') || c == QLatin1Char('_'))
            continue;
        return false;
    }
    return true;
}

QString Ajusta(const QString& code, int width)
{
    const QString t = code.trimmed();
    if (t.isEmpty())
        return t;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return t;
    if (t.size() >= width)
        return t;
    return QString(width - t.size(), QLatin1Char('0')) + t;
}

double RoundDec(double value, int decimals)
{
    return fmt::roundDecimal(value, decimals);
}

QString PictPess(const QString& personType)
{
    if (personType.trimmed().compare(QLatin1String("J"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("99.999.999/9999-99;0;_");
    if (personType.trimmed().compare(QLatin1String("F"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("999.999.999-99;0;_");
    return {};
}

} // namespace fw
