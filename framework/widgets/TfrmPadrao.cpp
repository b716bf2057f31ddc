#include "TfrmPadrao.h"

#include "Events.h"
#include "GridPrint.h"
#include "core/Context.h"
#include "core/Services.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStyle>
#include <QVBoxLayout>

namespace fw {

TfrmPadrao::TfrmPadrao(QWidget* parent, const QString& screenCode, const QString& caption)
    : QWidget(parent), msgPadrao(QStringList{}), m_code(screenCode)
{
    setObjectName(QStringLiteral("frmPadrao"));
    setWindowTitle(caption);
    FocusTracker::markForm(this);
    rootLayout = new QVBoxLayout(this);
    rootLayout->setContentsMargins(4, 0, 4, 4);
    rootLayout->setSpacing(4);

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("mnuPadrao"));
    menuBar->setNativeMenuBar(false);
    rootLayout->setMenuBar(menuBar);
    mnuManutencao = menuBar->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));
    mnuIncluir = addAction(mnuManutencao, QStringLiteral("mnuIncluir"), QStringLiteral("&Incluir"), Qt::Key_F2, &TfrmPadrao::sbtIncluirClick);
    mnuAlterar = addAction(mnuManutencao, QStringLiteral("mnuAlterar"), QStringLiteral("&Alterar"), Qt::Key_F3, &TfrmPadrao::sbtAlterarClick);
    mnuExcluir = addAction(mnuManutencao, QStringLiteral("mnuExcluir"), QStringLiteral("&Excluir"), QKeySequence(Qt::CTRL | Qt::Key_Delete), &TfrmPadrao::sbtExcluirClick);
    mnuManutencao->addSeparator();
    mnuConfirmar = addAction(mnuManutencao, QStringLiteral("mnuConfirmar"), QStringLiteral("C&onfirmar"), Qt::Key_F10, &TfrmPadrao::sbtConfirmarClick);
    mnuCancelar = addAction(mnuManutencao, QStringLiteral("mnuCancelar"), QStringLiteral("&Cancelar"), Qt::Key_F11, &TfrmPadrao::sbtCancelarClick);
    mnuManutencao->addSeparator();
    mnuProcurar = addAction(mnuManutencao, QStringLiteral("mnuProcurar"), QStringLiteral("&Procurar"), QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmPadrao::sbtProcurarClick);
    mnuImprimir = addAction(mnuManutencao, QStringLiteral("mnuImprimir"), QStringLiteral("Imp&rimir"), QKeySequence(Qt::CTRL | Qt::Key_P), &TfrmPadrao::sbtImprimirClick);
    mnuManutencao->addSeparator();
    mnuFechar = addAction(mnuManutencao, QStringLiteral("mnuFechar"), QStringLiteral("&Fechar"), QKeySequence(Qt::CTRL | Qt::Key_F4), &TfrmPadrao::sbtFecharClick);
    mnuExibir = menuBar->addMenu(QStringLiteral("E&xibir"));
    mnuExibir->setObjectName(QStringLiteral("mnuExibir"));
    mnuFolhaDados = addAction(mnuExibir, QStringLiteral("mnuFolhaDados"), QStringLiteral("Folha de &Dados"), QKeySequence(Qt::CTRL | Qt::Key_1), &TfrmPadrao::mnuFolhaDadosClick);
    mnuFormulario = addAction(mnuExibir, QStringLiteral("mnuFormulario"), QStringLiteral("&Formulário"), QKeySequence(Qt::CTRL | Qt::Key_2), &TfrmPadrao::mnuFormularioClick);
    mnuFolhaDados->setCheckable(true);
    mnuFormulario->setCheckable(true);
    QMenu* help = menuBar->addMenu(QStringLiteral("Aj&uda"));
    help->setObjectName(QStringLiteral("mnuAjudaMenu"));
    mnuAjuda = addAction(help, QStringLiteral("mnuAjuda"), QStringLiteral("&Ajuda desta tela"), Qt::Key_F1, &TfrmPadrao::sbtAjudaClick);

    panBotoes = new TCompactRow(this, QStringLiteral("panBotoes"));
    toolLayout = new QHBoxLayout(panBotoes);
    toolLayout->setContentsMargins(0, 0, 0, 0);
    toolLayout->setSpacing(2);
    sbtIncluir = addButton(QStringLiteral("sbtIncluir"), QStringLiteral("Incluir"), QStringLiteral("Incluir (F2)"), &TfrmPadrao::sbtIncluirClick);
    sbtAlterar = addButton(QStringLiteral("sbtAlterar"), QStringLiteral("Alterar"), QStringLiteral("Alterar (F3)"), &TfrmPadrao::sbtAlterarClick);
    sbtExcluir = addButton(QStringLiteral("sbtExcluir"), QStringLiteral("Excluir"), QStringLiteral("Excluir (Ctrl+Del)"), &TfrmPadrao::sbtExcluirClick);
    sbtConfirmar = addButton(QStringLiteral("sbtConfirmar"), QStringLiteral("Confirmar"), QStringLiteral("Confirmar (F10)"), &TfrmPadrao::sbtConfirmarClick);
    sbtCancelar = addButton(QStringLiteral("sbtCancelar"), QStringLiteral("Cancelar"), QStringLiteral("Cancelar (F11)"), &TfrmPadrao::sbtCancelarClick);
    sbtProcurar = addButton(QStringLiteral("sbtProcurar"), QStringLiteral("Procurar"), QStringLiteral("Procurar (Ctrl+F)"), &TfrmPadrao::sbtProcurarClick);
    sbtImprimir = addButton(QStringLiteral("sbtImprimir"), QStringLiteral("Imprimir"), QStringLiteral("Imprimir (Ctrl+P)"), &TfrmPadrao::sbtImprimirClick);
    sbtAjuda = addButton(QStringLiteral("sbtAjuda"), QStringLiteral("Ajuda"), QStringLiteral("Ajuda (F1)"), &TfrmPadrao::sbtAjudaClick);
    sbtFechar = addButton(QStringLiteral("sbtFechar"), QStringLiteral("Fechar"), QStringLiteral("Fechar (Ctrl+F4)"), &TfrmPadrao::sbtFecharClick);
    const std::pair<QToolButton*, QStyle::StandardPixmap> icons[] = {
        {sbtIncluir, QStyle::SP_FileDialogNewFolder}, {sbtAlterar, QStyle::SP_FileDialogDetailedView},
        {sbtExcluir, QStyle::SP_TrashIcon},           {sbtConfirmar, QStyle::SP_DialogApplyButton},
        {sbtCancelar, QStyle::SP_DialogCancelButton}, {sbtProcurar, QStyle::SP_FileDialogContentsView},
        {sbtImprimir, QStyle::SP_DriveFDIcon},        {sbtAjuda, QStyle::SP_DialogHelpButton},
        {sbtFechar, QStyle::SP_DialogCloseButton}};
    for (auto [b, icon] : icons)
        b->setIcon(style()->standardIcon(icon));
    dbnPadrao = new TDBNavigator(this, QStringLiteral("dbnPadrao"));
    dbnPadrao->setDataSource(&dtsPadrao);
    toolLayout->addWidget(dbnPadrao);
    toolLayout->addStretch(1);
    lblCodTela = new QLabel(screenCode, this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAccessibleName(QStringLiteral("Código da tela"));
    toolLayout->addWidget(lblCodTela);
    rootLayout->addWidget(panBotoes);

    pgcPadrao = new QTabWidget(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshFolhaDados = new QWidget(pgcPadrao);
    tshFolhaDados->setObjectName(QStringLiteral("tshFolhaDados"));
    tshFormulario = new QWidget(pgcPadrao);
    tshFormulario->setObjectName(QStringLiteral("tshFormulario"));
    pgcPadrao->addTab(tshFolhaDados, QStringLiteral("Folha de Dados"));
    pgcPadrao->addTab(tshFormulario, QStringLiteral("Formulário"));
    listLayout = new QVBoxLayout(tshFolhaDados);
    listLayout->setContentsMargins(2, 2, 2, 2);
    formLayout = new QVBoxLayout(tshFormulario);
    formLayout->setContentsMargins(2, 2, 2, 2);
    dbgPadrao = new TDBGrid(tshFolhaDados, QStringLiteral("dbgPadrao"));
    listLayout->addWidget(dbgPadrao);
    rootLayout->addWidget(pgcPadrao, 1);
    stbPadrao = new QStatusBar(this);
    stbPadrao->setObjectName(QStringLiteral("stbPadrao"));
    stbPadrao->setSizeGripEnabled(false);
    rootLayout->addWidget(stbPadrao);
    connect(pgcPadrao, &QTabWidget::currentChanged, this, [this] { guarded([this] { pgcPadraoChange(); }); });
    dtsPadrao.onStateChange = [this](DataSource&) { guarded([this] { dtsPadraoStateChange(); }); };
}

TfrmPadrao::~TfrmPadrao() = default;

QAction* TfrmPadrao::addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key,
                               void (TfrmPadrao::*handler)())
{
    auto* a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QWidget::addAction(a); // shortcuts work while the menu is closed
    connect(a, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    return a;
}

QToolButton* TfrmPadrao::addButton(const QString& name, const QString& text, const QString& tip,
                                   void (TfrmPadrao::*handler)())
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAccessibleName(text);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // the grid keeps the focus while a command runs
    toolLayout->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    return b;
}

