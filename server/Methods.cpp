#include "Methods.h"

#include "core/OrderQuery.h"

#include "core/DateUtil.h"
#include "core/FormatUtil.h"
#include "core/Packet.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace srv {

namespace {

constexpr const char* kCommission = "Ped03600.rdmComissaoVend";
constexpr const char* kInvoice = "Ped00103.rdmNotaPedido";

} // namespace

const std::vector<MethodDef>& methodTable()
{
    static const std::vector<MethodDef> t = {
        {kCommission, "getParametros", "SSS", getParametros, false, true},
        {kCommission, "GetPedido", fw::kOrderQuerySignature, getPedido, false},
        {kCommission, "GetItemPedido", "SS", getItemPedido, false, true},
        {kCommission, "GetContaPaga", "SS", getContaPaga, false, true},
        {kCommission, "GetLanc", "SSS", getLanc, false, true},
        {kCommission, "GetPesqVendedor", "S", getPesqVendedor, false},
        {kCommission, "GetPesqVendItem", "SSSS", getPesqVendItem, false, true},
        {kCommission, "GetBuscaComissao", "SSSDSS", getBuscaComissao, false},
        {kCommission, "GetToTiComi", "SSS", getToTiComi, false, true},
        {kCommission, "SetVendedor", "CSBS", setVendedor, true},
        {kCommission, "SetPedido", "CS", setPedido, true},
        {kCommission, "SetItemPedido", "C", setItemPedido, true},
        {kCommission, "SetCancelaComissaoPed", "SSS", setCancelaComissaoPed, true},
        {kCommission, "GetFiltraVend", "", getFiltraVend, false},
        {kCommission, "GetNrpedido", "S", getNrpedido, false},
        {kCommission, "GetMuniciCli", "SS", getMuniciCli, false},
        {kCommission, "SetBuscaComissao", "DD", setBuscaComissao, true},
        {kCommission, "GetSimulaBuscaComissao", "DD", getSimulaBuscaComissao, true},
        {kCommission, "GetRegraComissao", "SSSDSS", getRegraComissao, false, true},
        {kCommission, "GetHistComissao", "SSS", getHistComissao, false, true},
        {kInvoice, "GetNota", "SS", getNota, false, true},
    };
    return t;
}

void CallContext::requireOperator(size_t i) const
{
    if (str(i) != op)
        throw refused(QStringLiteral("O operador informado não é o da sessão."));
}

const MethodDef* findMethod(const QString& server, const QString& name)
{
    for (const MethodDef& m : methodTable())
        if (server == QLatin1String(m.server) && name == QLatin1String(m.name))
            return &m;
    return nullptr;
}

bool knownServer(const QString& server)
{
    return server == QLatin1String(kCommission) || server == QLatin1String(kInvoice);
}

void checkSignature(const MethodDef& m, const std::vector<Param>& params)
{
    const std::string_view sig(m.signature);
    if (params.size() != sig.size())
        throw badParams(QStringLiteral("%1 espera %2 parâmetros, vieram %3.")
                            .arg(QLatin1String(m.name))
                            .arg(sig.size())
                            .arg(params.size()));
    for (size_t i = 0; i < sig.size(); ++i) {
        Param::Kind want = Param::Kind::String;
        QString what = QStringLiteral("texto");
        switch (sig[i]) {
        case 'D': want = Param::Kind::Number; what = QStringLiteral("número"); break;
        case 'B': want = Param::Kind::Bool; what = QStringLiteral("verdadeiro ou falso"); break;
        case 'C': want = Param::Kind::Object; what = QStringLiteral("conjunto de alterações"); break;
        default: break;
        }
        if (params[i].kind != want)
            throw badParams(QStringLiteral("Parâmetro %1 de %2 deve ser %3.").arg(i + 1).arg(QLatin1String(m.name), what));
        if (want == Param::Kind::String && params[i].text.contains(QChar(0)))
            throw badParams(QStringLiteral("Parâmetro %1 de %2 contém caractere inválido.").arg(i + 1).arg(QLatin1String(m.name)));
        if (want == Param::Kind::String && params[i].text.size() > 100000)
            throw badParams(QStringLiteral("Parâmetro %1 de %2 é longo demais.").arg(i + 1).arg(QLatin1String(m.name)));
    }
}

