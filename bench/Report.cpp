// Collects the figures every benchmark appended to one TSV file, prints them
// as one table, plots the cost curves and writes both into the generated part
// of docs/performance.md.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdio>

namespace {

struct Row {
    QString measure, unit, baselineName;
    double figure = 0, baseline = 0, goalRatio = 0, goalAbs = 0;
    double ratio() const { return baseline > 0 ? figure / baseline : 0; }
    bool hasGoal() const { return goalRatio > 0 || goalAbs > 0; }
    bool met() const { return (goalRatio <= 0 || ratio() <= goalRatio) && (goalAbs <= 0 || figure <= goalAbs); }
    QString goal() const
    {
        if (goalRatio > 0)
            return QStringLiteral("≤ %1×").arg(goalRatio);
        if (goalAbs > 0)
            return QStringLiteral("≤ %1 %2").arg(goalAbs).arg(unit);
        return QStringLiteral("-");
    }
    QString result() const { return hasGoal() ? (met() ? QStringLiteral("met") : QStringLiteral("MISSED")) : QStringLiteral("report"); }
};

using Series = QMap<long long, double>; // orders -> value

QString num(double v)
{
    return QString::number(v, 'f', v < 10 ? 2 : v < 1000 ? 1 : 0);
}

void plot(const QMap<QString, Series>& curves, const QString& file)
{
    QImage img(1080, 560, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(80, 40, 600, 460);
    double lo = 1e300, hi = 0;
    long long nlo = 0, nhi = 0;
    for (auto it = curves.begin(); it != curves.end(); ++it) {
        if (!it.key().contains(QLatin1String("ms")))
            continue;
        for (auto pt = it->begin(); pt != it->end(); ++pt) {
            lo = std::min(lo, std::max(pt.value(), 0.01));
            hi = std::max(hi, pt.value());
            nlo = nlo ? std::min(nlo, pt.key()) : pt.key();
            nhi = std::max(nhi, pt.key());
        }
    }
    if (hi <= 0 || nhi <= nlo)
        return;
    const double y0 = std::floor(std::log10(lo)), y1 = std::ceil(std::log10(hi));
    const double x0 = std::log10(static_cast<double>(nlo)), x1 = std::log10(static_cast<double>(nhi));
    auto at = [&](long long n, double v) {
        const double x = (std::log10(static_cast<double>(n)) - x0) / (x1 - x0);
        const double y = (std::log10(std::max(v, 0.01)) - y0) / (y1 - y0);
        return QPointF(area.left() + x * area.width(), area.bottom() - y * area.height());
    };
    p.setPen(QColor(220, 220, 220));
    QFont f = p.font();
    f.setPointSize(9);
    p.setFont(f);
    for (double e = y0; e <= y1; ++e) {
        const QPointF a = at(nlo, std::pow(10, e));
        p.setPen(QColor(225, 225, 225));
        p.drawLine(QPointF(area.left(), a.y()), QPointF(area.right(), a.y()));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, a.y() - 8, 74, 16), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 ms").arg(std::pow(10, e)));
    }
    for (long long n = nlo; n <= nhi; n *= 10) {
        const QPointF a = at(n, std::pow(10, y0));
        p.setPen(QColor(225, 225, 225));
        p.drawLine(QPointF(a.x(), area.top()), QPointF(a.x(), area.bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(a.x() - 50, area.bottom() + 4, 100, 16), Qt::AlignCenter, QStringLiteral("%L1").arg(n));
    }
    p.drawRect(area);
    p.drawText(QRectF(area.left(), area.bottom() + 22, area.width(), 16), Qt::AlignCenter,
               QStringLiteral("pedidos no banco (escala log)"));
    p.drawText(QRectF(area.left(), 8, area.width(), 24), Qt::AlignCenter,
               QStringLiteral("Custo de GetPedido e da carga da tela por tamanho do banco"));
    const QColor colours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44), QColor(148, 103, 189)};
    int i = 0;
    for (auto it = curves.begin(); it != curves.end(); ++it) {
        if (!it.key().contains(QLatin1String("ms")))
            continue;
        const QColor c = colours[i % 4];
        QPainterPath path;
        bool first = true;
        for (auto pt = it->begin(); pt != it->end(); ++pt) {
            const QPointF a = at(pt.key(), pt.value());
            first ? path.moveTo(a) : path.lineTo(a);
            first = false;
            p.setBrush(c);
            p.setPen(c);
            p.drawEllipse(a, 3, 3);
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(c, 2));
        p.drawPath(path);
        const double ly = area.top() + 10 + i * 22;
        p.drawLine(QPointF(area.right() + 12, ly), QPointF(area.right() + 36, ly));
        p.setPen(Qt::black);
        QString label = it.key();
        label.chop(5); // " (ms)"
        p.drawText(QRectF(area.right() + 40, ly - 9, 360, 18), Qt::AlignLeft | Qt::AlignVCenter, label);
        ++i;
    }
    p.end();
    img.save(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_report FIGURES.tsv docs/performance.md\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_report: cannot read %s\n", argv[1]);
        return 1;
    }
    QList<Row> rows;
    QMap<QString, Series> curves;
    QTextStream ts(&in);
    while (!ts.atEnd()) {
        const QStringList c = ts.readLine().split(QLatin1Char('\t'));
        if (c.size() >= 8 && c[0] == QLatin1String("row"))
            rows.push_back({c[1], c[3], c[4], c[2].toDouble(), c[5].toDouble(), c[6].toDouble(), c[7].toDouble()});
        else if (c.size() >= 5 && c[0] == QLatin1String("curve"))
            curves[c[1] + QStringLiteral(" (") + c[4] + QLatin1Char(')')][c[2].toLongLong()] = c[3].toDouble();
    }