void TfrmPadrao::FormCreate()
{
    lblCodTela->setText(m_code);
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    mnuFolhaDados->setChecked(true);
    mnuFormulario->setChecked(false);
    if (!dbgPadrao->dataSource())
        dbgPadrao->setDataSource(&dtsPadrao);
    dtsPadraoStateChange();
}

void TfrmPadrao::copyMenusToButtons()
{
    const std::pair<QAction*, QToolButton*> twins[] = {
        {mnuIncluir, sbtIncluir},     {mnuAlterar, sbtAlterar},   {mnuExcluir, sbtExcluir},
        {mnuConfirmar, sbtConfirmar}, {mnuCancelar, sbtCancelar}, {mnuProcurar, sbtProcurar},
        {mnuImprimir, sbtImprimir},   {mnuAjuda, sbtAjuda},       {mnuFechar, sbtFechar}};
    for (auto [menu, button] : twins)
        button->setEnabled(menu->isEnabled());
}

void TfrmPadrao::dtsPadraoStateChange()
{
    RecordSet* rs = dtsPadrao.dataSet();
    const bool active = rs && rs->active();
    const bool editing = active && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert);
    const bool rows = active && !rs->isEmpty();
    mnuIncluir->setEnabled(active && !editing);
    mnuAlterar->setEnabled(rows && !editing);
    mnuExcluir->setEnabled(rows && !editing);
    mnuConfirmar->setEnabled(editing);
    mnuCancelar->setEnabled(editing);
    mnuProcurar->setEnabled(rows && !editing);
    mnuImprimir->setEnabled(!editing);
    mnuFechar->setEnabled(true);
    copyMenusToButtons();
}

