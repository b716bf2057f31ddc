// The write methods. Each runs in one transaction: all of it or nothing.
#include "Methods.h"

#include "core/ChangeSet.h"
#include "core/DateUtil.h"
#include "core/FormatUtil.h"
#include "core/FwError.h"
#include "core/Packet.h"

#include <QDateTime>
#include <map>
#include <set>
#include <tuple>

namespace srv {

const QString& conflictRefusal()
{
    static const QString text = QStringLiteral("Registro alterado por outro usuário. Recarregue os dados.");
    return text;
}

namespace {

// Texts the screens show for the same refusals.
const QString& kConflict = conflictRefusal();
const QString kPeriod = QStringLiteral("Operação bloqueada. A comissão está parametrizada para ser gerada por período "
                                       "na tela de Cálculo de comissão do vendedor por período.");
const QString kPayables = QStringLiteral("Operação bloqueada. Já existe comissão gerada para o pedido.");
const QString kTotal = QStringLiteral("Valor total das comissões de um item deve estar entre 0 e 100%.");
const QString kSalesman = QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão.");
const QString kPercent = QStringLiteral("Percentual de comissão deve ser maior que zero.");
const QString kItemLocked = QStringLiteral("Operação bloqueada. O item do pedido está liquidado, cancelado ou "
                                           "parcialmente atendido.");

fw::ChangeSet decode(const std::string& json)
{
    try {
        return fw::decodeChangeSet(json);
    } catch (const fw::Error& e) {
        throw badParams(e.text());
    }
}

int need(const fw::ChangeSet& cs, const char* field)
{
    const int i = cs.fieldIndex(QString::fromLatin1(field));
    if (i < 0)
        throw badParams(QStringLiteral("O conjunto de alterações não traz o campo %1.").arg(QLatin1String(field)));
    return i;
}

QString text(const fw::ChangeSet::Change& ch, bool oldRow, int i)
{
    const auto& row = oldRow ? ch.oldRow : ch.newRow;
    return row[static_cast<size_t>(i)].toString().trimmed();
}

bool locked(const QString& itemStatus)
{
    return itemStatus > QLatin1String("3");
}

bool salesmanAllowed(Db& db, const QString& code)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM VENDEDOR WHERE CDVENDEDOR = ? AND IDGERACOMISVEND = 'S'"),
                     {code})
               .toInt()
        > 0;
}

bool hasPayables(Db& db, const QString& branch, const QString& order)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM CONTAPAGA WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {branch, order})
               .toInt()
        > 0;
}

QString periodMode(Db& db, const QString& branch)
{
    return db.scalar(QStringLiteral("SELECT IDCOMISPERIODO FROM PAREXPEDICAO WHERE CDFILIAL = ?"), {branch})
        .toString()
        .trimmed();
}

