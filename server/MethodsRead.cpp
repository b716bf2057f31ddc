// The read methods: parameters, orders, items, lines, lookups and pickers.
#include "Methods.h"

#include "core/Consiste.h"
#include "core/OrderQuery.h"

namespace srv {

namespace {

const std::vector<fw::FieldDef>& orderFields()
{
    static const std::vector<fw::FieldDef> f = {
        S("CDFILIAL", 4),   S("IDSITPEDIDO", 1), S("NRPEDIDO", 10),        S("CDCLIENTE", 21), S("NMFANTCLIE", 50),
        T("DTPEDIDO"),      T("DTENTPED"),       S("CDVENDEDOR", 4),       S("NMFANVEN", 50),  F("VRPECOMVEN"),
        S("IDGERACOMISVEND", 1), S("IDCANCCOMISPED", 20), S("DSMOTCANCCOMISPED", 350)};
    return f;
}

bool isT(const QString& flag)
{
    return flag == QLatin1String("T");
}

} // namespace

std::string getParametros(CallContext& c)
{
    c.requireOperator(1);
    const QString branch = c.str(0);
    if (c.db.scalar(QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE CDFILIAL = ?"), {branch}).toInt() == 0)
        throw refused(QStringLiteral("Filial %1 não cadastrada.").arg(branch));
    return arrayOf({
        packetOf(c.db, QStringLiteral("SELECT IDTABPRECO, IDEXIBPEDIDO FROM PARAMPEDIDO WHERE CDFILIAL = ?"), {branch},
                 {S("IDTABPRECO", 1), S("IDEXIBPEDIDO", 1)}),
        packetOf(c.db,
                 QStringLiteral("SELECT CDFILIAL, VRPECOGEREXP, VRPERCOMEXP, VRPERCOMREC, IDCOMISPERIODO "
                                "FROM PAREXPEDICAO WHERE CDFILIAL = ?"),
                 {branch}, {S("CDFILIAL", 4), F("VRPECOGEREXP"), F("VRPERCOMEXP"), F("VRPERCOMREC"), S("IDCOMISPERIODO", 1)}),
        packetOf(c.db, QStringLiteral("SELECT CDOPERADOR FROM OPERTPED WHERE CDFILIAL = ? AND CDOPERADOR = ?"),
                 {branch, c.str(1)}, {S("CDOPERADOR", 32)}),
    });
}

std::string getPedido(CallContext& c)
{
    const fw::OrderQuery q = fw::decodeOrderQuery([&](size_t i) { return c.str(i); }, [&](size_t i) { return c.num(i); });
    QVariantList p;
    QStringList where;
    where << QStringLiteral("P.CDFILIAL = ?");
    p << q.branch;

    if (q.numberRange)
        where << QStringLiteral("P.NRPEDIDO BETWEEN ? AND ?"), p << q.numberFrom << q.numberTo;
    if (!q.numbers.all)
        where << inClause(QStringLiteral("P.NRPEDIDO"), splitList(q.numbers.list), p);
    if (!q.salesmen.all) {
        const auto list = splitList(q.salesmen.list);
        QVariantList p2;
        const QString inOrder = inClause(QStringLiteral("P.CDVENDEDOR"), list, p);
        const QString inLines = inClause(QStringLiteral("CI.CDVENDEDOR"), list, p2);
        p << p2;
        where << QStringLiteral("(%1 OR EXISTS (SELECT 1 FROM COMISITEMPED CI WHERE CI.CDFILIAL = P.CDFILIAL AND "
                                "CI.NRPEDIDO = P.NRPEDIDO AND %2))")
                     .arg(inOrder, inLines);
    }
    if (!q.customers.all)
        where << inClause(QStringLiteral("P.CDCLIENTE"), splitList(q.customers.list), p);
    if (!q.products.all)
        where << QStringLiteral("EXISTS (SELECT 1 FROM ITEMPEDIDO IP JOIN PRODUTO PR ON PR.CDPRODUTO = IP.CDPRODUTO "
                                "WHERE IP.CDFILIAL = P.CDFILIAL AND IP.NRPEDIDO = P.NRPEDIDO AND %1)")
                     .arg(inClause(QStringLiteral("PR.CDARVPROD"), splitList(q.products.list), p));
    where << inClause(QStringLiteral("P.IDPRIORIDADE"), codeChars(q.priorities), p);
    where << inClause(QStringLiteral("P.IDSITPEDIDO"), codeChars(q.orderStatuses), p);
    where << QStringLiteral("EXISTS (SELECT 1 FROM ITEMPEDIDO IS2 WHERE IS2.CDFILIAL = P.CDFILIAL AND "
                            "IS2.NRPEDIDO = P.NRPEDIDO AND %1)")
                 .arg(inClause(QStringLiteral("IS2.IDSITITEMPED"), codeChars(q.itemStatuses), p));
    // whole days: the last day counts to its end
    if (!q.anyIssueDate)
        where << QStringLiteral("P.DTPEDIDO >= ? AND P.DTPEDIDO < ?"),
            p << std::floor(q.issuedFrom) << std::floor(q.issuedTo) + 1.0;
    if (!q.anyDeliveryDate)
        where << QStringLiteral("P.DTENTPED >= ? AND P.DTENTPED < ?"),
            p << std::floor(q.deliveryFrom) << std::floor(q.deliveryTo) + 1.0;
    if (!q.municipalities.all)
        where << QStringLiteral("EXISTS (SELECT 1 FROM ENDECLIE E WHERE E.CDCLIENTE = P.CDCLIENTE AND "
                                "E.IDTPENDECLIE = 'P' AND %1)")
                     .arg(inClause(QStringLiteral("(E.CDPAIS || E.SGESTADO || E.CDMUNICIPIO)"),
                                   splitList(q.municipalities.list), p));
    // The operator restriction: enforced here for the session's operator
    // whatever the screen asked; an operator who sees everything may still
    // ask for one operator's orders.
    const OrderAccess access(c.db, q.branch, c.op);
    if (const QString own = access.condition(QStringLiteral("P"), p); !own.isEmpty())
        where << own;
    else if (!q.operatorCode.trimmed().isEmpty())
        where << QStringLiteral("P.CDVENDEDOR IN (SELECT VO.CDVENDEDOR FROM VENDEDOR VO WHERE VO.CDOPERADOR = ?)"),
            p << q.operatorCode.trimmed();
    std::vector<QString> types;
    if (q.orders)
        types.push_back(QStringLiteral("1"));
    if (q.quotes)
        types.push_back(QStringLiteral("2"));
    where << inClause(QStringLiteral("P.IDTIPOPEDIDO"), types, p);
    if (!q.purchaseOrder.trimmed().isEmpty())
        where << QStringLiteral("P.NRORDCOMPNORM = ?"), p << fw::Ajusta(q.purchaseOrder, 15);

    const QString sql = QStringLiteral(
        "SELECT P.CDFILIAL, P.IDSITPEDIDO, P.NRPEDIDO, P.CDCLIENTE, C.NMFANTCLIE, P.DTPEDIDO, P.DTENTPED, "
        "P.CDVENDEDOR, V.NMFANVEN, V.VRPECOMVEN, V.IDGERACOMISVEND, P.IDCANCCOMISPED, P.DSMOTCANCCOMISPED "
        "FROM PEDIDO P LEFT JOIN CLIENTE C ON C.CDCLIENTE = P.CDCLIENTE "
        "LEFT JOIN VENDEDOR V ON V.CDVENDEDOR = P.CDVENDEDOR WHERE %1 ORDER BY P.NRPEDIDO")
                            .arg(where.join(QStringLiteral(" AND ")));
    return packetOf(c.db, sql, p, orderFields());
}

std::string getItemPedido(CallContext& c)
{
    return packetOf(
        c.db,
        QStringLiteral(
            "SELECT I.NRPEDIDO, PR.CDARVPROD, PR.NMPRODUTO, I.QTITEMPED, PR.SGUNIDADE, P.CDCLIENTE, I.VRPREUNITPED, "
            "I.NRITEMPED, I.IDSITITEMPED, I.QTEXPITEMPED, I.VRPREUNIT, I.CDFILIAL, I.CDFATPRECO, I.QTITEMPED2, "
            "I.SGFATPRECO, I.CDPRODESTO, I.DTENTITPED, I.IDITPEDDIFER, I.VRPESOITPED, I.SGUNIDPAI, I.CDPRODUTO, "
            "PR.VRPESOBRUTPR, PR.VRPESOLIQUPR, P.DTPEDIDO "
            "FROM ITEMPEDIDO I JOIN PEDIDO P ON P.CDFILIAL = I.CDFILIAL AND P.NRPEDIDO = I.NRPEDIDO "
            "JOIN PRODUTO PR ON PR.CDPRODUTO = I.CDPRODUTO WHERE I.CDFILIAL = ? AND I.NRPEDIDO = ?%1 ORDER BY I.NRITEMPED")
            .arg(unlessHidden(c, c.str(0), c.str(1))),
        {c.str(0), c.str(1)},
        {S("NRPEDIDO", 10), S("CDARVPROD", 20), S("NMPRODUTO", 50), F("QTITEMPED"), S("SGUNIDADE", 10),
         S("CDCLIENTE", 21), F("VRPREUNITPED"), S("NRITEMPED", 10), S("IDSITITEMPED", 1), F("QTEXPITEMPED"),
         F("VRPREUNIT"), S("CDFILIAL", 4), S("CDFATPRECO", 3), F("QTITEMPED2"), S("SGFATPRECO", 4),
         S("CDPRODESTO", 10), T("DTENTITPED"), S("IDITPEDDIFER", 1), F("VRPESOITPED"), S("SGUNIDPAI", 5),
         S("CDPRODUTO", 10), F("VRPESOBRUTPR"), F("VRPESOLIQUPR"), T("DATA")});
}

std::string getNrpedido(CallContext& c)
{
    const QString branch = c.str(0);
    QVariantList p{branch};
    QString own = OrderAccess(c.db, branch, c.op).condition(QStringLiteral("P"), p);
    if (!own.isEmpty())
        own = QStringLiteral(" AND ") + own;
    return packetOf(c.db,
                    QStringLiteral("SELECT '' AS IDMARCADO, P.NRPEDIDO, C.NMFANTCLIE FROM PEDIDO P "
                                   "LEFT JOIN CLIENTE C ON C.CDCLIENTE = P.CDCLIENTE WHERE P.CDFILIAL = ?%1 "
                                   "ORDER BY P.NRPEDIDO")
                        .arg(own),
                    p, {S("IDMARCADO", 1), S("NRPEDIDO", 10), S("NMFANTCLIE", 50)});
}

std::string getNota(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT NRNOTAFISCAL, SGSERIENF, DTEMISSAONF, VRTOTALNF FROM NOTAFISCAL "
                                   "WHERE CDFILIAL = ? AND NRPEDIDO = ?%1 ORDER BY DTEMISSAONF, NRNOTAFISCAL")
                        .arg(unlessHidden(c, c.str(0), c.str(1))),
                    {c.str(0), c.str(1)}, {S("NRNOTAFISCAL", 10), S("SGSERIENF", 3), T("DTEMISSAONF"), F("VRTOTALNF")});
}

std::string getContaPaga(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT CDFILIALPAG, NRLANCTOPAG, NRSEQVENPAG, NRPARCELAPAG, CDFILIALREC, "
                                   "NRLANCTOREC, NRSEQVENREC, NRPARCELAREC FROM CONTAPAGA WHERE CDFILIAL = ? "
                                   "AND NRPEDIDO = ?%1 ORDER BY NRLANCTOPAG, NRPARCELAPAG")
                        .arg(unlessHidden(c, c.str(0), c.str(1))),
                    {c.str(0), c.str(1)},
                    {S("CDFILIALPAG", 4), S("NRLANCTOPAG", 10), S("NRSEQVENPAG", 2), S("NRPARCELAPAG", 2),
                     S("CDFILIALREC", 4), S("NRLANCTOREC", 10), S("NRSEQVENREC", 2), S("NRPARCELAREC", 2)});
}

