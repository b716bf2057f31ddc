#pragma once

// Which orders the commission screen asks the server for. On the wire it is
// GetPedido's thirty positional arguments; encodeOrderQuery and
// decodeOrderQuery are the only code that knows the positions.
#include "NetConnection.h"

#include <QString>
#include <functional>
#include <vector>

namespace fw {

struct OrderQuery {
    // A list criterion: every code, or only those of the list (as the
    // pickers write it).
    struct Codes {
        bool all = true;
        QString list;
        bool operator==(const Codes&) const = default;
    };

    QString branch;
    bool numberRange = false; // only numbers from numberFrom to numberTo
    QString numberFrom, numberTo;
    Codes numbers, salesmen, customers, products, municipalities;
    // Code characters: priorities "3" normal, "2" high, "1" urgent; the
    // order and item statuses as the filter writes them.
    QString priorities, orderStatuses, itemStatuses;
    bool anyIssueDate = true;
    double issuedFrom = 0, issuedTo = 0; // days since 1899-12-30
    bool anyDeliveryDate = true;
    double deliveryFrom = 0, deliveryTo = 0;
    QString operatorCode; // only the orders of this operator's salesmen ("": any)
    bool orders = false, quotes = false; // the order types asked for
    QString purchaseOrder;               // "": any

    bool operator==(const OrderQuery&) const = default;
};

// GetPedido's parameter kinds, by position (S text, D number).
inline constexpr const char* kOrderQuerySignature = "SSSSSSSSSSSSSSSSSSDDSDDSSSSSSS";

std::vector<RpcArg> encodeOrderQuery(const OrderQuery& q);
// From arguments already checked against kOrderQuerySignature, by position
// from 0; the "every code" flags the server derives itself are not read.
OrderQuery decodeOrderQuery(const std::function<QString(size_t)>& text, const std::function<double(size_t)>& number);

} // namespace fw
