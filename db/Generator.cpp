// The deterministic demo and benchmark data.
#include "Generator.h"

#include "Schema.h"
#include "Password.h"

#include "core/Consiste.h"
#include "core/DateUtil.h"

#include <QSqlQuery>
#include <sqlite3.h>

#include <random>

namespace peddb {

namespace {

// Inserts many rows into one table: native statements on SQLite, Qt's
// prepared queries elsewhere.
class Bulk {
public:
    Bulk(Db& db, const QString& table, const QStringList& columns) : m_db(db)
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        m_sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        if (sqlite3* h = db.sqliteHandle()) {
            const QByteArray s = m_sql.toUtf8();
            if (sqlite3_prepare_v2(h, s.constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
                throw DbError(QStringLiteral("Falha ao preparar inserção em %1: %2").arg(table, QString::fromUtf8(sqlite3_errmsg(h))));
        } else {
            m_query = std::make_unique<QSqlQuery>(db.qdb());
            m_query->prepare(m_sql);
        }
    }
    ~Bulk()
    {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
    }
    void add(const QVariantList& values)
    {
        if (!m_stmt) {
            for (qsizetype i = 0; i < values.size(); ++i)
                m_query->bindValue(static_cast<int>(i), values[i]);
            if (!m_query->exec())
                throw DbError(QStringLiteral("Falha ao gerar dados: %1").arg(m_sql.left(40)));
            return;
        }
        for (qsizetype i = 0; i < values.size(); ++i) {
            const QVariant& v = values[i];
            const int col = static_cast<int>(i) + 1;
            if (!v.isValid() || v.isNull())
                sqlite3_bind_null(m_stmt, col);
            else if (v.typeId() == QMetaType::Double)
                sqlite3_bind_double(m_stmt, col, v.toDouble());
            else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
                sqlite3_bind_int64(m_stmt, col, v.toLongLong());
            else {
                const QByteArray u = v.toString().toUtf8();
                sqlite3_bind_text(m_stmt, col, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
            }
        }
        if (sqlite3_step(m_stmt) != SQLITE_DONE)
            throw DbError(QStringLiteral("Falha ao gerar dados (%1): %2")
                                   .arg(m_sql.left(40), QString::fromUtf8(sqlite3_errmsg(m_db.sqliteHandle()))));
        sqlite3_reset(m_stmt);
    }

private:
    Db& m_db;
    QString m_sql;
    sqlite3_stmt* m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
};

const QVariant kNull = QVariant(QMetaType(QMetaType::Double));
const QVariant kNullText = QVariant(QMetaType(QMetaType::QString));

QString pad(long long n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// CPF and CNPJ with valid check digits.
QString document(std::mt19937_64& rng, bool company)
{
    const int n = company ? 12 : 9;
    std::vector<int> d;
    for (int i = 0; i < n; ++i)
        d.push_back(static_cast<int>(rng() % 10));
    auto check = [&](const std::vector<int>& w) {
        int sum = 0;
        for (size_t i = 0; i < d.size(); ++i)
            sum += d[i] * w[i];
        const int r = sum % 11;
        d.push_back(r < 2 ? 0 : 11 - r);
    };
    if (company) {
        check({5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2});
        check({6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2});
    } else {
        check({10, 9, 8, 7, 6, 5, 4, 3, 2});
        check({11, 10, 9, 8, 7, 6, 5, 4, 3, 2});
    }
    QString s;
    for (int x : d)
        s += QChar(u'0' + x);
    return s;
}

template <typename T, size_t N>
const T& pick(std::mt19937_64& rng, const T (&a)[N])
{
    return a[rng() % N];
}

const char* kFirst[] = {"Ana", "Bruno", "Carla", "Diego", "Elaine", "Fábio", "Gabriela", "Heitor", "Isabela", "João",
                        "Karina", "Lucas", "Marina", "Nelson", "Olívia", "Paulo", "Renata", "Sérgio", "Tatiana", "Vítor"};
const char* kLast[] = {"Souza", "Lima", "Mendes", "Rocha", "Dias", "Oliveira", "Santos", "Pereira", "Almeida", "Costa",
                       "Ferreira", "Ribeiro", "Carvalho", "Gomes", "Martins", "Araújo", "Barbosa", "Cardoso"};
const char* kBusiness[] = {"Mercado", "Padaria", "Construtora", "Farmácia", "Auto Peças", "Distribuidora",
                           "Restaurante", "Supermercado", "Papelaria", "Materiais de Construção", "Hotel", "Armazém"};
const char* kBizName[] = {"São Jorge", "Pão de Mel", "Alvorada", "Vida Boa", "Brasil", "Ipê", "Sabor Mineiro",
                          "Bom Preço", "Boa Vista", "Horizonte", "Esperança", "Estrela", "Aurora", "Primavera"};
const char* kStreet[] = {"Rua das Flores", "Av. Brasil", "Rua XV de Novembro", "Av. Paulista", "Rua Sete de Setembro",
                         "Rua Tiradentes", "Av. Getúlio Vargas", "Rua Dom Pedro II", "Rua São José"};
const char* kProduct[] = {"Parafuso", "Porca", "Arruela", "Cabo elétrico", "Tinta acrílica", "Cimento", "Argamassa",
                          "Tubo PVC", "Conexão", "Registro", "Lâmpada LED", "Disjuntor", "Tomada", "Fita isolante",
                          "Broca", "Serra", "Martelo", "Chave de fenda", "Luva", "Capacete"};
const char* kVariant[] = {"pequeno", "médio", "grande", "reforçado", "premium", "econômico", "inox", "galvanizado"};
const char* kUnit[] = {"UN", "CX", "KG", "MT", "LT", "PC"};

using Rng = std::mt19937_64;

// Branches and their parameters: every price mode and visibility mode.
struct BranchDef {
    const char *code, *name, *priceMode, *visibility, *period;
};
const BranchDef kBranches[] = {{"0001", "Matriz São Paulo", "1", "1", "N"},
                               {"0002", "Filial Campinas", "2", "2", "N"},
                               {"0003", "Filial Belo Horizonte", "1", "2", "S"}};

struct Product {
    QString code;
    double price;
};

// The salesmen who earn commission, with their default percentages.
struct Salesmen {
    std::vector<QString> codes;
    std::vector<double> pct;
};

void insertBranches(Db& db)
{
    for (const auto& b : kBranches) {
        db.exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)"), {b.code, QString::fromUtf8(b.name)});
        db.exec(QStringLiteral("INSERT INTO PARAMPEDIDO (CDFILIAL, IDTABPRECO, IDEXIBPEDIDO) VALUES (?, ?, ?)"),
                {b.code, b.priceMode, b.visibility});
        db.exec(QStringLiteral("INSERT INTO PAREXPEDICAO (CDFILIAL, VRPECOGEREXP, VRPERCOMEXP, VRPERCOMREC, "
                               "IDCOMISPERIODO) VALUES (?, ?, ?, ?, ?)"),
                {b.code, 0.5, 1.0, 1.5, b.period});
    }
    db.exec(QStringLiteral("INSERT INTO MODULOFILIAL (CDMODULO, CDFILIAL) VALUES ('PED03600', '0001')"));
    db.exec(QStringLiteral("INSERT INTO PARAMGERAL (CDPARAM, DSVALOR) VALUES ('DBPICT0', '9.99.999.9999')"));
    db.exec(QStringLiteral("INSERT INTO PARAMGERAL (CDPARAM, DSVALOR) VALUES ('DBPICTNIVEIS0', '4')"));
}

// Operators, one per role. Passwords come from the system's random source,
// never from the seed; the seed's draw is kept so that the data after it
// stays the same.
std::vector<DemoOperator> insertOperators(Db& db, Rng& rng, const GenOptions& opt)
{
    auto password = [&](const char*) {
        rng();
        return generatePassword();
    };
    std::vector<DemoOperator> ops = {
        {QStringLiteral("ADM"), password("adm"), QStringLiteral("0001"),
         QStringLiteral("administrador: todos os pedidos de todas as filiais")},
        {QStringLiteral("GERENTE"), password("ger"), QStringLiteral("0002"),
         QStringLiteral("gerente: todos os pedidos; exceção da regra de visibilidade na filial 0002")},
        {QStringLiteral("VEND01"), password("ven"), QStringLiteral("0002"),
         QStringLiteral("vendedor 0001: na filial 0002 (visibilidade 2) só os pedidos do seu vendedor")},
        {QStringLiteral("CONSULTA"), password("con"), QStringLiteral("0001"),
         QStringLiteral("consulta: sem vendedor; na filial 0002 (visibilidade 2) não vê pedidos")},
    };
    const char* roles[] = {"Administrador", "Gerente", "Vendedor", "Consulta"};
    for (size_t i = 0; i < ops.size(); ++i)
        db.exec(QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHAHASH, DSPAPEL, IDTROCASENHA) "
                               "VALUES (?, ?, ?, ?, ?)"),
                {ops[i].code, QString::fromUtf8(roles[i]), hashPassword(ops[i].password),
                 QString::fromUtf8(roles[i]), QLatin1String(opt.provisionalPasswords ? "S" : "N")});
    for (const char* b : {"0001", "0002", "0003"})
        db.exec(QStringLiteral("INSERT INTO OPERTPED (CDFILIAL, CDOPERADOR) VALUES (?, 'ADM')"), {b});
    db.exec(QStringLiteral("INSERT INTO OPERTPED (CDFILIAL, CDOPERADOR) VALUES ('0002', 'GERENTE')"));
    return ops;
}

// Salesmen with roles; a few may not earn commission.
Salesmen insertSalesmen(Db& db, Rng& rng)
{
    const char cargos[] = {'V', 'V', 'V', 'S', 'G', 'A'};
    Salesmen out;
    for (int i = 1; i <= 40; ++i) {
        const QString code = pad(i, 4);
        const bool earns = i % 13 != 0;
        const double pct = 1.0 + static_cast<double>(rng() % 400) / 100.0;
        db.exec(QStringLiteral("INSERT INTO VENDEDOR (CDVENDEDOR, NMFANVEN, CDOPERADOR, VRPECOMVEN, IDGERACOMISVEND, "
                               "IDCARGOVEND) VALUES (?, ?, ?, ?, ?, ?)"),
                {code, QStringLiteral("%1 %2").arg(QString::fromUtf8(pick(rng, kFirst)), QString::fromUtf8(pick(rng, kLast))),
                 i == 1 ? QVariant(QStringLiteral("VEND01")) : kNullText, pct, earns ? "S" : "N",
                 QString(QLatin1Char(i == 1 ? 'V' : cargos[rng() % 6]))});
        if (earns) {
            out.codes.push_back(code);
            out.pct.push_back(pct);
        }
    }
    return out;
}

// Places and customers.
std::vector<QString> insertCustomers(Db& db, Rng& rng)
{
    db.exec(QStringLiteral("INSERT INTO PAIS (CDPAIS, NMPAIS) VALUES ('1058', 'Brasil')"));
    for (const auto& m : municipalities())
        db.exec(QStringLiteral("INSERT INTO MUNICIPIO (CDPAIS, SGESTADO, CDMUNICIPIO, NMMUNICIPIO) VALUES ('1058', ?, ?, ?)"),
                {m.state, m.code, QString::fromUtf8(m.name)});
    const int nCustomers = 500;
    std::vector<QString> customers;
    Bulk cli(db, QStringLiteral("CLIENTE"), {"CDCLIENTE", "IDTPIJURCLIE", "NRINSJURCLIE", "NMFANTCLIE", "NMRAZSOCCLIE"});
    Bulk end(db, QStringLiteral("ENDECLIE"), {"CDCLIENTE", "IDTPENDECLIE", "CDPAIS", "SGESTADO", "CDMUNICIPIO", "DSENDECLIE"});
    const auto& mun = municipalities();
    for (int i = 1; i <= nCustomers; ++i) {
        const QString code = QStringLiteral("CLI%1").arg(pad(i, 5));
        const bool company = rng() % 3 != 0;
        QString fant, razao;
        if (company) {
            fant = QStringLiteral("%1 %2").arg(QString::fromUtf8(pick(rng, kBusiness)), QString::fromUtf8(pick(rng, kBizName)));
            razao = fant + QStringLiteral(" Ltda");
        } else {
            fant = QStringLiteral("%1 %2").arg(QString::fromUtf8(pick(rng, kFirst)), QString::fromUtf8(pick(rng, kLast)));
            razao = fant;
        }
        cli.add({code, company ? "J" : "F", document(rng, company), fant.left(50), razao.left(50)});
        const auto& m = mun[rng() % mun.size()];
        end.add({code, "P", "1058", m.state, m.code,
                 QStringLiteral("%1, %2").arg(QString::fromUtf8(pick(rng, kStreet))).arg(10 + rng() % 2000)});
        if (rng() % 5 == 0) {
            const auto& m2 = mun[rng() % mun.size()];
            end.add({code, "C", "1058", m2.state, m2.code,
                     QStringLiteral("%1, %2").arg(QString::fromUtf8(pick(rng, kStreet))).arg(10 + rng() % 2000)});
        }
        customers.push_back(code);
    }
    return customers;
}

// Products, coded after the picture 9.99.999.9999, and what each branch sells.
std::vector<Product> insertProducts(Db& db, Rng& rng, const GenOptions& opt)
{
    std::vector<Product> products;
    Bulk prod(db, QStringLiteral("PRODUTO"), {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE", "VRPESOBRUTPR", "VRPESOLIQUPR"});
    Bulk sells(db, QStringLiteral("PRODFILI"), {"CDFILIAL", "CDPRODUTO"});
    for (int i = 1; i <= 300; ++i) {
        const QString code = QStringLiteral("P%1").arg(pad(i, 5));
        const QString arv = QStringLiteral("%1%2%3%4").arg(1 + i % 9).arg(pad(1 + (i / 9) % 20, 2)).arg(pad(1 + i % 50, 3)).arg(pad(i, 4));
        const double weight = 0.1 + static_cast<double>(rng() % 5000) / 100.0;
        prod.add({code, arv,
                  QStringLiteral("%1 %2").arg(QString::fromUtf8(pick(rng, kProduct)), QString::fromUtf8(pick(rng, kVariant))),
                  QString::fromLatin1(pick(rng, kUnit)), weight, weight * 0.9});
        for (const auto& b : kBranches)
            if (rng() % 10 < 7 || opt.oneBranch)
                sells.add({b.code, code});
        products.push_back({code, 2.0 + static_cast<double>(rng() % 50000) / 100.0});
    }
    return products;
}

// Commission rules of varying specificity.
void insertRules(Db& db, Rng& rng, const Salesmen& salesmen, const std::vector<Product>& products,
                 const std::vector<QString>& customers)
{
    Bulk rule(db, QStringLiteral("REGRACOMISSAO"), {"NRREGRA", "CDFILIAL", "CDVENDEDOR", "CDPRODUTO", "CDCLIENTE",
                                                    "IDITPEDDIFER", "VRPREUNITMIN", "VRPREUNITMAX", "VRPECOMISSAO", "DSREGRA"});
    int n = 1;
    for (const auto& b : kBranches) {
        rule.add({n++, b.code, kNullText, kNullText, kNullText, "P", kNull, kNull, 1.0,
                  QStringLiteral("Itens promocionais: 1%")});
        rule.add({n++, b.code, kNullText, kNullText, kNullText, kNullText, 1000.0, kNull, 2.5,
                  QStringLiteral("Preço unitário acima de R$ 1.000,00")});
        for (int k = 0; k < 6; ++k) {
            const QString& s = salesmen.codes[rng() % salesmen.codes.size()];
            const QString& p = products[rng() % products.size()].code;
            rule.add({n++, b.code, s, p, kNullText, kNullText, kNull, kNull,
                      3.0 + static_cast<double>(rng() % 500) / 100.0,
                      QStringLiteral("Vendedor %1 no produto %2").arg(s, p)});
        }
        rule.add({n++, b.code, kNullText, kNullText, customers[rng() % customers.size()], kNullText, kNull, kNull, 4.0,
                  QStringLiteral("Cliente especial")});
    }
}

// Orders with their items, commission lines, invoices and generated accounts.
class OrderWriter {
public:
    OrderWriter(Db& db, Rng& rng, const Salesmen& salesmen, const std::vector<Product>& products,
                const std::vector<QString>& customers)
        : m_rng(rng), m_salesmen(salesmen), m_products(products), m_customers(customers),
          m_ped(db, QStringLiteral("PEDIDO"), {"CDFILIAL", "NRPEDIDO", "IDSITPEDIDO", "CDCLIENTE", "DTPEDIDO", "DTENTPED",
                                               "CDVENDEDOR", "IDPRIORIDADE", "IDTIPOPEDIDO", "NRORDEMCOMPRA", "NRORDCOMPNORM",
                                               "IDCANCCOMISPED", "DSMOTCANCCOMISPED"}),
          m_item(db, QStringLiteral("ITEMPEDIDO"), {"CDFILIAL", "NRPEDIDO", "NRITEMPED", "CDPRODUTO", "QTITEMPED", "VRPREUNITPED",
                                                    "IDSITITEMPED", "QTEXPITEMPED", "VRPREUNIT", "CDFATPRECO", "QTITEMPED2",
                                                    "SGFATPRECO", "CDPRODESTO", "DTENTITPED", "IDITPEDDIFER", "VRPESOITPED", "SGUNIDPAI"}),
          m_line(db, QStringLiteral("COMISITEMPED"), {"CDFILIAL", "NRPEDIDO", "NRITEMPED", "CDVENDEDOR", "VRPECOMITPED"}),
          m_nota(db, QStringLiteral("NOTAFISCAL"), {"CDFILIAL", "NRNOTAFISCAL", "SGSERIENF", "NRPEDIDO", "DTEMISSAONF", "VRTOTALNF"}),
          m_lanc(db, QStringLiteral("LANCNF"), {"CDFILIAL", "NRLANCTONF", "NRPEDIDO", "NRITEMPED", "NRNOTAFISCAL", "SGSERIENF", "DTENTRSAID"}),
          m_conta(db, QStringLiteral("CONTAPAGA"), {"CDFILIAL", "NRPEDIDO", "CDFILIALPAG", "NRLANCTOPAG", "NRSEQVENPAG",
                                                    "NRPARCELAPAG", "CDFILIALREC", "NRLANCTOREC", "NRSEQVENREC", "NRPARCELAREC"})
    {
    }

    // One order of the branch on that day.
    void order(const BranchDef& br, const QString& nr, double day)
    {
        Rng& rng = m_rng;
        const char* orderStatus = "1111112223456"; // mostly pending
        const char st = orderStatus[rng() % 13];
        const double when = day + static_cast<double>(8 * 3600 + rng() % (10 * 3600)) / 86400.0;
        const bool hasDelivery = rng() % 10 != 0;
        const double delivery = day + 2 + static_cast<double>(rng() % 14);
        const size_t si = rng() % m_salesmen.codes.size();
        const QString& vend = m_salesmen.codes[si];
        QVariant oc = kNullText, ocNorm = kNullText;
        if (rng() % 6 == 0) {
            const QString o = rng() % 2 ? QString::number(1000 + rng() % 9000) : QStringLiteral("OC-%1").arg(rng() % 500);
            oc = o;
            ocNorm = fw::Ajusta(o, 15);
        }
        const bool cancelled = rng() % 30 == 0 && st <= '2';
        m_ped.add({br.code, nr, QString(QLatin1Char(st)), m_customers[rng() % m_customers.size()], when,
                   hasDelivery ? QVariant(delivery) : kNull, vend, QString(QChar(u'1' + static_cast<int>(rng() % 3))),
                   rng() % 7 == 0 ? "2" : "1", oc, ocNorm, cancelled ? "S" : "N",
                   cancelled ? QVariant(QStringLiteral("Comissão cancelada por ADM em %1 10:00:00").arg(fw::date::formatDate(day)))
                             : kNullText});
        const int nItems = 1 + static_cast<int>(rng() % 12);
        Invoice inv{pad(m_invoiceNo + 1, 10)};
        const Order o{br, nr, st, hasDelivery, delivery, si};
        for (int it = 1; it <= nItems; ++it)
            item(o, it, inv);
        if (inv.invoiced) {
            ++m_invoiceNo;
            m_nota.add({br.code, inv.number, "1", nr, hasDelivery ? delivery : day + 3, inv.total});
            if (rng() % 25 == 0) {
                const QString lp = pad(++m_payableNo, 10);
                m_conta.add({br.code, nr, br.code, lp, "01", "01", br.code, lp, "01", "01"});
            }
        }
    }

private:
    struct Order {
        const BranchDef& br;
        const QString& nr;
        char status;
        bool hasDelivery;
        double delivery;
        size_t salesman;
    };
    struct Invoice {
        QString number;
        bool invoiced = false;
        double total = 0;
    };

    // An item in a state that fits its order's, its commission lines and,
    // when delivered, its invoice posting.
    void item(const Order& o, int it, Invoice& inv)
    {
        Rng& rng = m_rng;
        const BranchDef& br = o.br;
        const bool factorPrices = QLatin1String(br.priceMode) == QLatin1String("2");
        char ist;
        switch (o.status) {
        case '1': ist = "123"[rng() % 3]; break;
        case '2': ist = "1237"[rng() % 4]; break;
        case '3':
        case '5': ist = "46"[rng() % 2]; break;
        case '4': ist = '5'; break;
        default: ist = "47"[rng() % 2];
        }
        const Product& p = m_products[rng() % m_products.size()];
        const QString nrItem = pad(it, 3);
        const double qty = static_cast<double>(1 + rng() % 200) / (rng() % 4 == 0 ? 8.0 : 1.0);
        const char* types[] = {"N", "N", "N", "S", "P", ""};
        const char* type = types[rng() % 6];
        m_item.add({br.code, o.nr, nrItem, p.code, qty, p.price, QString(QLatin1Char(ist)),
                    ist == '4' || ist == '6' ? qty : (ist == '7' ? qty / 2 : 0.0), p.price,
                    factorPrices ? QVariant(QStringLiteral("F%1").arg(rng() % 9 + 1)) : kNullText,
                    factorPrices ? QVariant(qty * 12) : kNull, factorPrices ? QVariant(QStringLiteral("x12")) : kNullText,
                    kNullText, o.hasDelivery ? QVariant(o.delivery) : kNull, QString::fromLatin1(type), qty * 0.5,
                    factorPrices ? QVariant(QStringLiteral("CX")) : kNullText});
        if (rng() % 100 < 85) {
            m_line.add({br.code, o.nr, nrItem, m_salesmen.codes[o.salesman], m_salesmen.pct[o.salesman]});
            if (rng() % 3 == 0) {
                size_t other = rng() % m_salesmen.codes.size();
                if (other != o.salesman)
                    m_line.add({br.code, o.nr, nrItem, m_salesmen.codes[other], 0.5 + static_cast<double>(rng() % 100) / 100.0});
            }
        }
        if (ist == '4' || ist == '6' || ist == '7') {
            inv.invoiced = true;
            inv.total += qty * p.price;
            m_lanc.add({br.code, pad(++m_postingNo, 10), o.nr, nrItem, inv.number, "1", o.delivery});
        }
    }

    Rng& m_rng;
    const Salesmen& m_salesmen;
    const std::vector<Product>& m_products;
    const std::vector<QString>& m_customers;
    Bulk m_ped, m_item, m_line, m_nota, m_lanc, m_conta;
    long long m_invoiceNo = 0, m_postingNo = 0, m_payableNo = 0;
};

} // namespace

std::vector<DemoOperator> generate(Db& db, const GenOptions& opt, const std::function<void(const QString&)>& progress)
{
    Rng rng(opt.seed);
    createSchema(db);
    if (db.sqliteHandle()) {
        db.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        db.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    }
    Transaction tx(db);
    insertBranches(db);
    std::vector<DemoOperator> ops = insertOperators(db, rng, opt);
    const Salesmen salesmen = insertSalesmen(db, rng);
    const std::vector<QString> customers = insertCustomers(db, rng);
    const std::vector<Product> products = insertProducts(db, rng, opt);
    insertRules(db, rng, salesmen, products, customers);

    // Orders: about 100 per branch and day, the newest on the generation date.
    const double newest = opt.newestDay > 0 ? opt.newestDay : fw::date::today();
    const int nBranches = opt.oneBranch ? 1 : 3;
    const long long perBranch = (opt.orders + nBranches - 1) / nBranches;
    OrderWriter orders(db, rng, salesmen, products, customers);
    long long made = 0;
    for (int bi = 0; bi < nBranches && made < opt.orders; ++bi) {
        for (long long k = 0; k < perBranch && made < opt.orders; ++k, ++made) {
            orders.order(kBranches[bi], pad(k + 1, 10), newest - static_cast<double>((perBranch - 1 - k) / 100));
            if (progress && made % 100000 == 99999)
                progress(QStringLiteral("%1 pedidos").arg(made + 1));
        }
    }
    tx.commit();
    if (db.sqliteHandle()) {
        db.exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        db.exec(QStringLiteral("ANALYZE"));
    }
    return ops;
}

} // namespace peddb
