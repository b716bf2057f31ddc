#include "GridPrint.h"

#include "DataGrid.h"

#include <QDateTime>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>

namespace fw {

void printGrid(QPrinter& printer, const TDBGrid& grid, const QString& title)
{
    const QAbstractItemModel* m = grid.model();
    if (!m)
        return;
    QPainter p(&printer);
    if (!p.isActive())
        return;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double pageW = page.width();
    const double pageH = page.height();
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    p.setFont(font);
    const QFontMetricsF fm(font, &printer);
    const double rowH = fm.height() * 1.4;

    // Column widths as on screen, each with a gap of 2 mm beside it, all
    // scaled down together when wider than the page.
    std::vector<int> cols;
    double screenW = 0;
    for (int c = 0; c < m->columnCount(); ++c) {
        if (grid.isColumnHidden(c))
            continue;
        cols.push_back(c);
        screenW += grid.columnWidth(c);
    }
    if (cols.empty())
        return;
    const double gap = std::min(printer.resolution() * 2.0 / 25.4, pageW / (4.0 * static_cast<double>(cols.size())));
    const double room = pageW - gap * static_cast<double>(cols.size());
    const double scale = std::min(room / std::max(screenW, 1.0), printer.resolution() / 96.0);
    std::vector<double> widths; // text width of each column, its gap not included
    for (int c : cols)
        widths.push_back(grid.columnWidth(c) * scale);

    if (RecordSetModel* rm = grid.recordSetModel(); rm && rm->recordSet()->recordCount() > 0)
        rm->exposeRow(rm->recordSet()->recordCount() - 1); // every row is printed, not only those scrolled to
    const int rows = m->rowCount();
    const int perPage = std::max(1, static_cast<int>((pageH - 3 * rowH) / rowH) - 1);
    const int pages = std::max(1, (rows + perPage - 1) / perPage);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    for (int pg = 0; pg < pages; ++pg) {
        if (pg > 0)
            printer.newPage();
        double y = 0;
        QFont bold = font;
        bold.setBold(true);
        p.setFont(bold);
        p.drawText(QRectF(0, y, pageW, rowH), Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setFont(font);
        p.drawText(QRectF(0, y, pageW, rowH), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("%1   Página %2 de %3").arg(stamp).arg(pg + 1).arg(pages));
        y += rowH * 1.5;
        double x = 0;
        p.setFont(bold);
        for (size_t i = 0; i < cols.size(); ++i) {
            const QRectF cell(x, y, widths[i] + gap, rowH);
            p.fillRect(cell, QColor(0xE8, 0xE8, 0xE8));
            p.drawText(cell.adjusted(gap / 2, 0, -gap / 2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                       fm.elidedText(m->headerData(cols[i], Qt::Horizontal, Qt::DisplayRole).toString(), Qt::ElideRight,
                                     widths[i]));
            x += widths[i] + gap;
        }
        p.setFont(font);
        y += rowH;
        const int last = std::min(rows, (pg + 1) * perPage);
        for (int r = pg * perPage; r < last; ++r) {
            x = 0;
            for (size_t i = 0; i < cols.size(); ++i) {
                const QModelIndex idx = m->index(r, cols[i]);
                const QVariant align = m->data(idx, Qt::TextAlignmentRole);
                const Qt::Alignment a = align.isValid() ? Qt::Alignment(align.toInt()) : Qt::Alignment(Qt::AlignLeft);
                const QRectF text(x + gap / 2, y, widths[i], rowH);
                p.drawText(text, static_cast<int>((a & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter),
                           fm.elidedText(m->data(idx, Qt::DisplayRole).toString(), Qt::ElideRight, widths[i]));
                x += widths[i] + gap;
            }
            p.setPen(QColor(0xD0, 0xD0, 0xD0));
            p.drawLine(QPointF(0, y + rowH), QPointF(x, y + rowH));
            p.setPen(Qt::black);
            y += rowH;
        }
    }
}

} // namespace fw
