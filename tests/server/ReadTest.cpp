// The read methods: result shapes, each order-filter criterion, the
// visibility rule and the commission-rule precedence.
#include "support/ServerFixture.h"

#include "core/DateUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace testsupport;
using srv::Row;

namespace {

class Reads : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s = new TestServer(900);
        tok = new std::string(s->token());
    }
    static void TearDownTestSuite()
    {
        delete tok;
        delete s;
    }
    static TestServer* s;
    static std::string* tok;

    std::vector<std::string> orders(const OrderFilter& f, const std::string& token = *tok)
    {
        const json j = s->call(token, "GetPedido", f.params());
        EXPECT_TRUE(j.contains("result")) << j.dump();
        return j.contains("result") ? column(j["result"], "NRPEDIDO") : std::vector<std::string>{};
    }
    // The same selection written independently, as plain SQL.
    std::vector<std::string> expected(const QString& where, const QVariantList& params = {}, const QString& branch = "0001")
    {
        QVariantList p{branch};
        p << params;
        std::vector<std::string> out;
        for (const auto& r : s->db->rows(QStringLiteral("SELECT P.NRPEDIDO FROM PEDIDO P WHERE P.CDFILIAL = ? AND "
                                                        "P.IDTIPOPEDIDO IN ('1','2') AND (%1) ORDER BY P.NRPEDIDO")
                                             .arg(where),
                                         p))
            out.push_back(r[0].toString().toStdString());
        return out;
    }
    QString firstValue(const QString& sql) { return s->db->scalar(sql).toString(); }
};
TestServer* Reads::s = nullptr;
std::string* Reads::tok = nullptr;

struct Shape {
    const char* method;
    json params;
    int element; // -1: the result is the packet
    std::vector<std::tuple<std::string, std::string, int>> fields;
};

