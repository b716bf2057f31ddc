#include "Controls.h"

#include "Events.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FormatUtil.h"
#include "core/FwError.h"
#include "core/Services.h"

#include <QKeyEvent>
#include <QLayout>
#include <QRegularExpressionValidator>

namespace fw {

namespace {

class CaretToFirstFree : public QObject {
public:
    static constexpr const char* kName = "caretToFirstFree";
    explicit CaretToFirstFree(QLineEdit* edit) : QObject(edit), m_edit(edit)
    {
        setObjectName(QLatin1String(kName));
        edit->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease && !m_edit->hasSelectedText())
            fix(false); // the press has placed the cursor where the click landed
        else if (e->type() == QEvent::FocusIn) {
            const auto reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
                // after the edit's own focus handling has placed its cursor
                QMetaObject::invokeMethod(this, [this] { fix(true); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    // A click keeps its place unless it is past the first free position.
    void fix(bool tabbed)
    {
        if (m_edit->inputMask().isEmpty() || !m_edit->hasFocus())
            return;
        const QString shown = m_edit->displayText();
        const QString mask = m_edit->inputMask();
        const QChar blank = mask.contains(QLatin1Char(';')) ? mask.at(mask.lastIndexOf(QLatin1Char(';')) + 1) : QLatin1Char(' ');
        const int free = shown.indexOf(blank);
        if (free >= 0 && (tabbed || m_edit->cursorPosition() > free || m_edit->hasSelectedText()))
            m_edit->setCursorPosition(free);
    }
    QLineEdit* m_edit;
};

} // namespace

void caretToFirstFree(QLineEdit* edit)
{
    if (!edit->findChild<QObject*>(QLatin1String(CaretToFirstFree::kName), Qt::FindDirectChildrenOnly))
        new CaretToFirstFree(edit);
}

TDateEditPlus::TDateEditPlus(QWidget* parent, const QString& name) : QLineEdit(parent)
{
    setObjectName(name);
    setInputMask(QStringLiteral("99/99/9999; "));
    caretToFirstFree(this);
    setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
}

bool TDateEditPlus::isBlank() const
{
    return EmptyString(text());
}

bool TDateEditPlus::IsDateValid() const
{
    return !isBlank() && date::parseDate(displayText()).has_value();
}

double TDateEditPlus::GetDate() const
{
    if (isBlank())
        return date::kNoDate;
    return date::parseDate(displayText()).value_or(date::kNoDate);
}

void TDateEditPlus::SetDate(double days)
{
    setText(days == date::kNoDate ? QString() : date::formatDate(days));
}

TNumberEdit::TNumberEdit(QWidget* parent, const QString& name) : QLineEdit(parent)
{
    setObjectName(name);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9.]*(,[0-9]*)?")), this));
}

double TNumberEdit::GetNumber() const
{
    if (text().trimmed().isEmpty())
        return 0;
    const auto v = fmt::parseNumber(text());
    if (!v)
        throw Error(QStringLiteral("'%1' não é um número válido.").arg(text()));
    return *v;
}

void TNumberEdit::SetNumber(double v)
{
    QString pic = QStringLiteral("#,##0");
    if (decimals > 0)
        pic += QLatin1Char('.') + QString(decimals, QLatin1Char('0'));
    setText(fmt::formatFloat(pic, v));
}

TButtonFlat::TButtonFlat(QWidget* parent, const QString& name) : QToolButton(parent)
{
    setObjectName(name);
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setFocusPolicy(Qt::StrongFocus);
    // A flat button that stays down must look down: sunken, tinted and bold,
    // not merely without its hover frame.
    setStyleSheet(QStringLiteral("QToolButton:checked { background-color: #f6d58e; border: 1px solid #9a6b00;"
                                 " border-radius: 3px; padding: 2px; font-weight: bold; }"));
}

void TButtonFlat::SetDown(bool down)
{
    if (down && GroupIndex != 0 && parentWidget()) {
        for (auto* other : parentWidget()->findChildren<TButtonFlat*>(Qt::FindDirectChildrenOnly))
            if (other != this && other->GroupIndex == GroupIndex)
                other->setChecked(false);
    }
    setCheckable(down || isCheckable());
    setChecked(down);
}

void TButtonFlat::nextCheckState()
{
    if (GroupIndex == 0) {
        QToolButton::nextCheckState();
        return;
    }
    // In a group a click puts the button down; only AllowAllUp releases it.
    if (isChecked()) {
        if (AllowAllUp)
            setChecked(false);
        return;
    }
    SetDown(true);
}

TBtnPesquisa::TBtnPesquisa(QWidget* parent, const QString& name) : QToolButton(parent)
{
    setObjectName(name);
    setText(QStringLiteral("…"));
    setToolTip(QStringLiteral("Pesquisar (F9)"));
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QToolButton::clicked, this, [this] { guarded([this] { execute(); }); });
}

void TBtnPesquisa::setAssociate(QWidget* edit)
{
    if (m_associate)
        m_associate->removeEventFilter(this);
    m_associate = edit;
    if (m_associate)
        m_associate->installEventFilter(this);
}

bool TBtnPesquisa::execute()
{
    if (!isEnabled())
        return false;
    if (OnBeforePesq)
        OnBeforePesq();
    if (!dataSource || !dataSource->dataSet())
        throw Error(QStringLiteral("Pesquisa %1 sem conjunto de dados.").arg(objectName()));
    if (!Pesquisar(*dataSource, Title, false, EmptyError)) {
        focusBack(m_associate);
        return false;
    }
    if (OnAfterPesq)
        OnAfterPesq();
    focusBack(m_associate);
    return true;
}

bool TBtnPesquisa::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_associate && e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F9) {
        guarded([this] { execute(); });
        return true;
    }
    return QToolButton::eventFilter(o, e);
}

TCompactRow::TCompactRow(QWidget* parent, const QString& name) : QWidget(parent)
{
    setObjectName(name);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QSize TCompactRow::minimumSizeHint() const
{
    return {0, layout() ? layout()->minimumSize().height() : 0};
}

void TCompactRow::setCompact(bool on)
{
    if (on == m_compact)
        return;
    m_compact = on;
    for (auto* b : findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (b->icon().isNull())
            continue;
        if (on) {
            b->setProperty("fwFullStyle", static_cast<int>(b->toolButtonStyle()));
            b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        } else if (b->property("fwFullStyle").isValid()) {
            b->setToolButtonStyle(static_cast<Qt::ToolButtonStyle>(b->property("fwFullStyle").toInt()));
        }
    }
}

void TCompactRow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (!layout())
        return;
    if (!m_compact) {
        m_fullWidth = layout()->sizeHint().width();
        if (width() < m_fullWidth)
            setCompact(true);
    } else if (width() >= m_fullWidth) {
        setCompact(false);
    }
}

} // namespace fw
