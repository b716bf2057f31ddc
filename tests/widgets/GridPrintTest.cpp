// A grid printed to PDF, read back as text (pdftotext): columns keep a gap,
// long texts are cut with an ellipsis, every page repeats the titles.
#include "core/Packet.h"
#include "core/RecordSet.h"
#include "widgets/DataGrid.h"
#include "widgets/GridPrint.h"

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fw;

namespace {

TEST(GridPrint, ColumnsKeepTheirGapLongTextsAreCutAndEveryPageHasTheTitles)
{
    RecordSet rs(QStringLiteral("cdsPedido"));
    rs.addField(QStringLiteral("DTENTPED"), FieldType::DateTime).displayLabel = QStringLiteral("Entrega");
    rs.addField(QStringLiteral("CDVENDEDOR"), FieldType::String, 4).displayLabel = QStringLiteral("Vend.");
    rs.addField(QStringLiteral("NMFANVEN"), FieldType::String, 50).displayLabel = QStringLiteral("Nome");
    std::string packet;
    PacketWriter w(packet);
    w.begin({{QStringLiteral("DTENTPED"), FieldType::DateTime, 0},
             {QStringLiteral("CDVENDEDOR"), FieldType::String, 4},
             {QStringLiteral("NMFANVEN"), FieldType::String, 50}});
    const int rows = 150;
    for (int i = 0; i < rows; ++i) {
        w.beginRow();
        w.addDouble(46366); // 10/12/2026
        w.addString(QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')));
        w.addString(i == 0 ? QStringLiteral("Comercial de Materiais de Construção e Filhos")
                           : QStringLiteral("Vendedor %1").arg(i + 1));
        w.endRow();
    }
    w.end();
    rs.setData(Payload::fromJson(packet));
    DataSource ds(&rs);
    TDBGrid grid(nullptr, QStringLiteral("dbgPadrao"));
    grid.setColumns({{QStringLiteral("DTENTPED"), {}, 62, {}, false, false},
                     {QStringLiteral("CDVENDEDOR"), {}, 34, {}, false, false},
                     {QStringLiteral("NMFANVEN"), {}, 160, {}, false, false}});
    grid.setDataSource(&ds);
    grid.resize(400, 300);

    QTemporaryDir dir;
    const QString kept = qEnvironmentVariable("PED_SCREENSHOTS"); // the printout kept for a look
    const QString pdf = kept.isEmpty() ? dir.filePath(QStringLiteral("grade.pdf")) : kept + QStringLiteral("/impressao.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printGrid(printer, grid, QStringLiteral("PED03600 - Comissão do Vendedor"));
    }
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    ASSERT_EQ(text.exitCode(), 0) << text.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(text.readAllStandardOutput());
    const QStringList pages = out.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2) << out.toStdString();
    for (const QString& page : pages) {
        if (page.trimmed().isEmpty())
            continue;
        EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("Entrega\\s+Vend\\.\\s+Nome")))) << page.toStdString();
    }
    // the date and the code stay apart, the long name is cut short
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("10/12/2026\\s+0001\\s+Comercial de Mat[^\\n]*…"))))
        << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("Filhos")));
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("10/12/2026\\s+0150\\s+Vendedor 150"))));
}

} // namespace
