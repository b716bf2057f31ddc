#pragma once

#include "Storage.h"
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
    // A few indexed rows of one order or branch, never a lock to wait for:
    // answered on the thread that read the request.
    bool quick = false;
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
inline fw::FieldDef I(const char* name) { return {QString::fromLatin1(name), fw::FieldType::Integer, 0}; }

std::string packetOf(Db& db, const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields);
std::string arrayOf(const std::vector<std::string>& elements);
std::string numberJson(double v);

// " IN (?,?,...)" for the items, appended to params; "1=0" style when empty.
QString inClause(const QString& expr, const std::vector<QString>& items, QVariantList& params);
// The characters of a code list ("35" -> "3", "5").
std::vector<QString> codeChars(const QString& codes);

// Who may see and touch which orders of a branch. An operator is restricted
// when the branch shows each operator only his salesman's orders and he is
// not one of its exceptions; he then sees only the orders whose salesman is
// linked to him (none linked: none). Everyone else sees every order.
class OrderAccess {
public:
    OrderAccess(Db& db, const QString& branch, const QString& op);
    bool restricted() const { return m_restricted; }
    // The rule as a condition on the order row `alias` (empty when
    // unrestricted); its values are appended to p.
    QString condition(const QString& alias, QVariantList& p) const;
    // The order exists in the branch and the operator may see it.
    bool sees(const QString& order) const;
    // The operator may give an order to this salesman.
    bool mayAssign(const QString& salesman) const;

private:
    Db& m_db;
    QString m_branch, m_op;
    bool m_restricted = false;
};

// The one refusal of an order that does not exist or that the operator may
// not see: the answer tells nothing about it.
const QString& orderNotFound();
// The refusal of what a restricted operator may not do on his own orders.
const QString& restrictedRefusal();
// Refuses with orderNotFound() unless the operator sees the order.
OrderAccess requireOrder(CallContext& c, const QString& branch, const QString& order);
// For reads: "" when the operator sees the order, else a condition that
// matches nothing, so that the order answers exactly as a missing one.
QString unlessHidden(CallContext& c, const QString& branch, const QString& order);

// An order-level event in the audit trail (who, when, what, before, after).
void auditOrder(Db& db, const QString& branch, const QString& order, const QString& item, const QString& op,
                const QString& action, const QString& before, const QString& after);

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
// The number of lines changed.
std::string setBuscaComissao(CallContext& c);
// What setBuscaComissao would change now, with nothing written: a packet of
// totals (lines, orders), one of sums per salesman (before and after, over
// the lines changed) and one of the first kSimulatedLines changed lines.
std::string getSimulaBuscaComissao(CallContext& c);
constexpr size_t kSimulatedLines = 200;

} // namespace srv
