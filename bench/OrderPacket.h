#pragma once

#include "core/Packet.h"

#include <random>
#include <string>

namespace bench {

// A realistic order list packet (the order screen's fields), deterministic.
inline std::string orderPacket(int rows, unsigned seed = 1)
{
    static const char* customers[] = {"Mercado São Jorge", "Padaria Pão de Mel", "Construtora Alvorada",
                                      "Farmácia Vida Boa", "Auto Peças Brasil", "Distribuidora Ipê",
                                      "Restaurante Sabor Mineiro", "Supermercado Bom Preço"};
    static const char* salesmen[] = {"Ana Souza", "Bruno Lima", "Carla Mendes", "Diego Rocha", "Elaine Dias"};
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(static_cast<size_t>(rows) * 160);
    fw::PacketWriter w(out);
    using fw::FieldType;
    w.begin({{QStringLiteral("CDFILIAL"), FieldType::String, 4},
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
             {QStringLiteral("DSMOTCANCCOMISPED"), FieldType::String, 350}});
    char buf[64];
    for (int i = 0; i < rows; ++i) {
        w.beginRow();
        w.addString(std::string_view("0001"));
        std::snprintf(buf, sizeof buf, "%d", 1 + static_cast<int>(rng() % 6));
        w.addString(std::string_view(buf));
        std::snprintf(buf, sizeof buf, "%010d", i + 1);
        w.addString(std::string_view(buf));
        std::snprintf(buf, sizeof buf, "%014u", static_cast<unsigned>(10000000u + rng() % 9000000u));
        w.addString(std::string_view(buf));
        w.addString(std::string_view(customers[rng() % 8]));
        const double d = 45000 + i / 100;
        w.addDouble(d + (rng() % 86400) / 86400.0);
        if (rng() % 5)
            w.addDouble(d + 3 + rng() % 10);
        else
            w.addNull();
        const unsigned s = static_cast<unsigned>(rng() % 5);
        std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(s + 1));
        w.addString(std::string_view(buf));
        w.addString(std::string_view(salesmen[s]));
        w.addDouble(1.5 + (rng() % 700) / 100.0);
        w.addString(std::string_view("S"));
        if (rng() % 20 == 0) {
            w.addString(std::string_view("S"));
            w.addString(std::string_view("Cancelado por ADM em 05/12/2026 10:31:00"));
        } else {
            w.addString(std::string_view("N"));
            w.addNull();
        }
        w.endRow();
    }
    w.end();
    return out;
}

} // namespace bench
