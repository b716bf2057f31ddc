// The order query on the wire: the positions the server has always read,
// and a query decoded as it was encoded.
#include "core/OrderQuery.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/QtPrint.h"

using namespace fw;

namespace {

// Every member distinct, so that two swapped positions show.
OrderQuery filled()
{
    OrderQuery q;
    q.branch = QStringLiteral("0002");
    q.numberRange = true;
    q.numberFrom = QStringLiteral("0000000010");
    q.numberTo = QStringLiteral("0000000020");
    q.numbers = {false, QStringLiteral("0000000011,0000000012")};
    q.salesmen = {false, QStringLiteral("0001,0007")};
    q.customers = {false, QStringLiteral("CLI00001")};
    q.products = {false, QStringLiteral("1010010001")};
    q.priorities = QStringLiteral("321");
    q.orderStatuses = QStringLiteral("12");
    q.itemStatuses = QStringLiteral("123465");
    q.anyIssueDate = false;
    q.issuedFrom = 45000;
    q.issuedTo = 45010;
    q.anyDeliveryDate = false;
    q.deliveryFrom = 45020;
    q.deliveryTo = 45030;
    q.municipalities = {false, QStringLiteral("1058SP3550")};
    q.operatorCode = QStringLiteral("VEND01");
    q.orders = true;
    q.quotes = false;
    q.purchaseOrder = QStringLiteral("OC-17");
    return q;
}

nlohmann::json wire(const OrderQuery& q)
{
    std::string out = "[";
    for (const RpcArg& a : encodeOrderQuery(q)) {
        if (out.size() > 1)
            out += ',';
        out += a.wire();
    }
    return nlohmann::json::parse(out + "]");
}

OrderQuery decoded(const nlohmann::json& args)
{
    return decodeOrderQuery([&](size_t i) { return args[i].is_string() ? QString::fromStdString(args[i].get<std::string>()) : QString(); },
                            [&](size_t i) { return args[i].is_number() ? args[i].get<double>() : 0.0; });
}

TEST(OrderQuery, EncodesTheThirtyPositionsTheServerReads)
{
    const nlohmann::json args = wire(filled());
    const nlohmann::json expected = nlohmann::json::parse(R"([
        "", "0000000010", "0000000020", "", "0000000011,0000000012",
        "", "0001,0007", "", "CLI00001", "", "1010010001",
        "321", "T", "12", "", "123465", "T",
        "", 45000, 45010, "", 45020, 45030,
        "1058SP3550", "", "VEND01", "1", "", "0002", "OC-17"])");
    EXPECT_EQ(args, expected);
    ASSERT_EQ(args.size(), std::string_view(kOrderQuerySignature).size());
    for (size_t i = 0; i < args.size(); ++i)
        EXPECT_EQ(args[i].is_number(), kOrderQuerySignature[i] == 'D') << "position " << i + 1;
}

TEST(OrderQuery, DecodesWhatWasEncoded)
{
    EXPECT_EQ(decoded(wire(filled())), filled());
    const OrderQuery everything; // every flag "all", no dates, no types
    EXPECT_EQ(decoded(wire(everything)), everything);
    OrderQuery types;
    types.quotes = true;
    EXPECT_EQ(wire(types)[26], "");
    EXPECT_EQ(wire(types)[27], "2");
    EXPECT_EQ(decoded(wire(types)), types);
}

} // namespace
