#pragma once

#include "core/UserInterface.h"

#include <QPointer>
#include <QWidget>

namespace fw {

// The busy animation: a panel over the main window. Kind 1 (sending) and
// kind 6 (reading) differ in text and colour.
class BusyOverlay : public QWidget {
    Q_OBJECT
public:
    BusyOverlay(QWidget* over, int kind);
    int kind() const { return m_kind; }
    void setRows(qint64 rows);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    int m_kind;
    int m_phase = 0;
    qint64 m_rows = -1;
};

// The desktop's user-interface service: Qt message boxes with Portuguese
// buttons, the pickers, modal dialogs, the busy panel and the cursor.
class QtUserInterface : public UserInterface {
public:
    int showMessage(const QString& text, MsgType type, Buttons buttons, int helpContext) override;
    bool pesquisar(RecordSet& source, const QString& caption, bool incremental, bool emptyError) override;
    bool pesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool incremental,
                       QString& selection) override;
    void procura(RecordSet& source) override;
    int execModal(QObject* dialog) override;
    void busyStart(QObject* mainWindow, int kind) override;
    void busyStop() override;
    void busyProgress(qint64 rows) override;
    void setWaitCursor(bool on) override;

    BusyOverlay* overlay() const { return m_overlay; }
    int busyDepth() const { return m_busyDepth; }

private:
    QPointer<BusyOverlay> m_overlay;
    int m_busyDepth = 0;
};

// The window a dialog of the framework is parented to.
QWidget* dialogParent();

} // namespace fw
