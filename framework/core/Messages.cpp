#include "Messages.h"

#include "Context.h"

namespace fw {

TMessages::TMessages() = default;

TMessages::TMessages(const QStringList& entries, const TMessages* base) : m_base(base)
{
    setItems(entries);
}

void TMessages::setItems(const QStringList& entries)
{
    m_items.clear();
    m_folded.clear();
    for (const QString& e : entries)
        add(e);
}

void TMessages::add(const QString& entry)
{
    const qsizetype bar = entry.indexOf(QLatin1Char('|'));
    const QString key = bar < 0 ? entry : entry.left(bar);
    const QString text = bar < 0 ? QString() : entry.mid(bar + 1);
    m_items.insert(key, text);
    m_folded.insert(key.toLower(), text);
}

const QString* TMessages::find(const QString& key) const
{
    if (auto it = m_items.constFind(key); it != m_items.constEnd())
        return &it.value();
    if (auto it = m_folded.constFind(key.toLower()); it != m_folded.constEnd())
        return &it.value();
    return m_base && m_base != this ? m_base->find(key) : nullptr;
}

bool TMessages::contains(const QString& key) const
{
    return find(key) != nullptr;
}

QString TMessages::Msg(const QString& key) const
{
    const QString* t = find(key);
    return t ? *t : key;
}

int TMessages::ShowMsg(const QString& key, MsgType type, Buttons buttons, int helpContext) const
{
    return ctx().ui().showMessage(Msg(key), type, buttons, helpContext);
}

const TMessages& TMessages::baseCatalogue()
{
    static const TMessages base(
        {
            QStringLiteral("Canc|Deseja cancelar as alterações?"),
            QStringLiteral("Fechar_Pend|Há um registro sendo digitado. Deseja gravá-lo antes de fechar?\n\n"
                           "Sim grava, Não descarta e Cancelar volta à tela."),
            QStringLiteral("Excluir|Confirma a exclusão do registro?"),
            QStringLiteral("Sem_Registro|Não há registros para imprimir."),
            QStringLiteral("Opc_Salvas|Opções salvas."),
            QStringLiteral("Opc_Vazias|Não há opções salvas para esta tela."),
        },
        nullptr);
    return base;
}

} // namespace fw