std::string getLanc(CallContext& c)
{
    const QVariantList key{c.str(0), c.str(1), c.str(2)};
    const QString hidden = unlessHidden(c, c.str(0), c.str(1));
    return arrayOf({
        packetOf(c.db,
                 QStringLiteral("SELECT NRLANCTONF, DTENTRSAID FROM LANCNF WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                "AND NRITEMPED = ?%1 ORDER BY DTENTRSAID, NRLANCTONF")
                     .arg(hidden),
                 key, {S("NRLANCTONF", 10), T("DTENTRSAID")}),
        packetOf(c.db,
                 QStringLiteral("SELECT CI.CDFILIAL, CI.NRPEDIDO, CI.NRITEMPED, CI.CDVENDEDOR, V.NMFANVEN, "
                                "CI.VRPECOMITPED, V.IDGERACOMISVEND, V.IDCARGOVEND FROM COMISITEMPED CI "
                                "JOIN VENDEDOR V ON V.CDVENDEDOR = CI.CDVENDEDOR WHERE CI.CDFILIAL = ? AND "
                                "CI.NRPEDIDO = ? AND CI.NRITEMPED = ?%1 ORDER BY CI.CDVENDEDOR")
                     .arg(hidden),
                 key,
                 {S("CDFILIAL", 4), S("NRPEDIDO", 10), S("NRITEMPED", 10), S("CDVENDEDOR", 4), S("NMFANVEN", 50),
                  F("VRPECOMITPED"), S("IDGERACOMISVEND", 1), S("IDCARGOVEND", 1)}),
    });
}

std::string getPesqVendedor(CallContext& c)
{
    const QString code = c.str(0).trimmed();
    QVariantList p;
    QString cond = QStringLiteral("IDGERACOMISVEND = 'S'");
    if (!code.isEmpty())
        cond += QStringLiteral(" AND CDVENDEDOR = ?"), p << code;
    return packetOf(c.db,
                    QStringLiteral("SELECT CDVENDEDOR, NMFANVEN, VRPECOMVEN, IDGERACOMISVEND, IDCARGOVEND FROM VENDEDOR "
                                   "WHERE %1 ORDER BY CDVENDEDOR")
                        .arg(cond),
                    p, {S("CDVENDEDOR", 4), S("NMFANVEN", 50), F("VRPECOMVEN"), S("IDGERACOMISVEND", 1), S("IDCARGOVEND", 1)});
}

std::string getPesqVendItem(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL = ? AND "
                                   "NRPEDIDO = ? AND NRITEMPED = ? AND CDVENDEDOR = ?%1")
                        .arg(unlessHidden(c, c.str(0), c.str(1))),
                    {c.str(0), c.str(1), c.str(2), c.str(3)}, {S("CDVENDEDOR", 4), F("VRPECOMITPED")});
}

