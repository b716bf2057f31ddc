#pragma once

#include "RecordSet.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace fw {

enum class SqlDialect { Default, Oracle, MsSql, InterBase };

// The suite's database as the queries reach it: one Qt SQL connection whose
// driver decides the dialect.
class TdtmDBGeral {
public:
    QString connectionName; // empty: the login context's
    QString connection() const;
    SqlDialect dialect() const;
    static SqlDialect dialectOf(const QString& driverName);
};
TdtmDBGeral& dtmDBGeral();

// A named query parameter; null until given a value.
class TParam {
public:
    explicit TParam(QString name = {}) : m_name(std::move(name)) {}
    const QString& name() const { return m_name; }
    bool isNull() const { return m_value.isNull(); }
    const QVariant& value() const { return m_value; }
    void setNull() { m_value = QVariant(); }
    void setValue(const QVariant& v) { m_value = v; }
    void setAsString(const QString& s) { m_value = s; }
    void setAsInteger(qint64 v) { m_value = v; }
    void setAsFloat(double v) { m_value = v; }
    QString asString() const { return m_value.toString(); }

private:
    QString m_name;
    QVariant m_value;
};

using TParams = std::vector<TParam>;

// True when the parameters hold one of that name (case-insensitive).
bool ExistParam(const TParams& params, const QString& name);

// A read-only query with one text per dialect. Parameters are written
// ":NAME" and always bound, never pasted; the result lands in the record set
// Query, whose declared fields keep their display properties.
class TADOIBQuery : public QObject {
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject* parent = nullptr, const QString& name = {});

    QStringList SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB;
    // Empty: the data module's connection.
    QString connectionName;

    RecordSet Query;
    // Runs before every opening, after the parameters are known.
    std::function<void(TADOIBQuery&)> BeforeOpen;

    SqlDialect dialect() const;
    // The text the connection's dialect runs.
    QString activeText() const;

    // The parameters of the active text, in order of first use.
    const TParams& Params();
    TParam& ParamByName(const QString& name); // throws when absent

    void Open();
    void Close();
    bool Active() const { return Query.active(); }
    bool IsEmpty() const { return Query.isEmpty(); }

    // ":NAME" placeholders replaced by "?" (outside quotes), with the names
    // in order of occurrence.
    static QString positional(const QString& text, QStringList* names);

private:
    void syncParams();
    TParams m_params;
};

// Prepares a product query: the products carried by the branch (parameter
// P_CDFILIAL, which the query's BeforeOpen fills) when branchOnly, whose
// name contains text when given. Returns the text a picker shows when
// nothing is found.
QString SQL_Pesquisa_Produto(const QString& branch, const QString& text, TADOIBQuery& query, bool branchOnly);

} // namespace fw
