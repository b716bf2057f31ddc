// Packet decoding: our decoder into a record set against simdjson on-demand
// touching every value and QJsonDocument parsing the same bytes; and the
// record set's memory against the packet's size.
#include "BenchUtil.h"
#include "OrderPacket.h"
#include "SimdTouch.h"
#include "core/RecordSet.h"

#include <QCoreApplication>
#include <QJsonDocument>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string json = bench::orderPacket(rows);
    const fw::Payload payload = fw::Payload::fromJson(json);
    const simdjson::padded_string padded(json);
    const QByteArray qbytes = QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size()));

    volatile double sink = 0;
    simdjson::ondemand::parser parser;
    const double simd = bench::medianMs(7, [&] { sink = bench::simdTouch(parser, padded); });
    const double qjson = bench::medianMs(5, [&] {
        QJsonDocument d = QJsonDocument::fromJson(qbytes);
        sink = d.isObject() ? 1 : 0;
    });
    fw::RecordSet rs(QStringLiteral("cdsPedido"));
    const double ours = bench::medianMs(7, [&] { rs.setData(payload); });
    const double mem = static_cast<double>(rs.memoryBytes());
    (void)sink;

    std::printf("packet: %d orders, %.1f MB\n", rows, json.size() / 1e6);
    bench::printTable({
        {"decode packet into record set", ours, "ms", "simdjson on-demand, every value", simd, 3.0},
        {"decode packet into record set (vs QJsonDocument)", ours, "ms", "QJsonDocument::fromJson", qjson, 0.25},
        {"record set memory", mem / 1e6, "MB", "packet bytes", json.size() / 1e6, 2.0},
    });
    return 0;
}