// The stored percentage of a line, or null when the line does not exist.
QVariant storedLine(Db& db, const QString& b, const QString& o, const QString& i, const QString& vend)
{
    const auto r = db.rows(QStringLiteral("SELECT VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                          "AND NRITEMPED = ? AND CDVENDEDOR = ?"),
                           {b, o, i, vend});
    return r.empty() ? QVariant() : QVariant(r[0][0].toDouble());
}

using ItemKey = std::tuple<QString, QString, QString>;

QString itemStatus(Db& db, const ItemKey& k)
{
    const auto r = db.rows(QStringLiteral("SELECT IDSITITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? AND "
                                          "NRITEMPED = ?"),
                           {std::get<0>(k), std::get<1>(k), std::get<2>(k)});
    if (r.empty())
        throw refused(QStringLiteral("Item %1 do pedido %2 não encontrado.").arg(std::get<2>(k), std::get<1>(k)));
    return r[0][0].toString().trimmed();
}

// Refuses an item whose lines add up to more than 100 % (or less than 0).
// The batch paths name the item, which the user did not pick himself.
void checkTotal(Db& db, const ItemKey& k, bool nameItem = false)
{
    const double sum = db.scalar(QStringLiteral("SELECT COALESCE(SUM(VRPECOMITPED), 0) FROM COMISITEMPED WHERE "
                                                "CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                                 {std::get<0>(k), std::get<1>(k), std::get<2>(k)})
                           .toDouble();
    const long long h = std::llround(sum * 100.0);
    if (h >= 0 && h <= 10000)
        return;
    if (!nameItem)
        throw refused(kTotal);
    throw refused(QStringLiteral("%1 Pedido %2, item %3: %4 %.")
                      .arg(kTotal, std::get<1>(k), std::get<2>(k),
                           fw::fmt::formatFloat(QStringLiteral("#,##0.00"), static_cast<double>(h) / 100.0)));
}

// Firebird: the writers of an order take its row first, always in key
// order, so that two sets touching the same orders queue up instead of each
// holding lines the other wants (a deadlock Firebird only sees after its
// DeadlockTimeout, ten seconds by default). SQLite has one writer at a time.
void lockOrders(CallContext& c, const std::set<std::pair<QString, QString>>& orders)
{
    if (c.db.dialect() != Dialect::Firebird)
        return;
    for (const auto& [branch, order] : orders)
        c.db.rows(QStringLiteral("SELECT NRPEDIDO FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? WITH LOCK"), {branch, order});
}

// The orders of a change set's rows (the old row of a deletion), locked.
void lockOrders(CallContext& c, const fw::ChangeSet& cs, int fB, int fO)
{
    std::set<std::pair<QString, QString>> orders;
    for (const auto& ch : cs.changes) {
        const bool del = ch.op == fw::ChangeSet::Op::Delete;
        orders.insert({text(ch, del, fB), text(ch, del, fO)});
    }
    lockOrders(c, orders);
}

struct Written {
    QString branch, order, item, salesman;
    double percent;
};

// Adds or changes a line of the salesman on every other open item of the
// order, under the gates of a direct change of those lines. A restricted
// operator adds no lines: he only changes the ones there.
void writeOnOtherItems(CallContext& c, const Written& w, bool mayInsert, std::set<ItemKey>& touched)
{
    const bool payables = hasPayables(c.db, w.branch, w.order);
    const QString period = periodMode(c.db, w.branch);
    const auto items = c.db.rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                                "AND NRITEMPED <> ? AND IDSITITEMPED <= '3'"),
                                 {w.branch, w.order, w.item});
    for (const Row& r : items) {
        const QString item = r[0].toString();
        const QVariant stored = storedLine(c.db, w.branch, w.order, item, w.salesman);
        if (stored.isNull()) {
            if (!mayInsert)
                continue;
            if (period == QLatin1String("S"))
                throw refused(kPeriod);
            c.db.exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                     "VALUES (?, ?, ?, ?, ?)"),
                      {w.branch, w.order, item, w.salesman, w.percent});
            audit(c.db, w.branch, w.order, item, c.op, 'I', w.salesman, {}, w.percent);
        } else if (hundredths(stored.toDouble()) != hundredths(w.percent)) {
            if (period != QLatin1String("N"))
                throw refused(kPeriod);
            if (payables)
                throw refused(kPayables);
            c.db.exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = ? WHERE CDFILIAL = ? AND NRPEDIDO = ? AND "
                                     "NRITEMPED = ? AND CDVENDEDOR = ?"),
                      {w.percent, w.branch, w.order, item, w.salesman});
            audit(c.db, w.branch, w.order, item, c.op, 'A', w.salesman, stored, w.percent);
        }
        touched.insert({w.branch, w.order, item});
    }
}