std::string getBuscaComissao(CallContext& c)
{
    return numberJson(findCommissionRule(c.db, c.str(0), c.str(1), c.str(2), c.num(3), c.str(4), c.str(5)).percent);
}

std::string getRegraComissao(CallContext& c)
{
    const RuleMatch m = findCommissionRule(c.db, c.str(0), c.str(1), c.str(2), c.num(3), c.str(4), c.str(5));
    std::string out;
    fw::PacketWriter w(out);
    w.begin({F("VRPECOMISSAO"), S("DSREGRA", 100)});
    w.beginRow();
    w.addDouble(m.percent);
    w.addString(m.description);
    w.endRow();
    w.end();
    return out;
}

std::string getToTiComi(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT COALESCE(SUM(VRPECOMITPED), 0) AS VRTOTALPERC FROM COMISITEMPED WHERE "
                                   "CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?%1")
                        .arg(unlessHidden(c, c.str(0), c.str(1))),
                    {c.str(0), c.str(1), c.str(2)}, {F("VRTOTALPERC")});
}

std::string getHistComissao(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT H.DTHRALTER, H.CDOPERADOR, H.IDACAO, H.CDVENDEDOR, V.NMFANVEN, "
                                   "H.VRPECOMITPEDANT, H.VRPECOMITPED FROM HISTCOMISSAO H LEFT JOIN VENDEDOR V ON "
                                   "V.CDVENDEDOR = H.CDVENDEDOR WHERE H.CDFILIAL = ? AND H.NRPEDIDO = ? AND "
                                   "H.NRITEMPED = ?%1 ORDER BY H.DTHRALTER DESC, H.NRHIST DESC")
                        .arg(unlessHidden(c, c.str(0), c.str(1))),
                    {c.str(0), c.str(1), c.str(2)},
                    {T("DTHRALTER"), S("CDOPERADOR", 32), S("IDACAO", 1), S("CDVENDEDOR", 4), S("NMFANVEN", 50),
                     F("VRPECOMITPEDANT"), F("VRPECOMITPED")});
}