    // the table, on the terminal and in markdown
    QString md;
    QTextStream out(&md);
    out << "| measure | figure | baseline (same run) | ratio | goal | result |\n|---|---:|---|---:|---|---|\n";
    std::printf("\n%-72s %14s %-36s %14s %8s %10s %s\n", "measure", "figure", "baseline", "baseline", "ratio", "goal", "result");
    int missed = 0;
    for (const Row& r : rows) {
        std::printf("%-72s %11s %-2s %-36s %11s %-2s %8.2f %10s %s\n", r.measure.toUtf8().constData(),
                    num(r.figure).toUtf8().constData(), r.unit.toUtf8().constData(), r.baselineName.toUtf8().constData(),
                    num(r.baseline).toUtf8().constData(), r.unit.toUtf8().constData(), r.ratio(),
                    r.goal().toUtf8().constData(), r.result().toUtf8().constData());
        out << "| " << r.measure << " | " << num(r.figure) << ' ' << r.unit << " | " << r.baselineName << ": "
            << num(r.baseline) << ' ' << r.unit << " | " << QString::number(r.ratio(), 'f', 2) << " | " << r.goal() << " | "
            << r.result() << " |\n";
        missed += r.hasGoal() && !r.met();
    }

    // the cost curves
    QList<long long> sizes;
    for (const Series& s : curves)
        for (auto it = s.begin(); it != s.end(); ++it)
            if (!sizes.contains(it.key()))
                sizes.push_back(it.key());
    std::sort(sizes.begin(), sizes.end());
    out << "\n### Cost curves\n\n| series |";
    for (long long n : sizes)
        out << ' ' << QStringLiteral("%L1").arg(n) << " |";
    out << "\n|---|";
    for (int i = 0; i < sizes.size(); ++i)
        out << "---:|";
    out << '\n';
    std::printf("\ncost curves (orders in the database):\n");
    for (auto it = curves.begin(); it != curves.end(); ++it) {
        out << "| " << it.key() << " |";
        std::printf("  %-52s", it.key().toUtf8().constData());
        for (long long n : sizes) {
            const QString v = it->contains(n) ? num(it->value(n)) : QStringLiteral("-");
            out << ' ' << v << " |";
            std::printf(" %10s", v.toUtf8().constData());
        }
        out << '\n';
        std::printf("\n");
    }
    const QString docPath = QString::fromLocal8Bit(argv[2]);
    const QString pngName = QStringLiteral("performance-curves.png");
    QString dir = docPath.section(QLatin1Char('/'), 0, -2);
    if (dir.isEmpty())
        dir = QStringLiteral(".");
    plot(curves, dir + QLatin1Char('/') + pngName);
    out << "\n![Cost curves](" << pngName << ")\n";

    // into the generated part of the document, the rest kept as written
    const QString begin = QStringLiteral("<!-- bench:begin -->"), end = QStringLiteral("<!-- bench:end -->");
    QString doc;
    if (QFile f(docPath); f.open(QIODevice::ReadOnly))
        doc = QString::fromUtf8(f.readAll());
    const QString generated = begin + QStringLiteral("\n## Latest run\n\n") + md + end;
    const qsizetype b = doc.indexOf(begin), e = doc.indexOf(end);
    if (b >= 0 && e > b)
        doc.replace(b, e + end.size() - b, generated);
    else
        doc += QStringLiteral("\n") + generated + QStringLiteral("\n");
    QFile f(docPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "bench_report: cannot write %s\n", argv[2]);
        return 1;
    }
    f.write(doc.toUtf8());
    std::printf("\n%lld measures, %d goals missed; written to %s and %s/%s\n", static_cast<long long>(rows.size()), missed,
                argv[2], dir.toUtf8().constData(), pngName.toUtf8().constData());
    return 0;
}