QString stamp(const QString& what, const QString& op)
{
    return QStringLiteral("%1 por %2 em %3")
        .arg(what, op, QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")))
        .left(350);
}

// Recomputes from the rules every line of the order's open items; the items
// whose lines changed go into touched. The history tells a regeneration
// ('G') from a recalculation of a date range ('R').
// One line a recalculation changed.
struct LineChange {
    QString branch, order, item, salesman;
    double before, after;
};

int recomputeOrder(CallContext& c, RuleBook& rules, const QString& branch, const QString& order,
                   std::set<ItemKey>& touched, char action, std::vector<LineChange>* changes = nullptr)
{
    const auto lines = c.db.rows(
        QStringLiteral("SELECT CI.NRITEMPED, CI.CDVENDEDOR, CI.VRPECOMITPED, I.CDPRODUTO, I.VRPREUNITPED, "
                       "I.IDITPEDDIFER, P.CDCLIENTE FROM COMISITEMPED CI JOIN ITEMPEDIDO I ON I.CDFILIAL = CI.CDFILIAL "
                       "AND I.NRPEDIDO = CI.NRPEDIDO AND I.NRITEMPED = CI.NRITEMPED JOIN PEDIDO P ON "
                       "P.CDFILIAL = I.CDFILIAL AND P.NRPEDIDO = I.NRPEDIDO WHERE CI.CDFILIAL = ? AND CI.NRPEDIDO = ? "
                       "AND I.IDSITITEMPED <= '3' ORDER BY CI.NRITEMPED, CI.CDVENDEDOR"),
        {branch, order});
    int changed = 0;
    for (const Row& l : lines) {
        const double now = fw::fmt::roundDecimal(
            rules.match(l[1].toString(), l[3].toString(), l[4].toDouble(), l[5].toString(), l[6].toString()).percent, 2);
        if (hundredths(now) == hundredths(l[2].toDouble()))
            continue;
        c.db.exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = ? WHERE CDFILIAL = ? AND NRPEDIDO = ? AND "
                                 "NRITEMPED = ? AND CDVENDEDOR = ?"),
                  {now, branch, order, l[0], l[1]});
        audit(c.db, branch, order, l[0].toString(), c.op, action, l[1].toString(), l[2], now);
        touched.insert({branch, order, l[0].toString()});
        if (changes)
            changes->push_back({branch, order, l[0].toString(), l[1].toString(), l[2].toDouble(), now});
        ++changed;
    }
    return changed;
}

} // namespace