std::string getFiltraVend(CallContext& c)
{
    return packetOf(c.db,
                    QStringLiteral("SELECT '' AS IDMARCADO, CDVENDEDOR, NMFANVEN, IDGERACOMISVEND FROM VENDEDOR "
                                   "WHERE IDGERACOMISVEND = 'S' ORDER BY NMFANVEN"),
                    {}, {S("IDMARCADO", 1), S("CDVENDEDOR", 4), S("NMFANVEN", 50), S("IDGERACOMISVEND", 1)});
}

std::string getMuniciCli(CallContext& c)
{
    QVariantList p;
    QString cond;
    if (!isT(c.str(1)))
        cond = QStringLiteral(" AND ") + inClause(QStringLiteral("E.CDCLIENTE"), splitList(c.str(0)), p);
    return packetOf(c.db,
                    QStringLiteral("SELECT DISTINCT '' AS IDMARCADO, M.CDMUNICIPIO, M.NMMUNICIPIO, M.SGESTADO, "
                                   "PA.NMPAIS, (M.CDPAIS || M.SGESTADO || M.CDMUNICIPIO) AS CONCATENADOS "
                                   "FROM MUNICIPIO M JOIN ENDECLIE E ON E.CDPAIS = M.CDPAIS AND E.SGESTADO = M.SGESTADO "
                                   "AND E.CDMUNICIPIO = M.CDMUNICIPIO JOIN PAIS PA ON PA.CDPAIS = M.CDPAIS "
                                   "WHERE 1=1%1 ORDER BY M.NMMUNICIPIO, M.SGESTADO")
                        .arg(cond),
                    p,
                    {S("IDMARCADO", 1), S("CDMUNICIPIO", 4), S("NMMUNICIPIO", 30), S("SGESTADO", 2), S("NMPAIS", 30),
                     S("CONCATENADOS", 10)});
}

} // namespace srv
