// ped-dbgen: creates the schema and fills it with deterministic data.
#include "Generator.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString db;
    peddb::GenOptions opt;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "ped-dbgen: %s needs a value\n", a.toUtf8().constData());
                std::exit(2);
            }
            return args[++i];
        };
        if (a == QLatin1String("--db"))
            db = value();
        else if (a == QLatin1String("--size")) {
            const QString s = value();
            bool ok = true;
            opt.orders = s == QLatin1String("demo") ? 2000 : s.toLongLong(&ok);
            if (!ok || opt.orders < 0 || opt.orders > 10000000) {
                std::fprintf(stderr, "ped-dbgen: --size is demo or a number of orders\n");
                return 2;
            }
        } else if (a == QLatin1String("--seed"))
            opt.seed = value().toULongLong();
        else if (a == QLatin1String("--one-branch"))
            opt.oneBranch = true;
        else if (a == QLatin1String("--provisional-passwords"))
            opt.provisionalPasswords = true;
        else {
            std::fprintf(stderr, "usage: ped-dbgen --db sqlite:PATH|firebird://... [--size demo|N] [--seed N] [--one-branch] [--provisional-passwords]\n");
            return 2;
        }
    }
    if (db.isEmpty()) {
        std::fprintf(stderr, "ped-dbgen: --db is required\n");
        return 2;
    }
    try {
        const peddb::DbUrl url = peddb::DbUrl::parse(db);
        if (url.dialect == peddb::Dialect::SQLite)
            for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(url.path + suffix); // a new database every time
        peddb::Db conn(url, QStringLiteral("dbgen"));
        const auto ops = peddb::generate(conn, opt, [](const QString& s) {
            std::fprintf(stderr, "ped-dbgen: %s\n", s.toUtf8().constData());
        });
        for (const auto& o : ops)
            std::printf("operator %s password %s branch %s %s\n", o.code.toUtf8().constData(),
                        o.password.toUtf8().constData(), o.branch.toUtf8().constData(), o.sees.toUtf8().constData());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ped-dbgen: %s\n", e.what());
        return 1;
    }
}