std::string setVendedor(CallContext& c)
{
    const fw::ChangeSet cs = decode(c.object(0));
    c.requireOperator(1);
    const bool allItems = c.flag(2);
    const int fB = need(cs, "CDFILIAL"), fO = need(cs, "NRPEDIDO"), fI = need(cs, "NRITEMPED");
    const int fV = need(cs, "CDVENDEDOR"), fP = need(cs, "VRPECOMITPED");
    using Op = fw::ChangeSet::Op;

    Transaction tx(c.db);
    lockOrders(c, cs, fB, fO);
    std::set<ItemKey> touched;
    std::vector<Written> spread;
    std::map<QString, OrderAccess> access; // by branch
    for (const auto& ch : cs.changes) {
        const bool del = ch.op == Op::Delete;
        const ItemKey item{text(ch, del, fB), text(ch, del, fO), text(ch, del, fI)};
        const auto& [b, o, i] = item;
        if (ch.op == Op::Modify && ItemKey{text(ch, true, fB), text(ch, true, fO), text(ch, true, fI)} != item)
            throw badParams(QStringLiteral("Uma alteração não pode mudar a chave do item."));
        const OrderAccess& acc = access.try_emplace(b, c.db, b, c.op).first->second;
        if (!acc.sees(o))
            throw refused(orderNotFound());
        // A restricted operator's code column is read-only: no new salesman.
        if (acc.restricted()
            && (ch.op == Op::Insert || (ch.op == Op::Modify && text(ch, true, fV) != text(ch, false, fV))))
            throw refused(restrictedRefusal());
        if (locked(itemStatus(c.db, item)))
            throw refused(kItemLocked);
        const QString period = periodMode(c.db, b);
        if (ch.op != Op::Modify && period == QLatin1String("S"))
            throw refused(kPeriod);
        if (ch.op == Op::Modify && period != QLatin1String("N"))
            throw refused(kPeriod);
        const bool payables = hasPayables(c.db, b, o);
        if (ch.op == Op::Modify && payables)
            throw refused(kPayables);

        if (ch.op == Op::Delete) {
            const QString vend = text(ch, true, fV);
            const QVariant stored = storedLine(c.db, b, o, i, vend);
            if (stored.isNull() || hundredths(stored.toDouble()) != hundredths(ch.oldRow[static_cast<size_t>(fP)].toDouble()))
                throw refused(kConflict);
            c.db.exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ? "
                                     "AND CDVENDEDOR = ?"),
                      {b, o, i, vend});
            audit(c.db, b, o, i, c.op, 'E', vend, stored, {});
            touched.insert(item);
            continue;
        }
        const QString vend = text(ch, false, fV);
        const QVariant pv = ch.newRow[static_cast<size_t>(fP)];
        const double pct = fw::fmt::roundDecimal(pv.toDouble(), 2);
        if (vend.isEmpty() || !salesmanAllowed(c.db, vend))
            throw refused(kSalesman);
        if (pv.isNull() || hundredths(pct) <= 0)
            throw refused(kPercent);
        if (ch.op == Op::Insert) {
            if (!storedLine(c.db, b, o, i, vend).isNull())
                throw refused(kConflict);
            c.db.exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                     "VALUES (?, ?, ?, ?, ?)"),
                      {b, o, i, vend, pct});
            audit(c.db, b, o, i, c.op, 'I', vend, {}, pct);
        } else {
            const QString oldVend = text(ch, true, fV);
            const QVariant stored = storedLine(c.db, b, o, i, oldVend);
            if (stored.isNull() || hundredths(stored.toDouble()) != hundredths(ch.oldRow[static_cast<size_t>(fP)].toDouble()))
                throw refused(kConflict);
            if (oldVend != vend && !storedLine(c.db, b, o, i, vend).isNull())
                throw refused(kConflict);
            c.db.exec(QStringLiteral("UPDATE COMISITEMPED SET CDVENDEDOR = ?, VRPECOMITPED = ? WHERE CDFILIAL = ? AND "
                                     "NRPEDIDO = ? AND NRITEMPED = ? AND CDVENDEDOR = ?"),
                      {vend, pct, b, o, i, oldVend});
            if (oldVend != vend) {
                audit(c.db, b, o, i, c.op, 'E', oldVend, stored, {});
                audit(c.db, b, o, i, c.op, 'I', vend, {}, pct);
            } else {
                audit(c.db, b, o, i, c.op, 'A', vend, stored, pct);
            }
        }
        touched.insert(item);
        if (allItems)
            spread.push_back({b, o, i, vend, pct});
    }
    const std::set<ItemKey> direct = touched;
    for (const Written& w : spread)
        writeOnOtherItems(c, w, !access.at(w.branch).restricted(), touched);
    // an item the user did not touch himself is named in the refusal
    for (const ItemKey& k : touched)
        checkTotal(c.db, k, !direct.contains(k));
    tx.commit();
    return "null";
}