TEST_F(Reads, EveryMethodAnswersWithThePacketShapeTheScreensDeclare)
{
    const std::vector<Shape> shapes = {
        {"getParametros", {"0001", "ADM", "0001"}, 0, {{"IDTABPRECO", "string", 1}, {"IDEXIBPEDIDO", "string", 1}}},
        {"getParametros", {"0001", "ADM", "0001"}, 1,
         {{"CDFILIAL", "string", 4}, {"VRPECOGEREXP", "float", 0}, {"VRPERCOMEXP", "float", 0}, {"VRPERCOMREC", "float", 0}, {"IDCOMISPERIODO", "string", 1}}},
        {"getParametros", {"0001", "ADM", "0001"}, 2, {{"CDOPERADOR", "string", 32}}},
        {"GetPedido", OrderFilter{}.params(), -1,
         {{"CDFILIAL", "string", 4}, {"IDSITPEDIDO", "string", 1}, {"NRPEDIDO", "string", 10}, {"CDCLIENTE", "string", 21},
          {"NMFANTCLIE", "string", 50}, {"DTPEDIDO", "datetime", 0}, {"DTENTPED", "datetime", 0}, {"CDVENDEDOR", "string", 4},
          {"NMFANVEN", "string", 50}, {"VRPECOMVEN", "float", 0}, {"IDGERACOMISVEND", "string", 1},
          {"IDCANCCOMISPED", "string", 20}, {"DSMOTCANCCOMISPED", "string", 350}}},
        {"GetItemPedido", {"0001", "0000000001"}, -1,
         {{"NRPEDIDO", "string", 10}, {"CDARVPROD", "string", 20}, {"NMPRODUTO", "string", 50}, {"QTITEMPED", "float", 0},
          {"SGUNIDADE", "string", 10}, {"CDCLIENTE", "string", 21}, {"VRPREUNITPED", "float", 0}, {"NRITEMPED", "string", 10},
          {"IDSITITEMPED", "string", 1}, {"QTEXPITEMPED", "float", 0}, {"VRPREUNIT", "float", 0}, {"CDFILIAL", "string", 4},
          {"CDFATPRECO", "string", 3}, {"QTITEMPED2", "float", 0}, {"SGFATPRECO", "string", 4}, {"CDPRODESTO", "string", 10},
          {"DTENTITPED", "datetime", 0}, {"IDITPEDDIFER", "string", 1}, {"VRPESOITPED", "float", 0}, {"SGUNIDPAI", "string", 5},
          {"CDPRODUTO", "string", 10}, {"VRPESOBRUTPR", "float", 0}, {"VRPESOLIQUPR", "float", 0}, {"DATA", "datetime", 0}}},
        {"GetContaPaga", {"0001", "0000000001"}, -1,
         {{"CDFILIALPAG", "string", 4}, {"NRLANCTOPAG", "string", 10}, {"NRSEQVENPAG", "string", 2}, {"NRPARCELAPAG", "string", 2},
          {"CDFILIALREC", "string", 4}, {"NRLANCTOREC", "string", 10}, {"NRSEQVENREC", "string", 2}, {"NRPARCELAREC", "string", 2}}},
        {"GetLanc", {"0001", "0000000001", "001"}, 0, {{"NRLANCTONF", "string", 10}, {"DTENTRSAID", "datetime", 0}}},
        {"GetLanc", {"0001", "0000000001", "001"}, 1,
         {{"CDFILIAL", "string", 4}, {"NRPEDIDO", "string", 10}, {"NRITEMPED", "string", 10}, {"CDVENDEDOR", "string", 4},
          {"NMFANVEN", "string", 50}, {"VRPECOMITPED", "float", 0}, {"IDGERACOMISVEND", "string", 1}, {"IDCARGOVEND", "string", 1}}},
        {"GetPesqVendedor", {""}, -1,
         {{"CDVENDEDOR", "string", 4}, {"NMFANVEN", "string", 50}, {"VRPECOMVEN", "float", 0}, {"IDGERACOMISVEND", "string", 1},
          {"IDCARGOVEND", "string", 1}}},
        {"GetToTiComi", {"0001", "0000000001", "001"}, -1, {{"VRTOTALPERC", "float", 0}}},
        {"GetFiltraVend", json::array(), -1,
         {{"IDMARCADO", "string", 1}, {"CDVENDEDOR", "string", 4}, {"NMFANVEN", "string", 50}, {"IDGERACOMISVEND", "string", 1}}},
        {"GetNrpedido", {"0001"}, -1, {{"IDMARCADO", "string", 1}, {"NRPEDIDO", "string", 10}, {"NMFANTCLIE", "string", 50}}},
        {"GetMuniciCli", {"", "T"}, -1,
         {{"IDMARCADO", "string", 1}, {"CDMUNICIPIO", "string", 4}, {"NMMUNICIPIO", "string", 30}, {"SGESTADO", "string", 2},
          {"NMPAIS", "string", 30}, {"CONCATENADOS", "string", 10}}},
        {"GetRegraComissao", {"0001", "0002", "P00001", 10.0, "N", "CLI00001"}, -1, {{"VRPECOMISSAO", "float", 0}, {"DSREGRA", "string", 100}}},
        {"GetHistComissao", {"0001", "0000000001", "001"}, -1,
         {{"DTHRALTER", "datetime", 0}, {"CDOPERADOR", "string", 32}, {"IDACAO", "string", 1}, {"CDVENDEDOR", "string", 4},
          {"NMFANVEN", "string", 50}, {"VRPECOMITPEDANT", "float", 0}, {"VRPECOMITPED", "float", 0}}},
    };
    for (const Shape& sh : shapes) {
        SCOPED_TRACE(sh.method);
        const json j = s->call(*tok, sh.method, sh.params);
        ASSERT_TRUE(j.contains("result")) << j.dump();
        const json& p = sh.element < 0 ? j["result"] : j["result"][static_cast<size_t>(sh.element)];
        ASSERT_EQ(p["fields"].size(), sh.fields.size());
        for (size_t i = 0; i < sh.fields.size(); ++i) {
            const auto& [name, type, size] = sh.fields[i];
            EXPECT_EQ(p["fields"][i]["name"], name);
            EXPECT_EQ(p["fields"][i]["type"], type) << name;
            if (type == "string") {
                EXPECT_EQ(p["fields"][i]["size"], size) << name;
            }
        }
        for (const auto& row : p["rows"])
            ASSERT_EQ(row.size(), sh.fields.size());
    }
    const json num = s->call(*tok, "GetBuscaComissao", {"0001", "0002", "P00001", 10.0, "N", "CLI00001"});
    EXPECT_TRUE(num["result"].is_number());
    const json nota = s->call(*tok, "GetNota", {"0001", "0000000001"}, "Ped00103.rdmNotaPedido");
    EXPECT_EQ(nota["result"]["fields"].size(), 4u);
    EXPECT_EQ(s->call(*tok, "getParametros", {"9999", "ADM", "0001"})["error"]["code"], -32000);
}

