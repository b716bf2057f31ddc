#include "FormatUtil.h"

#include <QStringList>

#include <charconv>
#include <cmath>
#include <string>

namespace fw::fmt {

namespace {

std::string shortestFixed(double v)
{
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (res.ec != std::errc())
        return std::to_string(v);
    return std::string(buf, res.ptr);
}

// Decimal text of |value| rounded half away from zero: digits before and after the point.
std::pair<std::string, std::string> roundedDigits(double value, int decimals)
{
    std::string s = shortestFixed(std::fabs(value));
    std::string ip = s, fp;
    if (auto dot = s.find('.'); dot != std::string::npos) {
        ip = s.substr(0, dot);
        fp = s.substr(dot + 1);
    }
    if (static_cast<int>(fp.size()) <= decimals) {
        fp.append(static_cast<size_t>(decimals) - fp.size(), '0');
        return {ip, fp};
    }
    const bool up = fp[static_cast<size_t>(decimals)] >= '5';
    fp.resize(static_cast<size_t>(decimals));
    if (up) {
        std::string all = ip + fp;
        int i = static_cast<int>(all.size()) - 1;
        for (; i >= 0; --i) {
            if (all[static_cast<size_t>(i)] == '9') {
                all[static_cast<size_t>(i)] = '0';
            } else {
                ++all[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0)
            all.insert(all.begin(), '1');
        ip = all.substr(0, all.size() - fp.size());
        fp = all.substr(all.size() - fp.size());
    }
    return {ip, fp};
}

struct Picture {
    QString prefix, suffix;
    int minInt = 0;
    int minDec = 0;
    int maxDec = 0;
    bool grouping = false;
};

Picture parsePicture(const QString& picture)
{
    Picture p;
    const QString section = picture.section(QLatin1Char(';'), 0, 0);
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',') || c == QLatin1Char('.')) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0) {
        p.prefix = section;
        return p;
    }
    p.prefix = section.left(first);
    p.suffix = section.mid(last + 1);
    bool afterDot = false;
    for (qsizetype i = first; i <= last; ++i) {
        const QChar c = section[i];
        if (c == QLatin1Char('.')) {
            afterDot = true;
        } else if (c == QLatin1Char(',')) {
            if (!afterDot)
                p.grouping = true;
        } else if (afterDot) {
            ++p.maxDec;
            if (c == QLatin1Char('0'))
                p.minDec = p.maxDec;
        } else if (c == QLatin1Char('0')) {
            ++p.minInt;
        }
    }
    return p;
}

} // namespace

double roundDecimal(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    auto [ip, fp] = roundedDigits(value, decimals);
    const std::string text = (value < 0 ? "-" : "") + ip + "." + fp;
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out == 0 ? 0.0 : out;
}

int pictureDecimals(const QString& picture)
{
    return parsePicture(picture).maxDec;
}

QString formatFloat(const QString& picture, double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const Picture p = parsePicture(picture);
    auto [ip, fp] = roundedDigits(value, p.maxDec);
    while (static_cast<int>(fp.size()) > p.minDec && !fp.empty() && fp.back() == '0')
        fp.pop_back();
    // strip leading zeros, then pad to the mandatory integer digits
    size_t nz = 0;
    while (nz + 1 < ip.size() && ip[nz] == '0')
        ++nz;
    ip.erase(0, nz);
    if (ip == "0" && p.minInt == 0)
        ip.clear();
    if (static_cast<int>(ip.size()) < p.minInt)
        ip.insert(0, static_cast<size_t>(p.minInt) - ip.size(), '0');
    const bool negative = value < 0 && (ip.find_first_not_of('0') != std::string::npos
                                        || fp.find_first_not_of('0') != std::string::npos);
    QString out;
    if (negative)
        out += QLatin1Char('-');
    out += p.prefix;
    for (size_t i = 0; i < ip.size(); ++i) {
        if (p.grouping && i > 0 && (ip.size() - i) % 3 == 0)
            out += QLatin1Char('.');
        out += QLatin1Char(ip[i]);
    }
    if (!fp.empty()) {
        out += QLatin1Char(',');
        out += QString::fromLatin1(fp.data(), static_cast<qsizetype>(fp.size()));
    }
    out += p.suffix;
    return out;
}

std::optional<double> parseNumber(const QString& text)
{
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('%')))
        t.chop(1);
    t = t.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    std::string norm;
    qsizetype i = 0;
    if (t[0] == QLatin1Char('-') || t[0] == QLatin1Char('+')) {
        if (t[0] == QLatin1Char('-'))
            norm += '-';
        ++i;
    }
    const qsizetype comma = t.indexOf(QLatin1Char(','));
    const qsizetype intEnd = comma < 0 ? t.size() : comma;
    QString intPart = t.mid(i, intEnd - i);
    const QString fracPart = comma < 0 ? QString() : t.mid(comma + 1);
    if (intPart.contains(QLatin1Char('.'))) {
        const QStringList groups = intPart.split(QLatin1Char('.'));
        if (groups.first().isEmpty() || groups.first().size() > 3)
            return std::nullopt;
        for (qsizetype g = 1; g < groups.size(); ++g)
            if (groups[g].size() != 3)
                return std::nullopt;
        intPart = groups.join(QString());
    }
    if (intPart.isEmpty() && fracPart.isEmpty())
        return std::nullopt;
    for (QChar c : intPart)
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    for (QChar c : fracPart)
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    norm += intPart.isEmpty() ? std::string("0") : intPart.toStdString();
    if (!fracPart.isEmpty())
        norm += "." + fracPart.toStdString();
    double v = 0;
    auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QString applyMask(const QString& raw, const QString& mask)
{
    static const QString placeholders = QStringLiteral("90#aAlLcC");
    const QString pic = mask.section(QLatin1Char(';'), 0, 0);
    QString out;
    qsizetype r = 0;
    for (qsizetype i = 0; i < pic.size() && r < raw.size(); ++i) {
        const QChar c = pic[i];
        if (c == QLatin1Char('\\') && i + 1 < pic.size()) {
            out += pic[++i];
        } else if (c == QLatin1Char('>') || c == QLatin1Char('<') || c == QLatin1Char('!')) {
            continue;
        } else if (placeholders.contains(c)) {
            out += raw[r++];
        } else {
            out += c;
        }
    }
    if (r < raw.size())
        out += raw.mid(r);
    return out;
}

} // namespace fw::fmt
