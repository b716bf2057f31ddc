#include "Services.h"

#include "Context.h"
#include "FwError.h"
#include "RecordSet.h"

namespace fw {

namespace {

RecordSet& setOf(DataSource& ds)
{
    if (!ds.dataSet())
        throw Error(QStringLiteral("Pesquisa sem conjunto de dados."));
    return *ds.dataSet();
}

} // namespace

bool Pesquisar(RecordSet& source, const QString& caption, bool incremental, bool emptyError)
{
    return ctx().ui().pesquisar(source, caption, incremental, emptyError);
}

bool Pesquisar(DataSource& source, const QString& caption, bool incremental, bool emptyError)
{
    return Pesquisar(setOf(source), caption, incremental, emptyError);
}

bool PesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool incremental,
                   QString& selection)
{
    source.fieldByName(keyField); // a wrong key field fails before the picker opens
    return ctx().ui().pesquisaLista(source, keyField, caption, incremental, selection);
}

bool PesquisaLista(DataSource& source, const QString& keyField, const QString& caption, bool incremental,
                   QString& selection)
{
    return PesquisaLista(setOf(source), keyField, caption, incremental, selection);
}

void Procura(RecordSet& source)
{
    ctx().ui().procura(source);
}

void ActiveShowAvi(QObject* mainWindow, int kind)
{
    ctx().ui().busyStart(mainWindow, kind);
}

void DeactiveShowAvi()
{
    ctx().ui().busyStop();
}

QString joinListText(const QStringList& keys)
{
    QStringList clean;
    for (const QString& k : keys) {
        const QString t = k.trimmed();
        if (!t.isEmpty())
            clean << t;
    }
    return clean.join(QLatin1Char(','));
}

QStringList splitListText(const QString& list)
{
    QStringList out;
    for (const QString& part : list.split(QLatin1Char(','))) {
        QString t = part.trimmed();
        while (t.startsWith(QLatin1Char('\'')))
            t.remove(0, 1);
        while (t.endsWith(QLatin1Char('\'')))
            t.chop(1);
        t = t.trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

QString captionTitle(const QString& caption)
{
    return caption.section(QLatin1Char('|'), 0, 0);
}

QString captionEmptyText(const QString& caption)
{
    return caption.section(QLatin1Char('|'), 1);
}

} // namespace fw