TEST_F(Reads, EachOrderCriterionSelectsExactlyItsOrders)
{
    OrderFilter all;
    EXPECT_EQ(orders(all), expected(QStringLiteral("EXISTS (SELECT 1 FROM ITEMPEDIDO I WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = P.NRPEDIDO)")));
    EXPECT_GT(orders(all).size(), 100u);

    OrderFilter interval;
    interval.noInterval = "";
    interval.from = "0000000010";
    interval.to = "0000000020";
    EXPECT_EQ(orders(interval), expected(QStringLiteral("P.NRPEDIDO BETWEEN '0000000010' AND '0000000020'")));

    OrderFilter list;
    list.allNumbers = "";
    list.numbers = " '0000000005' ,0000000009,,0000000003";
    EXPECT_EQ(orders(list), (std::vector<std::string>{"0000000003", "0000000005", "0000000009"}));

    const QString vend = firstValue(QStringLiteral("SELECT CDVENDEDOR FROM COMISITEMPED WHERE CDFILIAL = '0001' ORDER BY NRPEDIDO DESC"));
    OrderFilter bySalesman;
    bySalesman.allSalesmen = "";
    bySalesman.salesmen = vend.toStdString();
    EXPECT_EQ(orders(bySalesman), expected(QStringLiteral("P.CDVENDEDOR = ? OR EXISTS (SELECT 1 FROM COMISITEMPED C WHERE "
                                                         "C.CDFILIAL = P.CDFILIAL AND C.NRPEDIDO = P.NRPEDIDO AND C.CDVENDEDOR = ?)"),
                                           {vend, vend}));

    OrderFilter byCustomer;
    byCustomer.allCustomers = "";
    const QString c1 = firstValue(QStringLiteral("SELECT CDCLIENTE FROM PEDIDO WHERE CDFILIAL = '0001'"));
    const QString c2 = firstValue(QStringLiteral("SELECT CDCLIENTE FROM PEDIDO WHERE CDFILIAL = '0001' ORDER BY NRPEDIDO DESC"));
    byCustomer.customers = (c1 + "," + c2).toStdString();
    EXPECT_EQ(orders(byCustomer), expected(QStringLiteral("P.CDCLIENTE IN (?, ?)"), {c1, c2}));

    OrderFilter byProduct;
    byProduct.allProducts = "";
    const QString arv = firstValue(QStringLiteral("SELECT PR.CDARVPROD FROM ITEMPEDIDO I JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO WHERE I.CDFILIAL = '0001'"));
    byProduct.products = arv.toStdString();
    EXPECT_EQ(orders(byProduct), expected(QStringLiteral("EXISTS (SELECT 1 FROM ITEMPEDIDO I JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO "
                                                        "WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = P.NRPEDIDO AND PR.CDARVPROD = ?)"),
                                          {arv}));

    OrderFilter prio;
    prio.priorities = "3";
    EXPECT_EQ(orders(prio), expected(QStringLiteral("P.IDPRIORIDADE = '3'")));

    OrderFilter status;
    status.orderStatus = "35";
    EXPECT_EQ(orders(status), expected(QStringLiteral("P.IDSITPEDIDO IN ('3', '5')")));
    EXPECT_FALSE(orders(status).empty());

    OrderFilter itemStatus;
    itemStatus.itemStatus = "5";
    EXPECT_EQ(orders(itemStatus), expected(QStringLiteral("EXISTS (SELECT 1 FROM ITEMPEDIDO I WHERE I.CDFILIAL = P.CDFILIAL AND "
                                                          "I.NRPEDIDO = P.NRPEDIDO AND I.IDSITITEMPED = '5')")));

    const double today = fw::date::today();
    OrderFilter entry;
    entry.noEntryDate = "";
    entry.entryFrom = today - 2;
    entry.entryTo = today - 1;
    EXPECT_EQ(orders(entry), expected(QStringLiteral("P.DTPEDIDO >= ? AND P.DTPEDIDO < ?"), {today - 2, today}));
    EXPECT_FALSE(orders(entry).empty());

    OrderFilter delivery;
    delivery.noDelivery = "";
    delivery.deliveryFrom = today + 3;
    delivery.deliveryTo = today + 3;
    EXPECT_EQ(orders(delivery), expected(QStringLiteral("P.DTENTPED >= ? AND P.DTENTPED < ?"), {today + 3, today + 4}));

    const QString mun = firstValue(QStringLiteral("SELECT E.CDPAIS || E.SGESTADO || E.CDMUNICIPIO FROM PEDIDO P JOIN ENDECLIE E ON "
                                                  "E.CDCLIENTE = P.CDCLIENTE AND E.IDTPENDECLIE = 'P' WHERE P.CDFILIAL = '0001'"));
    OrderFilter byMun;
    byMun.allMunicipalities = "";
    byMun.municipalities = mun.toStdString();
    EXPECT_EQ(orders(byMun), expected(QStringLiteral("EXISTS (SELECT 1 FROM ENDECLIE E WHERE E.CDCLIENTE = P.CDCLIENTE AND "
                                                     "E.IDTPENDECLIE = 'P' AND E.CDPAIS || E.SGESTADO || E.CDMUNICIPIO = ?)"),
                                      {mun}));

    OrderFilter quotations;
    quotations.orders = "";
    EXPECT_EQ(orders(quotations), expected(QStringLiteral("P.IDTIPOPEDIDO = '2'")));

    OrderFilter own;
    own.ownOperator = "VEND01";
    EXPECT_EQ(orders(own), expected(QStringLiteral("P.CDVENDEDOR = '0001'")));

    const QString oc = firstValue(QStringLiteral("SELECT NRORDEMCOMPRA FROM PEDIDO WHERE CDFILIAL = '0001' AND NRORDEMCOMPRA NOT LIKE 'OC%'"));
    ASSERT_FALSE(oc.isEmpty());
    OrderFilter purchase;
    purchase.purchaseOrder = ("000" + oc).toStdString(); // compared as Ajusta normalises both sides
    EXPECT_EQ(orders(purchase), expected(QStringLiteral("P.NRORDEMCOMPRA = ?"), {oc}));
}

