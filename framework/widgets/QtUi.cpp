#include "QtUi.h"

#include "Events.h"
#include "Pickers.h"
#include "core/Context.h"
#include "core/Services.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QPainter>
#include <QPushButton>

namespace fw {

QWidget* dialogParent()
{
    if (QWidget* w = QApplication::activeModalWidget())
        return w;
    if (QWidget* w = QApplication::activeWindow())
        return w;
    return qobject_cast<QWidget*>(ctx().mainWindow);
}

BusyOverlay::BusyOverlay(QWidget* over, int kind) : QWidget(over), m_kind(kind)
{
    setObjectName(QStringLiteral("aviBusy"));
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    setGeometry(over->rect());
    over->installEventFilter(this);
    startTimer(120);
    show();
    raise();
}

bool BusyOverlay::eventFilter(QObject* o, QEvent* e)
{
    if (o == parent() && e->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(o, e);
}

void BusyOverlay::timerEvent(QTimerEvent*)
{
    m_phase = (m_phase + 1) % 12;
    update();
}

void BusyOverlay::setRows(qint64 rows)
{
    m_rows = rows;
    update();
}

void BusyOverlay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0, 0, 0, 60));
    const bool sending = m_kind == 1;
    const QString text = sending           ? QStringLiteral("Gravando alterações no servidor...")
                         : m_rows >= 0 ? QStringLiteral("Lendo dados do servidor... %L1 registros").arg(m_rows)
                                       : QStringLiteral("Lendo dados do servidor...");
    const QColor accent = sending ? QColor(0xC0, 0x60, 0x10) : QColor(0x20, 0x70, 0xB0);
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(text) + 90;
    const QRect box(width() / 2 - w / 2, height() / 2 - 30, w, 60);
    p.setBrush(QColor(0xFA, 0xFA, 0xFA));
    p.setPen(QPen(accent, 2));
    p.drawRoundedRect(box, 8, 8);
    // A ring of dots, one lit per phase.
    const QPointF c(box.left() + 30, box.center().y());
    for (int i = 0; i < 12; ++i) {
        const double a = i * 3.14159265358979 / 6;
        QColor dot = accent;
        dot.setAlpha(i == m_phase ? 255 : 70);
        p.setBrush(dot);
        p.setPen(Qt::NoPen);
        p.drawEllipse(c + QPointF(12 * std::cos(a), 12 * std::sin(a)), 3, 3);
    }
    p.setPen(Qt::black);
    p.drawText(box.adjusted(55, 0, -10, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
}

int QtUserInterface::showMessage(const QString& text, MsgType type, Buttons buttons, int helpContext)
{
    QWidget* back = QApplication::focusWidget();
    QMessageBox box(dialogParent());
    box.setObjectName(QStringLiteral("msgBox"));
    box.setText(text);
    switch (type) {
    case MsgType::Information: box.setIcon(QMessageBox::Information); box.setWindowTitle(QStringLiteral("Informação")); break;
    case MsgType::Confirmation: box.setIcon(QMessageBox::Question); box.setWindowTitle(QStringLiteral("Confirmação")); break;
    case MsgType::Warning: box.setIcon(QMessageBox::Warning); box.setWindowTitle(QStringLiteral("Atenção")); break;
    case MsgType::Error: box.setIcon(QMessageBox::Critical); box.setWindowTitle(QStringLiteral("Erro")); break;
    }
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) {
        yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        if (buttons == Buttons::YesNoCancel) {
            cancel = box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
        }
    } else {
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        if (buttons == Buttons::OkCancel) {
            cancel = box.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
        } else {
            box.setEscapeButton(ok);
        }
    }
    if (helpContext > 0 && ctx().help) {
        QPushButton* help = box.addButton(QStringLiteral("Ajuda"), QMessageBox::HelpRole);
        QObject::disconnect(help, nullptr, &box, nullptr);
        QObject::connect(help, &QPushButton::clicked, [helpContext] { ctx().help(helpContext); });
    }
    // The box is as wide as its text needs, not its title: a window manager
    // then cuts the title ("Info…ação"). Room for the title and the frame's
    // buttons keeps it whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int title = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 3 / 2 + 160;
        grid->addItem(new QSpacerItem(title, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    if (back)
        focusBack(back);
    if (pressed == yes && yes)
        return mrYes;
    if (pressed == no && no)
        return mrNo;
    if (pressed == cancel && cancel)
        return mrCancel;
    if (buttons == Buttons::YesNo)
        return mrNo;
    return pressed == ok || buttons == Buttons::Ok ? mrOk : mrCancel;
}

bool QtUserInterface::pesquisar(RecordSet& source, const QString& caption, bool, bool emptyError)
{
    if (!source.active())
        source.open();
    if (source.isEmpty() && emptyError) {
        const QString empty = captionEmptyText(caption);
        showMessage(empty.isEmpty() ? QStringLiteral("Não há registros para pesquisar.") : empty, MsgType::Information,
                    Buttons::Ok, 0);
        return false;
    }
    QWidget* back = QApplication::focusWidget();
    TPesquisaDialog dlg(source, caption, dialogParent());
    const bool picked = dlg.exec() == QDialog::Accepted && !source.isEmpty();
    if (back)
        focusBack(back);
    return picked;
}

bool QtUserInterface::pesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool,
                                    QString& selection)
{
    if (!source.active())
        source.open();
    QWidget* back = QApplication::focusWidget();
    TPesquisaListaDialog dlg(source, keyField, caption, selection, dialogParent());
    const bool ok = dlg.exec() == QDialog::Accepted;
    if (ok)
        selection = dlg.selection();
    if (back)
        focusBack(back);
    return ok;
}

void QtUserInterface::procura(RecordSet& source)
{
    QWidget* back = QApplication::focusWidget();
    TProcuraDialog dlg(source, dialogParent());
    dlg.exec();
    if (back)
        focusBack(back);
}

int QtUserInterface::execModal(QObject* dialog)
{
    auto* d = qobject_cast<QDialog*>(dialog);
    if (!d)
        return mrCancel;
    return d->exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void QtUserInterface::busyProgress(qint64 rows)
{
    if (m_overlay)
        m_overlay->setRows(rows);
}

void QtUserInterface::busyStart(QObject* mainWindow, int kind)
{
    ++m_busyDepth;
    auto* over = qobject_cast<QWidget*>(mainWindow ? mainWindow : ctx().mainWindow);
    if (!over)
        over = QApplication::activeWindow();
    if (!over)
        return;
    delete m_overlay.data();
    m_overlay = new BusyOverlay(over, kind);
    // The call that follows blocks the event loop: paint now.
    m_overlay->repaint();
}

void QtUserInterface::busyStop()
{
    if (m_busyDepth > 0)
        --m_busyDepth;
    if (m_busyDepth == 0 && m_overlay) {
        m_overlay->hide();
        m_overlay->deleteLater();
        m_overlay.clear();
    }
}

void QtUserInterface::setWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace fw
