#include "ScriptedUi.h"

#include <QStringList>

namespace fw {

int ScriptedUi::showMessage(const QString& text, MsgType type, Buttons buttons, int helpContext)
{
    messages.push_back({text, type, buttons, helpContext});
    if (onMessage)
        onMessage(messages.back());
    if (buttons == Buttons::Ok)
        return mrOk;
    if (answers.empty()) {
        ++unexpectedQuestions;
        return buttons == Buttons::YesNo ? mrNo : mrCancel;
    }
    const int a = answers.front();
    answers.pop_front();
    return a;
}

bool ScriptedUi::pesquisar(RecordSet& source, const QString& caption, bool, bool)
{
    ++pesquisarCalls;
    return onPesquisar ? onPesquisar(source, caption) : false;
}

bool ScriptedUi::pesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool,
                               QString& selection)
{
    ++pesquisaListaCalls;
    return onPesquisaLista ? onPesquisaLista(source, keyField, caption, selection) : false;
}

void ScriptedUi::procura(RecordSet& source)
{
    if (onProcura)
        onProcura(source);
}

int ScriptedUi::execModal(QObject* dialog)
{
    return onModal ? onModal(dialog) : mrCancel;
}

void ScriptedUi::busyStart(QObject*, int kind)
{
    ++busyDepth;
    busyKinds.push_back(kind);
}

void ScriptedUi::busyStop()
{
    --busyDepth;
}

void ScriptedUi::setWaitCursor(bool on)
{
    cursorDepth += on ? 1 : -1;
}

QStringList ScriptedUi::texts() const
{
    QStringList out;
    for (const auto& m : messages)
        out << m.text;
    return out;
}

void ScriptedUi::clear()
{
    messages.clear();
    answers.clear();
    unexpectedQuestions = 0;
    busyKinds.clear();
}

} // namespace fw
