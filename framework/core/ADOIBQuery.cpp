#include "ADOIBQuery.h"

#include "Context.h"
#include "DateUtil.h"
#include "FwError.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace fw {

QString TdtmDBGeral::connection() const
{
    return connectionName.isEmpty() ? ctx().login.dbConnection : connectionName;
}

SqlDialect TdtmDBGeral::dialect() const
{
    return dialectOf(QSqlDatabase::database(connection(), false).driverName());
}

SqlDialect TdtmDBGeral::dialectOf(const QString& driver)
{
    if (driver == QLatin1String("QOCI"))
        return SqlDialect::Oracle;
    if (driver == QLatin1String("QODBC") || driver == QLatin1String("QTDS"))
        return SqlDialect::MsSql;
    if (driver == QLatin1String("QIBASE"))
        return SqlDialect::InterBase;
    return SqlDialect::Default;
}

TdtmDBGeral& dtmDBGeral()
{
    static TdtmDBGeral dm;
    return dm;
}

bool ExistParam(const TParams& params, const QString& name)
{
    for (const auto& p : params)
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

TADOIBQuery::TADOIBQuery(QObject* parent, const QString& name) : QObject(parent), Query(name)
{
    setObjectName(name);
}

SqlDialect TADOIBQuery::dialect() const
{
    if (connectionName.isEmpty())
        return dtmDBGeral().dialect();
    return TdtmDBGeral::dialectOf(QSqlDatabase::database(connectionName, false).driverName());
}

QString TADOIBQuery::activeText() const
{
    const QStringList* text = &SQL;
    switch (dialect()) {
    case SqlDialect::Oracle: text = &SQL_ORACLE; break;
    case SqlDialect::MsSql: text = &SQL_MSSQL; break;
    case SqlDialect::InterBase: text = &SQL_IB; break;
    case SqlDialect::Default: break;
    }
    if (text->isEmpty())
        text = &SQL;
    return text->join(QLatin1Char('\n'));
}

QString TADOIBQuery::positional(const QString& text, QStringList* names)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype end = text.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            const qsizetype end = text.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char(':') && i + 1 < n && (text[i + 1].isLetter() || text[i + 1] == QLatin1Char('_'))
                   && (i == 0 || text[i - 1] != QLatin1Char(':'))) {
            qsizetype j = i + 1;
            while (j < n && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_')))
                ++j;
            if (names)
                names->append(text.mid(i + 1, j - i - 1).toUpper());
            out += QLatin1Char('?');
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

void TADOIBQuery::syncParams()
{
    QStringList names;
    positional(activeText(), &names);
    TParams next;
    for (const QString& nm : names) {
        if (ExistParam(next, nm))
            continue;
        TParam p(nm);
        for (const auto& old : m_params)
            if (old.name() == nm)
                p = old;
        next.push_back(p);
    }
    m_params = std::move(next);
}

const TParams& TADOIBQuery::Params()
{
    syncParams();
    return m_params;
}

TParam& TADOIBQuery::ParamByName(const QString& name)
{
    syncParams();
    for (auto& p : m_params)
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    throw Error(QStringLiteral("Parâmetro %1 não encontrado na consulta %2.").arg(name, objectName()));
}

namespace {

FieldType typeOf(const QSqlField& f)
{
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return FieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return FieldType::DateTime;
    default:
        return FieldType::String;
    }
}

void appendValue(Column& col, const QVariant& v)
{
    if (v.isNull()) {
        col.appendNull();
        return;
    }
    switch (col.type) {
    case FieldType::String: {
        QString s = v.toString();
        // Fixed-width CHAR columns come back blank-padded.
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        col.appendString(s.toStdString());
        break;
    }
    case FieldType::Integer: col.appendInt(v.toLongLong()); break;
    case FieldType::Float: col.appendDouble(v.toDouble()); break;
    case FieldType::DateTime:
        if (v.metaType().id() == QMetaType::QDate)
            col.appendDouble(date::fromQDate(v.toDate()));
        else if (v.metaType().id() == QMetaType::QDateTime)
            col.appendDouble(date::fromQDateTime(v.toDateTime()));
        else
            col.appendDouble(v.toDouble());
        break;
    }
}

} // namespace

void TADOIBQuery::Open()
{
    if (Active())
        return;
    syncParams();
    if (BeforeOpen)
        BeforeOpen(*this);
    QStringList names;
    const QString sql = positional(activeText(), &names);
    const QString conn = connectionName.isEmpty() ? dtmDBGeral().connection() : connectionName;
    QSqlDatabase db = QSqlDatabase::database(conn, false);
    if (!db.isOpen())
        throw Error(QStringLiteral("Sem conexão com o banco de dados (consulta %1).").arg(objectName()));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw Error(QStringLiteral("Falha ao preparar a consulta %1: %2").arg(objectName(), q.lastError().databaseText()));
    for (const QString& nm : names) {
        const TParam& p = ParamByName(nm);
        // A null still needs a type for drivers that describe parameters.
        q.addBindValue(p.isNull() ? QVariant(QMetaType(QMetaType::QString)) : p.value());
    }
    if (!q.exec())
        throw Error(QStringLiteral("Falha ao executar a consulta %1: %2").arg(objectName(), q.lastError().databaseText()));

    const QSqlRecord rec = q.record();
    Table t;
    const bool declared = Query.fieldCount() > 0;
    for (int c = 0; c < rec.count(); ++c) {
        const QSqlField f = rec.field(c);
        FieldDef def;
        def.name = f.name().toUpper();
        const Field* known = Query.findField(def.name);
        def.type = known ? known->dataType() : typeOf(f);
        def.size = known ? known->size() : (def.type == FieldType::String ? std::max(0, f.length()) : 0);
        if (!declared) {
            // An undeclared query shows what it selects.
            Query.addField(def.name, def.type, def.size);
        }
        t.fields.push_back(def);
        Column col;
        col.type = def.type;
        t.columns.push_back(std::move(col));
    }
    while (q.next()) {
        for (int c = 0; c < rec.count(); ++c)
            appendValue(t.columns[static_cast<size_t>(c)], q.value(c));
        ++t.rowCount;
    }
    Query.setTable(std::move(t));
}

void TADOIBQuery::Close()
{
    Query.close();
}

QString SQL_Pesquisa_Produto(const QString& branch, const QString& text, TADOIBQuery& query, bool branchOnly)
{
    query.Close();
    QStringList where;
    if (branchOnly)
        where << QStringLiteral("   EXISTS (SELECT 1 FROM PRODFILI F WHERE (F.CDPRODUTO = P.CDPRODUTO) AND (F.CDFILIAL = :P_CDFILIAL))");
    if (!text.trimmed().isEmpty())
        where << QStringLiteral("   (UPPER(P.NMPRODUTO) LIKE :P_NMPRODUTO)");
    QStringList sql = {QStringLiteral("SELECT"), QStringLiteral("   P.CDARVPROD,"), QStringLiteral("   P.NMPRODUTO"),
                       QStringLiteral("FROM"), QStringLiteral("   PRODUTO P")};
    if (!where.isEmpty())
        sql << QStringLiteral("WHERE") << where.join(QStringLiteral(" AND\n"));
    sql << QStringLiteral("ORDER BY") << QStringLiteral("   P.CDARVPROD");
    query.SQL = sql;
    query.SQL_ORACLE.clear();
    query.SQL_MSSQL.clear();
    query.SQL_IB.clear();
    if (!text.trimmed().isEmpty())
        query.ParamByName(QStringLiteral("P_NMPRODUTO"))
            .setAsString(QLatin1Char('%') + text.trimmed().toUpper() + QLatin1Char('%'));
    if (branchOnly) {
        query.ParamByName(QStringLiteral("P_CDFILIAL")).setAsString(branch);
        return QStringLiteral("Não há produto cadastrado para a filial %1.").arg(branch);
    }
    return QStringLiteral("Não há produto cadastrado.");
}

} // namespace fw