std::string packetOf(Db& db, const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields)
{
    std::string out;
    db.packet(sql, params, fields, out);
    return out;
}

std::string arrayOf(const std::vector<std::string>& elements)
{
    std::string out = "[";
    for (size_t i = 0; i < elements.size(); ++i) {
        if (i)
            out.push_back(',');
        out.append(elements[i]);
    }
    out.push_back(']');
    return out;
}

std::string numberJson(double v)
{
    std::string out;
    fw::appendJsonNumber(out, v);
    return out;
}

QString inClause(const QString& expr, const std::vector<QString>& items, QVariantList& params)
{
    if (items.empty())
        return QStringLiteral("1=0");
    // Firebird takes at most 1,500 values in one IN list: longer lists are
    // split into groups joined by OR.
    constexpr size_t kGroup = 1000;
    QString out;
    if (items.size() > kGroup)
        out += QLatin1Char('(');
    for (size_t i = 0; i < items.size(); ++i) {
        if (i % kGroup == 0)
            out += (i ? QStringLiteral(") OR ") : QString()) + expr + QStringLiteral(" IN (?");
        else
            out += QStringLiteral(",?");
        params << items[i];
    }
    out += QLatin1Char(')');
    if (items.size() > kGroup)
        out += QLatin1Char(')');
    return out;
}

std::vector<QString> codeChars(const QString& codes)
{
    // Each character is one code; a code given twice is still one (and a
    // long text must not become thousands of parameters).
    std::vector<QString> out;
    for (QChar c : codes) {
        const QString code(c);
        if (!c.isSpace() && std::find(out.begin(), out.end(), code) == out.end())
            out.push_back(code);
    }
    return out;
}

OrderAccess::OrderAccess(Db& db, const QString& branch, const QString& op) : m_db(db), m_branch(branch), m_op(op)
{
    const auto r = db.rows(QStringLiteral("SELECT IDEXIBPEDIDO, (SELECT COUNT(*) FROM OPERTPED WHERE CDFILIAL = ? AND "
                                          "CDOPERADOR = ?) FROM PARAMPEDIDO WHERE CDFILIAL = ?"),
                           {branch, op, branch});
    m_restricted = !r.empty() && r[0][0].toString().trimmed() == QLatin1String("2") && r[0][1].toInt() == 0;
}

QString OrderAccess::condition(const QString& alias, QVariantList& p) const
{
    if (!m_restricted)
        return {};
    p << m_op;
    return QStringLiteral("%1.CDVENDEDOR IN (SELECT VO.CDVENDEDOR FROM VENDEDOR VO WHERE VO.CDOPERADOR = ?)").arg(alias);
}

bool OrderAccess::sees(const QString& order) const
{
    QVariantList p{m_branch, order};
    const QString cond = condition(QStringLiteral("P"), p);
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM PEDIDO P WHERE P.CDFILIAL = ? AND P.NRPEDIDO = ?%1")
                           .arg(cond.isEmpty() ? QString() : QStringLiteral(" AND ") + cond),
                       p)
               .toInt()
        > 0;
}

bool OrderAccess::mayAssign(const QString& salesman) const
{
    return !m_restricted
        || m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM VENDEDOR WHERE CDVENDEDOR = ? AND CDOPERADOR = ?"),
                       {salesman, m_op})
                   .toInt()
            > 0;
}

const QString& orderNotFound()
{
    static const QString text = QStringLiteral("Pedido não encontrado.");
    return text;
}

const QString& restrictedRefusal()
{
    static const QString text = QStringLiteral("Operação não permitida. Nos pedidos do seu vendedor o operador só "
                                               "altera ou exclui percentuais de comissão.");
    return text;
}

OrderAccess requireOrder(CallContext& c, const QString& branch, const QString& order)
{
    OrderAccess access(c.db, branch, c.op);
    if (!access.sees(order))
        throw refused(orderNotFound());
    return access;
}

QString unlessHidden(CallContext& c, const QString& branch, const QString& order)
{
    // whoever sees the whole branch reads what the order has (nothing when
    // it is missing) without asking first
    const OrderAccess access(c.db, branch, c.op);
    return !access.restricted() || access.sees(order) ? QString() : QStringLiteral(" AND 1 = 0");
}

