#pragma once

#include "core/UserInterface.h"

#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace fw {

// A user-interface service for tests: answers questions from a queue,
// picks rows through callbacks, drives modal dialogs and records every
// message shown.
class ScriptedUi : public UserInterface {
public:
    struct Message {
        QString text;
        MsgType type;
        Buttons buttons;
        int helpContext;
    };

    std::vector<Message> messages;
    std::deque<int> answers;     // for Yes/No and OK/Cancel boxes
    int unexpectedQuestions = 0; // questions asked with no answer queued

    // Return true to pick; position the record set on the picked row.
    std::function<bool(RecordSet&, const QString& caption)> onPesquisar;
    std::function<bool(RecordSet&, const QString& keyField, const QString& caption, QString& selection)> onPesquisaLista;
    std::function<void(RecordSet&)> onProcura;
    std::function<int(QObject* dialog)> onModal;
    // Runs while a message box would be open (before it returns).
    std::function<void(const Message&)> onMessage;

    int busyDepth = 0;
    std::vector<int> busyKinds;
    int cursorDepth = 0;
    int pesquisarCalls = 0;
    int pesquisaListaCalls = 0;

    int showMessage(const QString& text, MsgType type, Buttons buttons, int helpContext) override;
    bool pesquisar(RecordSet& source, const QString& caption, bool incremental, bool emptyError) override;
    bool pesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool incremental,
                       QString& selection) override;
    void procura(RecordSet& source) override;
    int execModal(QObject* dialog) override;
    void busyStart(QObject* mainWindow, int kind) override;
    void busyStop() override;
    void setWaitCursor(bool on) override;

    // Texts of the messages shown, in order.
    QStringList texts() const;
    QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
    void clear();
};

} // namespace fw
