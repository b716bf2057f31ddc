#include "Operators.h"

#include "db/Password.h"

#include <QDateTime>
#include <QRegularExpression>
#include <map>

namespace pedadmin {

namespace {

QString checkedCode(const QString& code)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_.-]{1,32}$"));
    const QString c = code.trimmed();
    if (!valid.match(c).hasMatch())
        throw peddb::DbError(QStringLiteral("Código de operador inválido: use de 1 a 32 letras, dígitos, '_', '.' ou '-'."));
    return c;
}

bool exists(peddb::Db& db, const QString& code)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM OPERADOR WHERE CDOPERADOR = ?"), {code}).toInt() > 0;
}

[[noreturn]] void unknown(const QString& code)
{
    throw peddb::DbError(QStringLiteral("O operador %1 não existe.").arg(code));
}

} // namespace

QString addOperator(peddb::Db& db, const NewOperator& op)
{
    const QString code = checkedCode(op.code);
    const QString name = op.name.trimmed();
    if (name.isEmpty() || name.size() > 50)
        throw peddb::DbError(QStringLiteral("Informe o nome do operador (até 50 caracteres)."));
    const QString role = op.role.trimmed();
    if (role.size() > 30)
        throw peddb::DbError(QStringLiteral("O papel do operador tem no máximo 30 caracteres."));
    QStringList branches;
    for (const QString& b : op.branches)
        if (!branches.contains(b.trimmed()))
            branches << b.trimmed();
    // the slow hash before the transaction, which then holds the write lock briefly
    const QString password = peddb::generatePassword();
    const QString hash = peddb::hashPassword(password);
    peddb::Transaction tx(db);
    if (exists(db, code))
        throw peddb::DbError(QStringLiteral("O operador %1 já existe.").arg(code));
    for (const QString& b : branches)
        if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE CDFILIAL = ?"), {b}).toInt() == 0)
            throw peddb::DbError(QStringLiteral("A filial %1 não existe.").arg(b));
    db.exec(QStringLiteral("INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHAHASH, DSPAPEL, IDTROCASENHA, IDATIVO) "
                           "VALUES (?, ?, ?, ?, 'S', 'S')"),
            {code, name, hash, role.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(role)});
    for (const QString& b : branches)
        db.exec(QStringLiteral("INSERT INTO OPERTPED (CDFILIAL, CDOPERADOR) VALUES (?, ?)"), {b, code});
    tx.commit();
    return password;
}

QString resetPassword(peddb::Db& db, const QString& codeIn)
{
    const QString code = checkedCode(codeIn);
    const QString password = peddb::generatePassword();
    const QString hash = peddb::hashPassword(password);
    peddb::Transaction tx(db);
    if (db.exec(QStringLiteral("UPDATE OPERADOR SET DSSENHAHASH = ?, IDTROCASENHA = 'S' WHERE CDOPERADOR = ?"), {hash, code}) != 1)
        unknown(code);
    // whoever knew the old password is signed out, and a locked-out
    // operator can try the new one at once
    db.exec(QStringLiteral("DELETE FROM SESSAO WHERE CDOPERADOR = ?"), {code});
    db.exec(QStringLiteral("DELETE FROM TENTLOGIN WHERE CDOPERADOR = ?"), {code});
    tx.commit();
    return password;
}

void setActive(peddb::Db& db, const QString& codeIn, bool active)
{
    const QString code = checkedCode(codeIn);
    peddb::Transaction tx(db);
    if (db.exec(QStringLiteral("UPDATE OPERADOR SET IDATIVO = ? WHERE CDOPERADOR = ?"),
                {QLatin1String(active ? "S" : "N"), code})
        != 1)
        unknown(code);
    if (!active)
        db.exec(QStringLiteral("DELETE FROM SESSAO WHERE CDOPERADOR = ?"), {code});
    tx.commit();
}

std::vector<OperatorInfo> listOperators(peddb::Db& db)
{
    std::vector<OperatorInfo> out;
    std::map<QString, size_t> at;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const auto& r : db.rows(QStringLiteral("SELECT O.CDOPERADOR, O.NMOPERADOR, O.DSPAPEL, O.IDATIVO, O.IDTROCASENHA, "
                                                "(SELECT COUNT(*) FROM SESSAO S WHERE S.CDOPERADOR = O.CDOPERADOR "
                                                "AND S.NREXPIRA >= ?) FROM OPERADOR O ORDER BY O.CDOPERADOR"),
                                 {now})) {
        OperatorInfo o;
        o.code = r[0].toString();
        o.name = r[1].toString();
        o.role = r[2].toString();
        o.active = r[3].toString().trimmed() == QLatin1String("S");
        o.mustChange = r[4].toString().trimmed() == QLatin1String("S");
        o.sessions = r[5].toInt();
        at[o.code] = out.size();
        out.push_back(std::move(o));
    }
    for (const auto& r : db.rows(QStringLiteral("SELECT CDOPERADOR, CDFILIAL FROM OPERTPED ORDER BY CDOPERADOR, CDFILIAL")))
        if (auto it = at.find(r[0].toString()); it != at.end())
            out[it->second].branches << r[1].toString();
    return out;
}

} // namespace pedadmin