RuleBook::RuleBook(Db& db, const QString& branch) : m_db(db)
{
    m_rules = db.rows(QStringLiteral("SELECT NRREGRA, CDVENDEDOR, CDPRODUTO, CDCLIENTE, IDITPEDDIFER, VRPREUNITMIN, "
                                     "VRPREUNITMAX, VRPECOMISSAO, DSREGRA FROM REGRACOMISSAO WHERE CDFILIAL = ? "
                                     "ORDER BY NRREGRA"),
                      {branch});
}

RuleMatch RuleBook::match(const QString& salesman, const QString& product, double unitPrice, const QString& itemType,
                          const QString& customer)
{
    auto sm = m_salesmen.find(salesman);
    if (sm == m_salesmen.end()) {
        const auto vend = m_db.rows(QStringLiteral("SELECT VRPECOMVEN FROM VENDEDOR WHERE CDVENDEDOR = ?"), {salesman});
        if (vend.empty())
            throw refused(QStringLiteral("Vendedor %1 não cadastrado.").arg(salesman));
        sm = m_salesmen.emplace(salesman, vend[0][0].toDouble()).first;
    }
    const QString type = itemType.trimmed().isEmpty() ? QStringLiteral("N") : itemType.trimmed();
    int bestScore = -1;
    const Row* best = nullptr;
    for (const Row& r : m_rules) {
        int score = 0;
        auto crit = [&](const QVariant& v, const QString& have) {
            if (v.isNull() || v.toString().trimmed().isEmpty())
                return true;
            ++score;
            return v.toString().trimmed() == have.trimmed();
        };
        bool ok = crit(r[1], salesman) && crit(r[2], product) && crit(r[3], customer) && crit(r[4], type);
        if (ok && (!r[5].isNull() || !r[6].isNull())) {
            ++score;
            if (!r[5].isNull() && unitPrice < r[5].toDouble())
                ok = false;
            if (!r[6].isNull() && unitPrice > r[6].toDouble())
                ok = false;
        }
        if (ok && score > bestScore) { // rules come by number: ties keep the lowest
            bestScore = score;
            best = &r;
        }
    }
    if (best)
        return {(*best)[7].toDouble(), (*best)[8].toString()};
    return {sm->second, QStringLiteral("Percentual padrão do vendedor")};
}

RuleMatch findCommissionRule(Db& db, const QString& branch, const QString& salesman, const QString& product,
                             double unitPrice, const QString& itemType, const QString& customer)
{
    return RuleBook(db, branch).match(salesman, product, unitPrice, itemType, customer);
}

void audit(Db& db, const QString& branch, const QString& order, const QString& item, const QString& op, char action,
           const QString& salesman, const QVariant& before, const QVariant& after)
{
    db.exec(QStringLiteral("INSERT INTO HISTCOMISSAO (CDFILIAL, NRPEDIDO, NRITEMPED, DTHRALTER, CDOPERADOR, IDACAO, "
                           "CDVENDEDOR, VRPECOMITPEDANT, VRPECOMITPED) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {branch, order, item, nowDays(), op, QString(QLatin1Char(action)), salesman,
             before.isNull() ? QVariant(QMetaType(QMetaType::Double)) : before,
             after.isNull() ? QVariant(QMetaType(QMetaType::Double)) : after});
}

void auditOrder(Db& db, const QString& branch, const QString& order, const QString& item, const QString& op,
                const QString& action, const QString& before, const QString& after)
{
    db.exec(QStringLiteral("INSERT INTO AUDITPEDIDO (DTHRALTER, CDOPERADOR, CDFILIAL, NRPEDIDO, NRITEMPED, DSACAO, "
                           "DSANTES, DSDEPOIS) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
            {nowDays(), op, branch, order, item.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(item),
             action, before.left(350), after.left(350)});
}

double nowDays()
{
    return fw::date::fromQDateTime(QDateTime::currentDateTime());
}

long long hundredths(double v)
{
    return std::llround(fw::fmt::roundDecimal(v, 2) * 100.0);
}

} // namespace srv
