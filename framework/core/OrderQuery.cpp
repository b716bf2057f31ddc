#include "OrderQuery.h"

namespace fw {

namespace {

// The server's Boolean text: "T" or empty.
QString flag(bool on)
{
    return on ? QStringLiteral("T") : QString();
}

} // namespace

std::vector<RpcArg> encodeOrderQuery(const OrderQuery& q)
{
    return {
        flag(!q.numberRange),                        // 1
        q.numberFrom,                                // 2
        q.numberTo,                                  // 3
        flag(q.numbers.all),                         // 4
        q.numbers.list,                              // 5
        flag(q.salesmen.all),                        // 6
        q.salesmen.list,                             // 7
        flag(q.customers.all),                       // 8
        q.customers.list,                            // 9
        flag(q.products.all),                        // 10
        q.products.list,                             // 11
        q.priorities,                                // 12
        flag(q.priorities == QLatin1String("321")),  // 13
        q.orderStatuses,                             // 14
        flag(q.orderStatuses == QLatin1String("12354")), // 15
        q.itemStatuses,                              // 16
        flag(q.itemStatuses == QLatin1String("123465")), // 17
        flag(q.anyIssueDate),                        // 18
        q.issuedFrom,                                // 19
        q.issuedTo,                                  // 20
        flag(q.anyDeliveryDate),                     // 21
        q.deliveryFrom,                              // 22
        q.deliveryTo,                                // 23
        q.municipalities.list,                       // 24
        flag(q.municipalities.all),                  // 25
        q.operatorCode,                              // 26
        q.orders ? QStringLiteral("1") : QString(),  // 27
        q.quotes ? QStringLiteral("2") : QString(),  // 28
        q.branch,                                    // 29
        q.purchaseOrder,                             // 30
    };
}

OrderQuery decodeOrderQuery(const std::function<QString(size_t)>& text, const std::function<double(size_t)>& number)
{
    // positions from 1, as the list above counts them
    auto a = [&](size_t n) { return text(n - 1); };
    auto d = [&](size_t n) { return number(n - 1); };
    auto isT = [&](size_t n) { return a(n) == QLatin1String("T"); };
    OrderQuery q;
    q.numberRange = !isT(1);
    q.numberFrom = a(2);
    q.numberTo = a(3);
    q.numbers = {isT(4), a(5)};
    q.salesmen = {isT(6), a(7)};
    q.customers = {isT(8), a(9)};
    q.products = {isT(10), a(11)};
    q.priorities = a(12);
    q.orderStatuses = a(14);
    q.itemStatuses = a(16);
    q.anyIssueDate = isT(18);
    q.issuedFrom = d(19);
    q.issuedTo = d(20);
    q.anyDeliveryDate = isT(21);
    q.deliveryFrom = d(22);
    q.deliveryTo = d(23);
    q.municipalities = {isT(25), a(24)};
    q.operatorCode = a(26);
    q.orders = a(27).contains(QLatin1Char('1'));
    q.quotes = a(28).contains(QLatin1Char('2'));
    q.branch = a(29);
    q.purchaseOrder = a(30);
    return q;
}

} // namespace fw