void TfrmPadrao::pgcPadraoChange()
{
    const bool list = pgcPadrao->currentWidget() == tshFolhaDados;
    mnuFolhaDados->setChecked(list);
    mnuFormulario->setChecked(!list);
}

void TfrmPadrao::mnuFolhaDadosClick()
{
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    mnuFolhaDados->setChecked(true);
}

void TfrmPadrao::mnuFormularioClick()
{
    pgcPadrao->setCurrentWidget(tshFormulario);
    mnuFormulario->setChecked(true);
}

void TfrmPadrao::sbtIncluirClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (!rs || !rs->active())
        return;
    rs->append();
}

void TfrmPadrao::sbtAlterarClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (!rs || !rs->active() || rs->isEmpty())
        return;
    rs->edit();
}

void TfrmPadrao::sbtExcluirClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (!rs || !rs->active() || rs->isEmpty())
        return;
    if (ctx().ui().showMessage(deleteQuestion(), MsgType::Confirmation, Buttons::YesNo, 0) == mrYes)
        rs->deleteRecord();
}

QString TfrmPadrao::deleteQuestion()
{
    return msgPadrao.Msg(QStringLiteral("Excluir"));
}

void TfrmPadrao::sbtConfirmarClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (rs && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert)) {
        FinishCellEditors(this, rs, true);
        rs->post();
    }
}

