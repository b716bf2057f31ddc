#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

// Dates travel as days since 1899-12-30 (a double); the fraction is the time
// of day and 0 means "no date".
namespace fw::date {

inline constexpr double kNoDate = 0.0;

double fromQDate(const QDate& d);
double fromQDateTime(const QDateTime& dt);
QDate toQDate(double days);
QDateTime toQDateTime(double days);

// Today without time.
double today();
// The whole-day part of a date-time.
double wholeDays(double days);

// dd/MM/yyyy; empty for 0.
QString formatDate(double days);
// dd/MM/yyyy, followed by " hh:mm:ss" only when the time is not midnight.
QString formatDateTime(double days);

// Strict dd/MM/yyyy: 31/02/2024 is no date. Returns nullopt when invalid.
std::optional<double> parseDate(const QString& text);

} // namespace fw::date
