#include "DateUtil.h"

#include <QRegularExpression>
#include <cmath>

namespace fw::date {

namespace {
const QDate& epoch()
{
    static const QDate e(1899, 12, 30);
    return e;
}
constexpr double kSecondsPerDay = 86400.0;
} // namespace

double fromQDate(const QDate& d)
{
    if (!d.isValid())
        return kNoDate;
    return static_cast<double>(epoch().daysTo(d));
}

double fromQDateTime(const QDateTime& dt)
{
    if (!dt.isValid())
        return kNoDate;
    const QTime t = dt.time();
    return fromQDate(dt.date()) + (t.msecsSinceStartOfDay() / 1000.0) / kSecondsPerDay;
}

QDate toQDate(double days)
{
    return epoch().addDays(static_cast<qint64>(std::floor(days)));
}

QDateTime toQDateTime(double days)
{
    const double whole = std::floor(days);
    const double secs = std::round((days - whole) * kSecondsPerDay);
    QDateTime dt(toQDate(whole).startOfDay());
    return dt.addSecs(static_cast<qint64>(secs));
}

double today()
{
    return fromQDate(QDate::currentDate());
}

double wholeDays(double days)
{
    return std::floor(days);
}

QString formatDate(double days)
{
    if (days == kNoDate)
        return {};
    return toQDate(days).toString(QStringLiteral("dd/MM/yyyy"));
}

QString formatDateTime(double days)
{
    if (days == kNoDate)
        return {};
    const QDateTime dt = toQDateTime(days);
    if (dt.time().msecsSinceStartOfDay() == 0)
        return dt.date().toString(QStringLiteral("dd/MM/yyyy"));
    return dt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}

std::optional<double> parseDate(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!d.isValid())
        return std::nullopt;
    return fromQDate(d);
}

} // namespace fw::date