void TfrmPadrao::sbtCancelarClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (!rs || (rs->state() != DataSetState::Edit && rs->state() != DataSetState::Insert))
        return;
    if (msgPadrao.ShowMsg(QStringLiteral("Canc"), MsgType::Confirmation, Buttons::YesNo) == mrYes) {
        FinishCellEditors(this, rs, false);
        rs->cancel();
    }
}

void TfrmPadrao::sbtProcurarClick()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (rs && rs->active() && !rs->isEmpty())
        Procura(*rs);
}

TDBGrid* TfrmPadrao::printGrid() const
{
    QWidget* page = pgcPadrao->currentWidget();
    if (auto* g = qobject_cast<TDBGrid*>(QApplication::focusWidget()); g && page->isAncestorOf(g))
        return g;
    const auto grids = page->findChildren<TDBGrid*>();
    return grids.isEmpty() ? nullptr : grids.first();
}

void TfrmPadrao::printTo(QPrinter& printer, TDBGrid& grid) const
{
    fw::printGrid(printer, grid, QStringLiteral("%1 - %2").arg(m_code, windowTitle()));
}

void TfrmPadrao::sbtImprimirClick()
{
    TDBGrid* grid = printGrid();
    if (!grid || !grid->recordSet() || !grid->recordSet()->active() || grid->recordSet()->isEmpty()) {
        msgPadrao.ShowMsg(QStringLiteral("Sem_Registro"), MsgType::Information, Buttons::Ok);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Visualizar impressão - %1").arg(windowTitle()));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this, grid](QPrinter* p) { printTo(*p, *grid); });
    ctx().ui().execModal(&preview);
}

void TfrmPadrao::sbtAjudaClick()
{
    if (ctx().help)
        ctx().help(HelpContext);
}

void TfrmPadrao::sbtFecharClick()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void TfrmPadrao::FormClose()
{
    RecordSet* rs = dtsPadrao.dataSet();
    if (rs && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert))
        rs->cancel();
}

std::vector<RecordSet*> TfrmPadrao::pendingSets()
{
    return {dtsPadrao.dataSet()};
}

bool TfrmPadrao::askBeforeClose()
{
    for (RecordSet* rs : pendingSets()) {
        if (!rs || (rs->state() != DataSetState::Edit && rs->state() != DataSetState::Insert))
            continue;
        const int answer = TMessages::baseCatalogue().ShowMsg(QStringLiteral("Fechar_Pend"), MsgType::Confirmation,
                                                             Buttons::YesNoCancel);
        if (answer == mrYes) {
            FinishCellEditors(this, rs, true);
            rs->post();
        } else if (answer == mrNo) {
            FinishCellEditors(this, rs, false);
            rs->cancel();
        }
        // a refused post leaves the line open: the screen stays with it
        if (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert)
            return false;
    }
    return true;
}

void TfrmPadrao::closeEvent(QCloseEvent* e)
{
    if (m_closing) {
        e->accept();
        return;
    }
    bool may = false;
    if (!runHandler([&] { may = askBeforeClose(); }) || !may) {
        e->ignore();
        return;
    }
    m_closing = true;
    guarded([this] { FormClose(); });
    // The screen is discarded once closed.
    setAttribute(Qt::WA_DeleteOnClose);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setAttribute(Qt::WA_DeleteOnClose);
    e->accept();
}

bool TfrmPadrao::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Show:
        if (!m_activated) {
            m_activated = true;
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                connect(sub, &QMdiSubWindow::aboutToActivate, this, [this] {
                    if (m_firstActivationDone)
                        guarded([this] { FormActivate(); });
                });
            QMetaObject::invokeMethod(this, [this] {
                m_firstActivationDone = true;
                guarded([this] { FormActivate(); });
            }, Qt::QueuedConnection);
        }
        break;
    case QEvent::WindowDeactivate:
        // A box or picker of our own takes the activation: coming back from
        // it is no new activation.
        m_lostToOwnModal = QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr;
        break;
    case QEvent::WindowActivate:
        if (m_firstActivationDone && !m_lostToOwnModal && !qobject_cast<QMdiSubWindow*>(parentWidget()))
            QMetaObject::invokeMethod(this, [this] { guarded([this] { FormActivate(); }); }, Qt::QueuedConnection);
        m_lostToOwnModal = false;
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

} // namespace fw