TEST_F(Reads, EmptyCodeListsAdmitNothing)
{
    OrderFilter cancelledFirstDialog;
    cancelledFirstDialog.priorities = "";
    cancelledFirstDialog.orderStatus = "";
    cancelledFirstDialog.itemStatus = "";
    cancelledFirstDialog.orders = "";
    cancelledFirstDialog.quotations = "";
    EXPECT_TRUE(orders(cancelledFirstDialog).empty());
    OrderFilter noList;
    noList.allCustomers = "";
    EXPECT_TRUE(orders(noList).empty());
}

TEST_F(Reads, TheVisibilityRuleIsEnforcedFromTheSession)
{
    OrderFilter branch2;
    branch2.branch = "0002";
    const std::string vendTok = s->token(QStringLiteral("VEND01"));
    const auto mine = orders(branch2, vendTok); // asks for everything
    EXPECT_EQ(mine, expected(QStringLiteral("P.CDVENDEDOR = '0001' AND EXISTS (SELECT 1 FROM ITEMPEDIDO I WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = P.NRPEDIDO)"), {},
                             QStringLiteral("0002")));
    EXPECT_TRUE(orders(branch2, s->token(QStringLiteral("CONSULTA"))).empty());
    EXPECT_GT(orders(branch2, s->token(QStringLiteral("GERENTE"))).size(), mine.size()); // an exception of the rule
}

