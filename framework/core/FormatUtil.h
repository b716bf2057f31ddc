#pragma once

#include <QString>
#include <optional>

// Number and mask formatting in the pt_BR conventions of the screens.
namespace fw::fmt {

// Rounds half away from zero on the shortest decimal text of the value, so
// 1.005 -> 1.01 and 2.675 -> 2.68 whatever their binary representation.
double roundDecimal(double value, int decimals);

// Formats with a picture such as "#,##0.00 %", "##0.000" or "###0.00":
// '0' a mandatory digit, '#' an optional one, ',' grouping, '.' the decimal
// point; anything around the number is kept literally. Output uses ','
// for decimals and '.' for grouping: "#,##0.00 %" of 1234.5 is "1.234,50 %".
QString formatFloat(const QString& picture, double value);

// The number of decimals a picture shows (2 for "#,##0.00").
int pictureDecimals(const QString& picture);

// Parses a number typed in pt_BR: "1.234,5", "12,5", "-3", "7 %". A '.' is
// accepted only as a thousands separator in groups of three.
std::optional<double> parseNumber(const QString& text);

// Applies the literal characters of an edit mask ("999.999.999-99",
// "9.99.999.9999") to a raw value. Placeholders are 9 0 # a A l L c C;
// '\' makes the next character literal; anything after ';' is ignored.
QString applyMask(const QString& raw, const QString& mask);

} // namespace fw::fmt