std::string setPedido(CallContext& c)
{
    const fw::ChangeSet cs = decode(c.object(0));
    c.requireOperator(1);
    const int fB = need(cs, "CDFILIAL"), fO = need(cs, "NRPEDIDO"), fV = need(cs, "CDVENDEDOR");
    Transaction tx(c.db);
    lockOrders(c, cs, fB, fO);
    for (const auto& ch : cs.changes) {
        if (ch.op != fw::ChangeSet::Op::Modify)
            throw badParams(QStringLiteral("Pedidos não podem ser incluídos nem excluídos nesta tela."));
        const QString b = text(ch, false, fB), o = text(ch, false, fO);
        if (text(ch, true, fB) != b || text(ch, true, fO) != o)
            throw badParams(QStringLiteral("Uma alteração não pode mudar a chave do pedido."));
        const OrderAccess acc = requireOrder(c, b, o);
        const auto stored = c.db.rows(QStringLiteral("SELECT CDVENDEDOR FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                                      {b, o});
        if (stored.empty() || stored[0][0].toString().trimmed() != text(ch, true, fV))
            throw refused(kConflict);
        const QString vend = text(ch, false, fV);
        if (vend == text(ch, true, fV))
            continue;
        // moving the order out of the operator's sight is the same as
        // touching an order he cannot see
        if (!acc.mayAssign(vend))
            throw refused(orderNotFound());
        if (vend.isEmpty() || !salesmanAllowed(c.db, vend))
            throw refused(kSalesman);
        if (hasPayables(c.db, b, o))
            throw refused(kPayables);
        c.db.exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = ? WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {vend, b, o});
        auditOrder(c.db, b, o, {}, c.op, QStringLiteral("Vendedor do pedido"), text(ch, true, fV), vend);
    }
    tx.commit();
    return "null";
}

std::string setItemPedido(CallContext& c)
{
    const fw::ChangeSet cs = decode(c.object(0));
    const int fB = need(cs, "CDFILIAL"), fO = need(cs, "NRPEDIDO"), fI = need(cs, "NRITEMPED");
    const int fD = cs.fieldIndex(u"DTENTITPED"), fT = cs.fieldIndex(u"IDITPEDDIFER");
    if (fD >= 0 && cs.fields[static_cast<size_t>(fD)].type != fw::FieldType::DateTime
        && cs.fields[static_cast<size_t>(fD)].type != fw::FieldType::Float)
        throw badParams(QStringLiteral("A data de entrega do item deve ser uma data."));
    // Delivery dates from 1900 to 2199: anything else is a typing or client fault.
    static const double kFirstDay = fw::date::fromQDate(QDate(1900, 1, 1));
    static const double kLastDay = fw::date::fromQDate(QDate(2199, 12, 31));
    Transaction tx(c.db);
    lockOrders(c, cs, fB, fO);
    for (const auto& ch : cs.changes) {
        if (ch.op != fw::ChangeSet::Op::Modify)
            throw badParams(QStringLiteral("Itens não podem ser incluídos nem excluídos nesta tela."));
        for (size_t f = 0; f < cs.fields.size(); ++f) {
            const int fi = static_cast<int>(f);
            if (fi == fD || fi == fT)
                continue;
            if (ch.oldRow[f] != ch.newRow[f])
                throw badParams(QStringLiteral("Só a data de entrega e o tipo do item podem ser alterados (campo %1).")
                                    .arg(cs.fields[f].name));
        }
        const QVariantList key{text(ch, false, fB), text(ch, false, fO), text(ch, false, fI)};
        if (requireOrder(c, key[0].toString(), key[1].toString()).restricted())
            throw refused(restrictedRefusal()); // his item grid is read-only
        const auto stored = c.db.rows(QStringLiteral("SELECT DTENTITPED, IDITPEDDIFER, IDSITITEMPED FROM ITEMPEDIDO "
                                                     "WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                                      key);
        if (stored.empty())
            throw refused(kConflict);
        if (locked(stored[0][2].toString().trimmed()))
            throw refused(kItemLocked);
        QStringList sets;
        QVariantList p;
        QString before, after;
        if (fD >= 0) {
            const QVariant& o = ch.oldRow[static_cast<size_t>(fD)];
            if (o.isNull() != stored[0][0].isNull() || (!o.isNull() && o.toDouble() != stored[0][0].toDouble()))
                throw refused(kConflict);
            const QVariant& n = ch.newRow[static_cast<size_t>(fD)];
            if (!n.isNull() && !(n.toDouble() >= kFirstDay && n.toDouble() <= kLastDay))
                throw badParams(QStringLiteral("Data de entrega do item inválida."));
            sets << QStringLiteral("DTENTITPED = ?");
            p << (n.isNull() ? QVariant(QMetaType(QMetaType::Double)) : QVariant(n.toDouble()));
            before += QStringLiteral("entrega %1").arg(fw::date::formatDate(o.toDouble()));
            after += QStringLiteral("entrega %1").arg(fw::date::formatDate(n.toDouble()));
        }
        if (fT >= 0) {
            const QString old = text(ch, true, fT);
            if (stored[0][1].toString().trimmed() != old)
                throw refused(kConflict);
            const QString t = text(ch, false, fT);
            if (t != old && t != QLatin1String("N") && t != QLatin1String("S") && t != QLatin1String("P"))
                throw badParams(QStringLiteral("Tipo de item inválido: %1.").arg(t));
            sets << QStringLiteral("IDITPEDDIFER = ?");
            p << t;
            before += QStringLiteral(" tipo %1").arg(old);
            after += QStringLiteral(" tipo %1").arg(t);
        }
        if (sets.isEmpty())
            continue;
        p << key;
        c.db.exec(QStringLiteral("UPDATE ITEMPEDIDO SET %1 WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?")
                      .arg(sets.join(QStringLiteral(", "))),
                  p);
        auditOrder(c.db, key[0].toString(), key[1].toString(), key[2].toString(), c.op, QStringLiteral("Item do pedido"),
                   before.trimmed(), after.trimmed());
    }
    tx.commit();
    return "null";
}

std::string setCancelaComissaoPed(CallContext& c)
{
    const QString order = c.str(0), branch = c.str(1), flag = c.str(2);
    if (flag != QLatin1String("S") && flag != QLatin1String("N"))
        throw badParams(QStringLiteral("O indicador deve ser \"S\" (cancelar) ou \"N\" (regerar)."));
    Transaction tx(c.db);
    lockOrders(c, {{branch, order}});
    requireOrder(c, branch, order);
    QString action;
    if (flag == QLatin1String("S")) {
        auto count = [&](const QString& statuses) {
            return c.db.scalar(QStringLiteral("SELECT COUNT(*) FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? AND "
                                              "IDSITITEMPED IN (%1)")
                                   .arg(statuses),
                               {branch, order})
                .toInt();
        };
        if (count(QStringLiteral("'4', '6'")) > 0)
            throw refused(QStringLiteral("Item_Liq"));
        if (count(QStringLiteral("'5'")) > 0)
            throw refused(QStringLiteral("Item_Canc"));
        if (count(QStringLiteral("'7'")) > 0)
            throw refused(QStringLiteral("Item_ParcA"));
        action = QStringLiteral("Comissão cancelada");
        c.db.exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'S', DSMOTCANCCOMISPED = ? WHERE CDFILIAL = ? AND "
                                 "NRPEDIDO = ?"),
                  {stamp(action, c.op), branch, order});
    } else {
        // Regenerating rewrites the lines: the gates of a direct change hold.
        if (periodMode(c.db, branch) != QLatin1String("N"))
            throw refused(kPeriod);
        if (hasPayables(c.db, branch, order))
            throw refused(kPayables);
        RuleBook rules(c.db, branch);
        std::set<ItemKey> touched;
        recomputeOrder(c, rules, branch, order, touched, 'G');
        for (const ItemKey& k : touched)
            checkTotal(c.db, k, true);
        action = QStringLiteral("Comissão regerada");
        c.db.exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'N', DSMOTCANCCOMISPED = ? WHERE CDFILIAL = ? AND "
                                 "NRPEDIDO = ?"),
                  {stamp(action, c.op), branch, order});
    }
    auditOrder(c.db, branch, order, {}, c.op, action, {}, {});
    tx.commit();
    return "null";
}