TEST_F(Reads, CommissionRulesPreferTheMostSpecificThenTheLowestNumber)
{
    s->db->exec(QStringLiteral("DELETE FROM REGRACOMISSAO WHERE CDFILIAL = '0001'"));
    auto rule = [&](int n, QVariant vend, QVariant prod, QVariant cli, QVariant type, QVariant min, QVariant max, double pct) {
        s->db->exec(QStringLiteral("INSERT INTO REGRACOMISSAO VALUES (?, '0001', ?, ?, ?, ?, ?, ?, ?, ?)"),
                    {n, vend, prod, cli, type, min, max, pct, QStringLiteral("regra %1").arg(n)});
    };
    const QVariant none = QVariant(QMetaType(QMetaType::QString));
    const QVariant noNum = QVariant(QMetaType(QMetaType::Double));
    rule(901, "0002", none, none, none, noNum, noNum, 7.0);
    rule(902, "0002", "P00001", none, none, noNum, noNum, 8.0);
    rule(903, none, "P00001", "CLI00001", none, noNum, noNum, 9.0); // as specific as 902: the lower number wins
    rule(904, "0002", "P00001", none, none, 100.0, 200.0, 9.5);
    auto pct = [&](const char* vend, const char* prod, double price, const char* type, const char* cli) {
        return s->call(*tok, "GetBuscaComissao", {"0001", vend, prod, price, type, cli})["result"].get<double>();
    };
    EXPECT_EQ(pct("0002", "P00002", 10, "N", "CLI00009"), 7.0);
    EXPECT_EQ(pct("0002", "P00001", 10, "N", "CLI00009"), 8.0);
    EXPECT_EQ(pct("0002", "P00001", 10, "N", "CLI00001"), 8.0);
    EXPECT_EQ(pct("0002", "P00001", 150, "N", "CLI00001"), 9.5);
    const double standard = s->db->scalar(QStringLiteral("SELECT VRPECOMVEN FROM VENDEDOR WHERE CDVENDEDOR = '0003'")).toDouble();
    EXPECT_EQ(pct("0003", "P00005", 10, "N", "CLI00002"), standard);
    const json desc = s->call(*tok, "GetRegraComissao", {"0001", "0003", "P00005", 10.0, "N", "CLI00002"});
    EXPECT_EQ(desc["result"]["rows"][0][1], "Percentual padrão do vendedor");
    EXPECT_EQ(s->call(*tok, "GetBuscaComissao", {"0001", "9999", "P00001", 1.0, "N", "CLI00001"})["error"]["code"], -32000);
}

TEST_F(Reads, MunicipalityMembershipIsExactNotASubstring)
{
    const json all = s->call(*tok, "GetMuniciCli", {"", "T"});
    const json one = s->call(*tok, "GetMuniciCli", {"CLI00001", ""});
    const json prefix = s->call(*tok, "GetMuniciCli", {"CLI0000", ""}); // a prefix of many codes
    EXPECT_GT(all["result"]["rows"].size(), one["result"]["rows"].size());
    EXPECT_GE(one["result"]["rows"].size(), 1u);
    EXPECT_EQ(prefix["result"]["rows"].size(), 0u);
    EXPECT_EQ(s->call(*tok, "GetMuniciCli", {"", ""})["result"]["rows"].size(), 0u);
}

} // namespace
