#pragma once

#include "core/Packet.h"

#include <random>
#include <string>
#include <vector>

namespace bench {

// One order of the order list, as the server holds it before writing it.
struct OrderRow {
    std::string cells[13];
    double dtPedido = 0, dtEntPed = 0, pct = 0;
    bool hasEntPed = true, cancelled = false;
};

// Realistic orders (the order screen's fields), deterministic.
inline std::vector<OrderRow> orderRows(int rows, unsigned seed = 1)
{
    static const char* customers[] = {"Mercado São Jorge", "Padaria Pão de Mel", "Construtora Alvorada",
                                      "Farmácia Vida Boa", "Auto Peças Brasil", "Distribuidora Ipê",
                                      "Restaurante Sabor Mineiro", "Supermercado Bom Preço"};
    static const char* salesmen[] = {"Ana Souza", "Bruno Lima", "Carla Mendes", "Diego Rocha", "Elaine Dias"};
    std::mt19937 rng(seed);
    std::vector<OrderRow> out(static_cast<size_t>(rows));
    char buf[64];
    for (int i = 0; i < rows; ++i) {
        OrderRow& r = out[static_cast<size_t>(i)];
        r.cells[0] = "0001";
        r.cells[1] = std::to_string(1 + static_cast<int>(rng() % 6));
        std::snprintf(buf, sizeof buf, "%010d", i + 1);
        r.cells[2] = buf;
        std::snprintf(buf, sizeof buf, "%014u", static_cast<unsigned>(10000000u + rng() % 9000000u));
        r.cells[3] = buf;
        r.cells[4] = customers[rng() % 8];
        const double d = 45000 + i / 100;
        r.dtPedido = d + (rng() % 86400) / 86400.0;
        r.hasEntPed = rng() % 5 != 0;
        r.dtEntPed = d + 3 + rng() % 10;
        const unsigned sm = static_cast<unsigned>(rng() % 5);
        std::snprintf(buf, sizeof buf, "%04u", sm + 1);
        r.cells[7] = buf;
        r.cells[8] = salesmen[sm];
        r.pct = 1.5 + (rng() % 700) / 100.0;
        r.cells[10] = "S";
        r.cancelled = rng() % 20 == 0;
        r.cells[11] = r.cancelled ? "S" : "N";
        if (r.cancelled)
            r.cells[12] = "Cancelado por ADM em 05/12/2026 10:31:00";
    }
    return out;
}

inline std::vector<fw::FieldDef> orderFields()
{
    using fw::FieldType;
    return {{QStringLiteral("CDFILIAL"), FieldType::String, 4},
            {QStringLiteral("IDSITPEDIDO"), FieldType::String, 1},
            {QStringLiteral("NRPEDIDO"), FieldType::String, 10},
            {QStringLiteral("CDCLIENTE"), FieldType::String, 21},
            {QStringLiteral("NMFANTCLIE"), FieldType::String, 50},
            {QStringLiteral("DTPEDIDO"), FieldType::DateTime, 0},
            {QStringLiteral("DTENTPED"), FieldType::DateTime, 0},
            {QStringLiteral("CDVENDEDOR"), FieldType::String, 4},
            {QStringLiteral("NMFANVEN"), FieldType::String, 50},
            {QStringLiteral("VRPECOMVEN"), FieldType::Float, 0},
            {QStringLiteral("IDGERACOMISVEND"), FieldType::String, 1},
            {QStringLiteral("IDCANCCOMISPED"), FieldType::String, 20},
            {QStringLiteral("DSMOTCANCCOMISPED"), FieldType::String, 350}};
}

// The packet of the given orders, written as the server writes it.
inline void encodeOrders(const std::vector<OrderRow>& rows, const std::vector<fw::FieldDef>& fields, std::string& out)
{
    out.clear();
    fw::PacketWriter w(out);
    w.begin(fields);
    for (const OrderRow& r : rows) {
        w.beginRow();
        for (int c = 0; c < 5; ++c)
            w.addString(std::string_view(r.cells[c]));
        w.addDouble(r.dtPedido);
        if (r.hasEntPed)
            w.addDouble(r.dtEntPed);
        else
            w.addNull();
        w.addString(std::string_view(r.cells[7]));
        w.addString(std::string_view(r.cells[8]));
        w.addDouble(r.pct);
        w.addString(std::string_view(r.cells[10]));
        w.addString(std::string_view(r.cells[11]));
        if (r.cancelled)
            w.addString(std::string_view(r.cells[12]));
        else
            w.addNull();
        w.endRow();
    }
    w.end();
}

inline std::string orderPacket(int rows, unsigned seed = 1)
{
    std::string out;
    out.reserve(static_cast<size_t>(rows) * 160);
    encodeOrders(orderRows(rows, seed), orderFields(), out);
    return out;
}

} // namespace bench