namespace {

// The range recalculation, inside the caller's transaction: every line it
// changed, with the gates held.
std::vector<LineChange> recalculateRange(CallContext& c)
{
    const double from = std::floor(c.num(0)), to = std::floor(c.num(1));
    if (from <= 0 || to <= 0 || from > to || to - from > 36600)
        throw badParams(QStringLiteral("Intervalo de datas de entrega inválido."));
    // Only what the operator could change line by line: the orders he sees,
    // of branches that do not generate commission by period, without
    // generated payables, with the commission in force.
    const auto branches = c.db.rows(QStringLiteral("SELECT F.CDFILIAL FROM FILIAL F JOIN PAREXPEDICAO PE ON "
                                                   "PE.CDFILIAL = F.CDFILIAL WHERE PE.IDCOMISPERIODO = 'N' "
                                                   "ORDER BY F.CDFILIAL"));
    std::set<ItemKey> touched;
    std::vector<LineChange> changes;
    for (const Row& b : branches) {
        const QString branch = b[0].toString();
        const OrderAccess access(c.db, branch, c.op);
        QVariantList p{branch, from, to + 1.0};
        QString own = access.condition(QStringLiteral("P"), p);
        if (!own.isEmpty())
            own = QStringLiteral(" AND ") + own;
        const auto orders = c.db.rows(
            QStringLiteral("SELECT P.NRPEDIDO FROM PEDIDO P WHERE P.CDFILIAL = ? AND P.DTENTPED >= ? AND "
                           "P.DTENTPED < ? AND COALESCE(P.IDCANCCOMISPED, 'N') <> 'S' AND NOT EXISTS (SELECT 1 FROM "
                           "CONTAPAGA CP WHERE CP.CDFILIAL = P.CDFILIAL AND CP.NRPEDIDO = P.NRPEDIDO)%1 "
                           "ORDER BY P.NRPEDIDO")
                .arg(own),
            p);
        if (orders.empty())
            continue;
        RuleBook book(c.db, branch);
        for (const Row& o : orders) {
            lockOrders(c, {{branch, o[0].toString()}}); // in key order, as the query gives them
            recomputeOrder(c, book, branch, o[0].toString(), touched, 'R', &changes);
        }
    }
    for (const ItemKey& k : touched)
        checkTotal(c.db, k, true);
    return changes;
}

} // namespace

