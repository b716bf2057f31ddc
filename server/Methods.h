#pragma once

#include "Database.h"
#include "Rpc.h"

#include "core/RecordSet.h"

#include <QHash>
#include <QString>
#include <unordered_map>
#include <string>
#include <vector>

namespace srv {

// One call being served: the connection, the session's operator and the
// checked parameters.
struct CallContext {
    Db& db;
    QString op;
    const std::vector<Param>& params;

    const QString& str(size_t i) const { return params[i].text; }
    double num(size_t i) const { return params[i].number; }
    bool flag(size_t i) const { return params[i].flag; }
    const std::string& object(size_t i) const { return params[i].raw; }
    // The operator argument must be the session's own.
    void requireOperator(size_t i) const;
};

using Handler = std::string (*)(CallContext&);

struct MethodDef {
    const char* server;
    const char* name;
    const char* signature; // S text, D number, B Boolean, C change set
    Handler handler;
    bool writes;
};

// The refusal of a change set whose old values are no longer stored (also
// when a concurrent writer keeps getting in the way).
const QString& conflictRefusal();

// Every method of both servers.
const std::vector<MethodDef>& methodTable();
const MethodDef* findMethod(const QString& server, const QString& name);
bool knownServer(const QString& server);
void checkSignature(const MethodDef& m, const std::vector<Param>& params);

// Field definitions of packets.
inline fw::FieldDef S(const char* name, int size) { return {QString::fromLatin1(name), fw::FieldType::String, size}; }
inline fw::FieldDef F(const char* name) { return {QString::fromLatin1(name), fw::FieldType::Float, 0}; }
inline fw::FieldDef T(const char* name) { return {QString::fromLatin1(name), fw::FieldType::DateTime, 0}; }

std::string packetOf(Db& db, const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields);
std::string arrayOf(const std::vector<std::string>& elements);
std::string numberJson(double v);

// " IN (?,?,...)" for the items, appended to params; "1=0" style when empty.
QString inClause(const QString& expr, const std::vector<QString>& items, QVariantList& params);
// The characters of a code list ("35" -> "3", "5").
std::vector<QString> codeChars(const QString& codes);

// Visibility rule: the branch shows an operator only his salesman's orders.
bool restrictedToOwnOrders(Db& db, const QString& branch, const QString& op);

// Commission rules.
struct RuleMatch {
    double percent = 0;
    QString description;
};
// The rules of one branch, loaded once for many lookups.
class RuleBook {
public:
    RuleBook(Db& db, const QString& branch);
    RuleMatch match(const QString& salesman, const QString& product, double unitPrice, const QString& itemType,
                    const QString& customer);

private:
    Db& m_db;
    std::vector<Row> m_rules;
    std::unordered_map<QString, double> m_salesmen;
};
RuleMatch findCommissionRule(Db& db, const QString& branch, const QString& salesman, const QString& product,
                             double unitPrice, const QString& itemType, const QString& customer);

// Writes an audit row of a commission line.
void audit(Db& db, const QString& branch, const QString& order, const QString& item, const QString& op, char action,
           const QString& salesman, const QVariant& before, const QVariant& after);

// Now as days since 1899-12-30.
double nowDays();
// Hundredths of a percentage, the unit totals are compared in.
long long hundredths(double v);

// Handlers, by concern.
std::string getParametros(CallContext& c);
std::string getPedido(CallContext& c);
std::string getItemPedido(CallContext& c);
std::string getNrpedido(CallContext& c);
std::string getNota(CallContext& c);
std::string getContaPaga(CallContext& c);
std::string getLanc(CallContext& c);
std::string getPesqVendedor(CallContext& c);
std::string getPesqVendItem(CallContext& c);
std::string getBuscaComissao(CallContext& c);
std::string getRegraComissao(CallContext& c);
std::string getToTiComi(CallContext& c);
std::string getHistComissao(CallContext& c);
std::string getFiltraVend(CallContext& c);
std::string getMuniciCli(CallContext& c);
std::string setVendedor(CallContext& c);
std::string setPedido(CallContext& c);
std::string setItemPedido(CallContext& c);
std::string setCancelaComissaoPed(CallContext& c);
std::string setBuscaComissao(CallContext& c);

} // namespace srv
