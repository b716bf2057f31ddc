#include "Navigator.h"

#include "core/Context.h"
#include "core/Messages.h"

#include <QHBoxLayout>
#include <QStyle>

namespace fw {

// Follows the record set so the buttons enable as its state allows.
class TDBNavigator::Watch : public RecordSetObserver {
public:
    explicit Watch(TDBNavigator* nav) : m_nav(nav) {}
    void rsReset() override { m_nav->updateButtons(); }
    void rsRowChanged(int) override {}
    void rsBeginInsertRows(int, int) override {}
    void rsEndInsertRows() override { m_nav->updateButtons(); }
    void rsBeginRemoveRows(int, int) override {}
    void rsEndRemoveRows() override { m_nav->updateButtons(); }
    void rsCurrentChanged(int) override { m_nav->updateButtons(); }
    void rsStateChanged() override { m_nav->updateButtons(); }
    void rsDestroyed(RecordSet&) override { rs = nullptr; }
    RecordSet* rs = nullptr;

private:
    TDBNavigator* m_nav;
};

TDBNavigator::TDBNavigator(QWidget* parent, const QString& name) : QWidget(parent), m_watch(std::make_unique<Watch>(this))
{
    setObjectName(name);
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    struct Def {
        Button b;
        QStyle::StandardPixmap icon;
        const char* tip;
    };
    const Def defs[] = {
        {nbFirst, QStyle::SP_MediaSkipBackward, "Primeiro registro"},
        {nbPrior, QStyle::SP_MediaSeekBackward, "Registro anterior"},
        {nbNext, QStyle::SP_MediaSeekForward, "Próximo registro"},
        {nbLast, QStyle::SP_MediaSkipForward, "Último registro"},
        {nbInsert, QStyle::SP_FileDialogNewFolder, "Incluir registro"},
        {nbDelete, QStyle::SP_TrashIcon, "Excluir registro"},
        {nbEdit, QStyle::SP_FileDialogDetailedView, "Alterar registro"},
        {nbPost, QStyle::SP_DialogApplyButton, "Confirmar"},
        {nbCancel, QStyle::SP_DialogCancelButton, "Cancelar"},
    };
    for (const Def& d : defs) {
        auto* btn = new QToolButton(this);
        btn->setIcon(style()->standardIcon(d.icon));
        btn->setToolTip(QString::fromUtf8(d.tip));
        btn->setAccessibleName(QString::fromUtf8(d.tip));
        btn->setAutoRaise(true);
        btn->setFocusPolicy(Qt::NoFocus);
        lay->addWidget(btn);
        m_buttons[d.b] = btn;
        const Button b = d.b;
        connect(btn, &QToolButton::clicked, this, [this, b] { guarded([this, b] { click(b); }); });
    }
    updateButtons();
}

TDBNavigator::~TDBNavigator()
{
    if (m_watch->rs)
        m_watch->rs->removeObserver(m_watch.get());
}

void TDBNavigator::setDataSource(DataSource* ds)
{
    if (m_watch->rs)
        m_watch->rs->removeObserver(m_watch.get());
    m_ds.reset(ds);
    m_watch->rs = ds ? ds->dataSet() : nullptr;
    if (m_watch->rs)
        m_watch->rs->addObserver(m_watch.get());
    updateButtons();
}

QToolButton* TDBNavigator::button(Button b) const
{
    return m_buttons.at(b);
}

void TDBNavigator::updateButtons()
{
    RecordSet* rs = dataSource() ? dataSource()->dataSet() : nullptr;
    const bool active = rs && rs->active();
    const bool editing = active && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert);
    const bool rows = active && !rs->isEmpty();
    const bool canBack = rows && !editing && rs->recNo() > 0;
    const bool canFwd = rows && !editing && rs->recNo() < rs->recordCount() - 1;
    m_buttons[nbFirst]->setEnabled(canBack);
    m_buttons[nbPrior]->setEnabled(canBack);
    m_buttons[nbNext]->setEnabled(canFwd);
    m_buttons[nbLast]->setEnabled(canFwd);
    m_buttons[nbInsert]->setEnabled(active && !editing);
    m_buttons[nbDelete]->setEnabled(rows && !editing);
    m_buttons[nbEdit]->setEnabled(rows && !editing);
    m_buttons[nbPost]->setEnabled(editing);
    m_buttons[nbCancel]->setEnabled(editing);
}

void TDBNavigator::click(Button b)
{
    RecordSet* rs = dataSource() ? dataSource()->dataSet() : nullptr;
    if (!rs || !rs->active() || !m_buttons[b]->isEnabled())
        return;
    if (BeforeAction)
        BeforeAction(*this, b);
    switch (b) {
    case nbFirst: rs->first(); break;
    case nbPrior: rs->prior(); break;
    case nbNext: rs->next(); break;
    case nbLast: rs->last(); break;
    case nbInsert: rs->insert(); break;
    case nbEdit: rs->edit(); break;
    case nbPost: rs->post(); break;
    case nbCancel: rs->cancel(); break;
    case nbDelete: {
        const bool go = ConfirmDelete ? ConfirmDelete()
                                      : TMessages::baseCatalogue().ShowMsg(QStringLiteral("Excluir"), MsgType::Confirmation,
                                                                           Buttons::YesNo) == mrYes;
        if (go)
            rs->deleteRecord();
        break;
    }
    }
    updateButtons();
}

} // namespace fw