std::string setBuscaComissao(CallContext& c)
{
    Transaction tx(c.db);
    const auto changes = recalculateRange(c);
    tx.commit();
    return numberJson(static_cast<double>(changes.size()));
}

std::string getSimulaBuscaComissao(CallContext& c)
{
    // The recalculation itself, undone: what it shows is what a run now
    // would do, refusals included.
    std::vector<LineChange> changes;
    {
        Transaction tx(c.db);
        changes = recalculateRange(c);
    }
    std::set<std::pair<QString, QString>> orders;
    struct Sums {
        double before = 0, after = 0;
        int lines = 0;
    };
    std::map<QString, Sums> bySalesman;
    for (const LineChange& l : changes) {
        orders.insert({l.branch, l.order});
        Sums& s = bySalesman[l.salesman];
        s.before += l.before;
        s.after += l.after;
        ++s.lines;
    }
    std::string summary;
    {
        fw::PacketWriter w(summary);
        w.begin({I("QTLINHAS"), I("QTPEDIDOS")});
        w.beginRow();
        w.addInt(static_cast<qint64>(changes.size()));
        w.addInt(static_cast<qint64>(orders.size()));
        w.endRow();
        w.end();
    }
    std::string salesmen;
    {
        fw::PacketWriter w(salesmen);
        w.begin({S("CDVENDEDOR", 4), S("NMFANVEN", 50), I("QTLINHAS"), F("VRSOMAANTES"), F("VRSOMADEPOIS")});
        for (const auto& [code, sums] : bySalesman) {
            w.beginRow();
            w.addString(code);
            w.addString(c.db.scalar(QStringLiteral("SELECT NMFANVEN FROM VENDEDOR WHERE CDVENDEDOR = ?"), {code}).toString());
            w.addInt(sums.lines);
            w.addDouble(fw::fmt::roundDecimal(sums.before, 2));
            w.addDouble(fw::fmt::roundDecimal(sums.after, 2));
            w.endRow();
        }
        w.end();
    }
    std::string lines;
    {
        fw::PacketWriter w(lines);
        w.begin({S("CDFILIAL", 4), S("NRPEDIDO", 10), S("NRITEMPED", 10), S("CDVENDEDOR", 4), F("VRPECOMITPEDANT"),
                 F("VRPECOMITPED")});
        for (size_t i = 0; i < changes.size() && i < kSimulatedLines; ++i) {
            const LineChange& l = changes[i];
            w.beginRow();
            w.addString(l.branch);
            w.addString(l.order);
            w.addString(l.item);
            w.addString(l.salesman);
            w.addDouble(l.before);
            w.addDouble(l.after);
            w.endRow();
        }
        w.end();
    }
    return arrayOf({summary, salesmen, lines});
}

} // namespace srv
