// The ped-server program as operators and outside checks start it.
#include "support/ServerFixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QString binary(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

TEST(Process, GeneratorPrintsOperatorsAndServerPrintsItsPortThenStopsOnSigterm)
{
    QTemporaryDir dir;
    const QString db = QStringLiteral("sqlite:") + dir.path() + QStringLiteral("/p.db");
    QProcess gen;
    gen.start(binary("ped-dbgen"), {QStringLiteral("--db"), db, QStringLiteral("--size"), QStringLiteral("40"), QStringLiteral("--seed"), QStringLiteral("3")});
    ASSERT_TRUE(gen.waitForFinished(60000));
    ASSERT_EQ(gen.exitCode(), 0) << gen.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(gen.readAllStandardOutput());
    const QRegularExpression line(QStringLiteral("^operator (\\S+) password (\\S+) branch (\\d{4}) .+$"), QRegularExpression::MultilineOption);
    auto it = line.globalMatch(out);
    QString adm, pw;
    int ops = 0;
    while (it.hasNext()) {
        const auto m = it.next();
        ++ops;
        if (m.captured(1) == QLatin1String("ADM"))
            adm = m.captured(1), pw = m.captured(2);
    }
    EXPECT_GE(ops, 4);
    ASSERT_FALSE(pw.isEmpty());

    QProcess server;
    server.start(binary("ped-server"), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db,
                                        QStringLiteral("--log-level"), QStringLiteral("info")});
    ASSERT_TRUE(server.waitForReadyRead(20000));
    const QString first = QString::fromUtf8(server.readLine()).trimmed();
    const QRegularExpression listening(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$"));
    const auto m = listening.match(first);
    ASSERT_TRUE(m.hasMatch()) << first.toStdString();
    httplib::Client c("127.0.0.1", m.captured(1).toInt());
    auto r = c.Post("/session", json{{"operator", adm.toStdString()}, {"password", pw.toStdString()}}.dump(), "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    // a refused write is in the log with its operator and reason
    const std::string tok = json::parse(r->body)["token"];
    auto refusal = c.Post("/rpc/Ped03600.rdmComissaoVend", {{"Authorization", "Bearer " + tok}},
                          json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "SetCancelaComissaoPed"},
                               {"params", {"9999999999", "0002", "S"}}}.dump(),
                          "application/json");
    ASSERT_TRUE(refusal);
    server.terminate(); // SIGTERM
    ASSERT_TRUE(server.waitForFinished(20000));
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    const QString log = QString::fromUtf8(server.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("method=login")));
    EXPECT_TRUE(log.contains(QRegularExpression(QStringLiteral("operator=ADM method=SetCancelaComissaoPed ms=\\S+ "
                                                               "result=refused: Pedido não encontrado\\.\n"))))
        << log.toStdString();

    QProcess bad;
    bad.start(binary("ped-server"), {QStringLiteral("--db"), QStringLiteral("mysql://x")});
    ASSERT_TRUE(bad.waitForFinished(20000));
    EXPECT_NE(bad.exitCode(), 0);
}

} // namespace
