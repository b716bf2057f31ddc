#pragma once

#include <QString>

class QObject;

namespace fw {

class RecordSet;

enum class MsgType { Information, Confirmation, Warning, Error };
// YesNoCancel: store (Sim), discard (Não) or stay (Cancelar).
enum class Buttons { Ok, YesNo, OkCancel, YesNoCancel };

// Modal results, as the screens compare them.
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Everything the screens ask of the user goes through this interface: the
// desktop shows real dialogs, tests install a scripted one.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal box; returns the button pressed (mrYes, mrNo, mrOk...).
    virtual int showMessage(const QString& text, MsgType type, Buttons buttons, int helpContext) = 0;

    // Single pick from a record set; caption is "title|empty-list text".
    // True when the user picked a record; the record set then stands on it.
    virtual bool pesquisar(RecordSet& source, const QString& caption, bool incremental, bool emptyError) = 0;

    // Multi-selection list; on confirmation the chosen keys are written into
    // selection as a list text; a cancelled picker leaves it unchanged.
    virtual bool pesquisaLista(RecordSet& source, const QString& keyField, const QString& caption,
                               bool incremental, QString& selection) = 0;

    // The find dialog on a record set.
    virtual void procura(RecordSet& source) = 0;

    // Runs a dialog modally and returns its result.
    virtual int execModal(QObject* dialog) = 0;

    // Busy animation over the main window (kind 1 sending, kind 6 reading).
    virtual void busyStart(QObject* mainWindow, int kind) = 0;
    virtual void busyStop() = 0;
    // Rows read so far by the running busy read (shown with the animation).
    virtual void busyProgress(qint64 rows) { (void)rows; }

    virtual void setWaitCursor(bool on) = 0;
};

} // namespace fw
