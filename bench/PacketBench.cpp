// Packets: the server's encoding against RapidJSON's Writer writing the same
// document; decoding into a record set against simdjson on-demand touching
// every value and QJsonDocument parsing the same bytes; and the record set's
// memory against the packet's size.
#include "BenchUtil.h"
#include "OrderPacket.h"
#include "SimdTouch.h"
#include "core/RecordSet.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// The same document through RapidJSON's Writer.
size_t rapidEncode(const std::vector<bench::OrderRow>& rows, const std::vector<fw::FieldDef>& fields,
                   rapidjson::StringBuffer& buf)
{
    buf.Clear();
    rapidjson::Writer<rapidjson::StringBuffer> w(buf);
    w.StartObject();
    w.Key("fields");
    w.StartArray();
    for (const fw::FieldDef& f : fields) {
        const QByteArray name = f.name.toUtf8();
        w.StartObject();
        w.Key("name");
        w.String(name.constData(), static_cast<rapidjson::SizeType>(name.size()));
        w.Key("type");
        w.String(f.type == fw::FieldType::String ? "string" : f.type == fw::FieldType::Float ? "float" : "datetime");
        if (f.size > 0) {
            w.Key("size");
            w.Int(f.size);
        }
        w.EndObject();
    }
    w.EndArray();
    w.Key("rows");
    w.StartArray();
    auto str = [&](const std::string& v) { w.String(v.data(), static_cast<rapidjson::SizeType>(v.size())); };
    for (const bench::OrderRow& r : rows) {
        w.StartArray();
        for (int c = 0; c < 5; ++c)
            str(r.cells[c]);
        w.Double(r.dtPedido);
        if (r.hasEntPed)
            w.Double(r.dtEntPed);
        else
            w.Null();
        str(r.cells[7]);
        str(r.cells[8]);
        w.Double(r.pct);
        str(r.cells[10]);
        str(r.cells[11]);
        if (r.cancelled)
            str(r.cells[12]);
        else
            w.Null();
        w.EndArray();
    }
    w.EndArray();
    w.EndObject();
    return buf.GetSize();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string json = bench::orderPacket(rows);
    const fw::Payload payload = fw::Payload::fromJson(json);
    const simdjson::padded_string padded(json);
    const QByteArray qbytes = QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size()));

    volatile double sink = 0;
    const std::vector<bench::OrderRow> source = bench::orderRows(rows);
    const std::vector<fw::FieldDef> fields = bench::orderFields();
    std::string encoded;
    encoded.reserve(json.size());
    rapidjson::StringBuffer rbuf;
    const double ourEncode = bench::medianMs(7, [&] { bench::encodeOrders(source, fields, encoded); });
    const double rapid = bench::medianMs(7, [&] { sink = static_cast<double>(rapidEncode(source, fields, rbuf)); });
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
    std::printf("encoded: ours %.1f MB, RapidJSON %.1f MB\n", encoded.size() / 1e6, rbuf.GetSize() / 1e6);
    bench::printTable({
        {"packet encode, " + std::to_string(rows) + " orders", ourEncode, "ms", "RapidJSON Writer, same document", rapid, 2.0},
        {"decode packet into record set", ours, "ms", "simdjson on-demand, every value", simd, 3.0},
        {"decode packet into record set (vs QJsonDocument)", ours, "ms", "QJsonDocument::fromJson", qjson, 0.25},
        {"record set memory", mem / 1e6, "MB", "packet bytes", json.size() / 1e6, 2.0},
    });
    return 0;
}
