// Packet decoding: our decoder into a record set against simdjson on-demand
// touching every value and QJsonDocument parsing the same bytes; and the
// record set's memory against the packet's size.
#include "BenchUtil.h"
#include "OrderPacket.h"
#include "core/RecordSet.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <simdjson.h>

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
    const double simd = bench::medianMs(7, [&] {
        double acc = 0;
        auto doc = parser.iterate(padded);
        auto obj = doc.get_object();
        for (auto f : obj.find_field_unordered("fields").get_array())
            acc += std::string_view(f.get_object().find_field_unordered("name").get_string().value()).size();
        for (auto r : obj.find_field_unordered("rows").get_array()) {
            for (auto v : r.get_array()) {
                auto val = v.value();
                switch (val.type().value()) {
                case simdjson::ondemand::json_type::string: acc += val.get_string().value().size(); break;
                case simdjson::ondemand::json_type::number: acc += val.get_double().value(); break;
                default: acc += val.is_null() ? 1 : 0;
                }
            }
        }
        sink = acc;
    });
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
