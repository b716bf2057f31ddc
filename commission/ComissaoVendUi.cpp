// Controls, record sets, queries and the message catalogue of the screen.
#include "ComissaoVend.h"

#include "shared/Fields.h"
#include "core/Context.h"
#include "widgets/Events.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>

using namespace fw;

TfrmComissaoVend::TfrmComissaoVend(QWidget* parent)
    : TfrmPadrao(parent, QStringLiteral("PED03600"), QStringLiteral("Comissão do Vendedor"))
{
    setObjectName(QStringLiteral("frmComissaoVend"));
    HelpContext = 12203600;
    resize(980, 499);
    declareRecordSets();
    buildCatalogue();
    buildQueries();
    declareHistory();
    buildUi();

    netComissaoVendedor = new TNetConnection(this, QStringLiteral("netComissaoVendedor"));
    netComissaoVendedor->ServerName = QStringLiteral("Ped03600.rdmComissaoVend");
    netComissaoVendedor->ThrowException = false;
    netComissaoVendedor->BeforeConnect = [this](TNetConnection& c) { netComissaoVendedorBeforeConnect(c); };
    netNotaPed = new TNetConnection(this, QStringLiteral("netNotaPed"));
    netNotaPed->ServerName = QStringLiteral("Ped00103.rdmNotaPedido");
    netNotaPed->ThrowException = false;
    netNotaPed->BeforeConnect = [this](TNetConnection& c) { netNotaPedBeforeConnect(c); };
}

TfrmComissaoVend::~TfrmComissaoVend() = default;

void TfrmComissaoVend::declareRecordSets()
{
    declareField(cdsPedido, "CDFILIAL", FieldType::String, 4, {}, false);
    declareField(cdsPedido, "IDSITPEDIDO", FieldType::String, 1, QStringLiteral("Sit.")).displayWidth = 4;
    declareField(cdsPedido, "NRPEDIDO", FieldType::String, 10, QStringLiteral("Nº Pedido"));
    declareField(cdsPedido, "CDCLIENTE", FieldType::String, 21, {}, false);
    declareField(cdsPedido, "NMFANTCLIE", FieldType::String, 50, QStringLiteral("Cliente")).displayWidth = 30;
    // the order's date carries its time
    declareField(cdsPedido, "DTPEDIDO", FieldType::DateTime, 0, QStringLiteral("Data Pedido")).displayWidth = 16;
    declareField(cdsPedido, "DTENTPED", FieldType::DateTime, 0, QStringLiteral("Data Entrega"));
    declareField(cdsPedido, "CDVENDEDOR", FieldType::String, 4, QStringLiteral("Vendedor"), false).displayWidth = 5;
    declareField(cdsPedido, "NMFANVEN", FieldType::String, 50, QStringLiteral("Vendedor"));
    declareField(cdsPedido, "VRPECOMVEN", FieldType::Float, 0, {}, false);
    declareField(cdsPedido, "IDGERACOMISVEND", FieldType::String, 1, {}, false);
    declareField(cdsPedido, "IDCANCCOMISPED", FieldType::String, 20, {}, false);
    declareField(cdsPedido, "DSMOTCANCCOMISPED", FieldType::String, 350, QStringLiteral("Informações de Cancelamento"));

    declareField(cdsItemPedido, "NRPEDIDO", FieldType::String, 10, {}, false);
    declareField(cdsItemPedido, "CDARVPROD", FieldType::String, 20, QStringLiteral("Produto"));
    declareField(cdsItemPedido, "NMPRODUTO", FieldType::String, 50, QStringLiteral("Nome do Produto"));
    declareField(cdsItemPedido, "QTITEMPED", FieldType::Float, 0, QStringLiteral("Quantidade"));
    declareField(cdsItemPedido, "SGUNIDADE", FieldType::String, 10, QStringLiteral("Un."));
    declareField(cdsItemPedido, "CDCLIENTE", FieldType::String, 21);
    declareField(cdsItemPedido, "VRPREUNITPED", FieldType::Float, 0, QStringLiteral("Preço Unitário"));
    declareField(cdsItemPedido, "NRITEMPED", FieldType::String, 10, {}, false);
    declareField(cdsItemPedido, "IDSITITEMPED", FieldType::String, 1, QStringLiteral("Sit."));
    declareField(cdsItemPedido, "QTEXPITEMPED", FieldType::Float, 0, {}, false);
    declareField(cdsItemPedido, "VRPREUNIT", FieldType::Float, 0, {}, false);
    declareField(cdsItemPedido, "CDFILIAL", FieldType::String, 4, {}, false);
    declareField(cdsItemPedido, "CDFATPRECO", FieldType::String, 3, {}, false);
    declareField(cdsItemPedido, "QTITEMPED2", FieldType::Float, 0, QStringLiteral("Qtde. Conv."));
    declareField(cdsItemPedido, "SGFATPRECO", FieldType::String, 4, QStringLiteral("Fator"));
    declareField(cdsItemPedido, "CDPRODESTO", FieldType::String, 10, {}, false);
    declareField(cdsItemPedido, "DTENTITPED", FieldType::DateTime, 0, QStringLiteral("Entrega"));
    declareField(cdsItemPedido, "IDITPEDDIFER", FieldType::String, 1, QStringLiteral("Tipo"));
    declareField(cdsItemPedido, "VRPESOITPED", FieldType::Float, 0, {}, false);
    declareField(cdsItemPedido, "SGUNIDPAI", FieldType::String, 5, QStringLiteral("Un."));
    declareField(cdsItemPedido, "CDPRODUTO", FieldType::String, 10, {}, false);
    declareField(cdsItemPedido, "VRPESOBRUTPR", FieldType::Float, 0, {}, false);
    declareField(cdsItemPedido, "VRPESOLIQUPR", FieldType::Float, 0, {}, false);
    declareField(cdsItemPedido, "DATA", FieldType::DateTime);
    cdsItemPedido.addCalcField(QStringLiteral("VrTotal"), FieldType::Float).displayLabel = QStringLiteral("Valor Total");

    declareField(cdsVendedor, "CDFILIAL", FieldType::String, 4, {}, false);
    declareField(cdsVendedor, "NRPEDIDO", FieldType::String, 10, {}, false);
    declareField(cdsVendedor, "NRITEMPED", FieldType::String, 10, {}, false);
    declareField(cdsVendedor, "CDVENDEDOR", FieldType::String, 4, QStringLiteral("Vendedor"));
    declareField(cdsVendedor, "NMFANVEN", FieldType::String, 50, QStringLiteral("Nome"));
    Field& pct = declareField(cdsVendedor, "VRPECOMITPED", FieldType::Float, 0, QStringLiteral("Comissão(%)"));
    pct.displayFormat = QStringLiteral("#,##0.00 %");
    pct.editFormat = QStringLiteral("#,##0.00");
    declareField(cdsVendedor, "IDGERACOMISVEND", FieldType::String, 1, {}, false);
    declareField(cdsVendedor, "IDCARGOVEND", FieldType::String, 1, {}, false);
    cdsVendedor.addCalcField(QStringLiteral("DSCARGOVEND"), FieldType::String, 10).displayLabel = QStringLiteral("Cargo");

    declareField(cdsParamPedido, "IDTABPRECO", FieldType::String, 1);
    declareField(cdsParamPedido, "IDEXIBPEDIDO", FieldType::String, 1);
    declareField(cdsParExpedicao, "CDFILIAL", FieldType::String, 4);
    declareField(cdsParExpedicao, "VRPECOGEREXP", FieldType::Float);
    declareField(cdsParExpedicao, "VRPERCOMEXP", FieldType::Float);
    declareField(cdsParExpedicao, "VRPERCOMREC", FieldType::Float);
    declareField(cdsParExpedicao, "IDCOMISPERIODO", FieldType::String, 1);
    declareField(cdsOperTPed, "CDOPERADOR", FieldType::String, 32);
    for (const char* n : {"CDFILIALPAG", "NRLANCTOPAG", "NRSEQVENPAG", "NRPARCELAPAG", "CDFILIALREC", "NRLANCTOREC",
                          "NRSEQVENREC", "NRPARCELAREC"}) {
        const QLatin1String name(n);
        const int size = name.startsWith(QLatin1String("CDFILIAL")) ? 4 : name.startsWith(QLatin1String("NRLANCTO")) ? 10 : 2;
        declareField(cdsContaPaga, n, FieldType::String, size);
    }
    declareField(cdsSomatorio, "VRTOTAL", FieldType::Float);
    declareField(cdsLancNf, "NRLANCTONF", FieldType::String, 10);
    declareField(cdsLancNf, "DTENTRSAID", FieldType::DateTime);
    declareField(cdsTotiComi, "VRTOTALPERC", FieldType::Float);
    declareField(cdsPesqVendedor, "CDVENDEDOR", FieldType::String, 4, QStringLiteral("Vendedor"));
    declareField(cdsPesqVendedor, "NMFANVEN", FieldType::String, 50, QStringLiteral("Nome"));
    declareField(cdsPesqVendedor, "VRPECOMVEN", FieldType::Float, 0, {}, false);
    declareField(cdsPesqVendedor, "IDGERACOMISVEND", FieldType::String, 1, {}, false);
    declareField(cdsPesqVendedor, "IDCARGOVEND", FieldType::String, 1, {}, false);

    dtsPedido.setDataSet(&cdsPedido);
    dtsItem.setDataSet(&cdsItemPedido);
    dtsPadrao.setDataSet(&cdsVendedor);
    dtsPesqVendedor.setDataSet(&cdsPesqVendedor);
}

void TfrmComissaoVend::buildCatalogue()
{
    msgPadrao.setItems({
        QStringLiteral("Filial_inf|Filial deve ser informada."),
        QStringLiteral("Filial_nc|Filial não cadastrada."),
        QStringLiteral("Vend_n_relac|Não há operador parametrizado para o vendedor logado."),
        QStringLiteral("FILIAL|Filial"),
        QStringLiteral("FIL_NCAD|Não há filial cadastrada."),
        // status and item type captions
        QStringLiteral("PE|PE"), QStringLiteral("AN|AN"), QStringLiteral("LQ|LQ"), QStringLiteral("CN|CN"),
        QStringLiteral("PA|PA"), QStringLiteral("CF|CF"), QStringLiteral("AP|AP"),
        QStringLiteral("N|Normal"), QStringLiteral("S|Personalizado"), QStringLiteral("P|Promocional"),
        // salesman lines
        QStringLiteral("Vend_Inf|Vendedor deve ser informado."),
        QStringLiteral("Ven_Nao_Cad|Vendedor não cadastrado ou sem permissão para gerar comissão."),
        QStringLiteral("VEND_ITEM|Vendedor já cadastrado para o item do pedido."),
        QStringLiteral("PECOMISSAO|Percentual de comissão deve ser maior que zero."),
        QStringLiteral("TOTAL_COMIS|Valor total das comissões de um item deve estar entre 0 e 100%."),
        QStringLiteral("Conta_gerada|Operação bloqueada. Já existe comissão gerada para o pedido."),
        QStringLiteral("Comis_Periodo|Operação bloqueada. A comissão está parametrizada para ser gerada por período "
                       "na tela de Cálculo de comissão do vendedor por período."),
        QStringLiteral("GRAVA_VEND_ITEM|Deseja gravar o percentual de comissão do vendedor para todos os itens do pedido? "),
        QStringLiteral("VEND|Vendedor"),
        QStringLiteral("VEN_NCAD|Não há vendedor cadastrado."),
        QStringLiteral("SUPERVISOR|Supervisor"), QStringLiteral("GERENTE|Gerente"),
        QStringLiteral("AUXILIAR|Auxiliar"), QStringLiteral("VENDEDOR|Vendedor"),
        // commission cancellation
        QStringLiteral("ConfCanComiss|Confirma o cancelamento da comissão do pedido %s ?"),
        QStringLiteral("ConfGerComiss|Deseja regerar os valores de comissão do pedido %s ?"),
        QStringLiteral("ConfCanComiss_Suc|Cancelamento da comissão realizado com sucesso."),
        QStringLiteral("ConfGerComiss_Suc|Geração da comissão realizado com sucesso."),
        QStringLiteral("Item_Liq|Não foi possível cancelar o comissionamento pois existem itens com situação \"Liquidado\"."),
        QStringLiteral("Item_Canc|Não foi possível cancelar o comissionamento pois existem itens com situação \"Cancelado\"."),
        QStringLiteral("Item_ParcA|Não foi possível cancelar o comisisonamento pois existem itens com situação "
                       "\"Parcialmente Atendido\"."),
        // invoices
        QStringLiteral("NOTA_EMPTY|Não há nota fiscal para o pedido."),
    });
}

void TfrmComissaoVend::buildQueries()
{
    qryFilial = new TADOIBQuery(this, QStringLiteral("qryFilial"));
    qryFilial->SQL = {"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL", "WHERE",
                      "CDFILIAL = NVL(:P_CDFILIAL, CDFILIAL)", "ORDER BY", "CDFILIAL"};
    qryFilial->SQL_ORACLE = qryFilial->SQL;
    qryFilial->SQL_MSSQL = {"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL", "WHERE",
                            "CDFILIAL = ISNULL(:P_CDFILIAL, CDFILIAL)", "ORDER BY", "CDFILIAL"};
    qryFilial->SQL_IB = {"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL,PARAM(:P_CDFILIAL) P_CDFILIAL", "WHERE",
                         "CDFILIAL = NVLSTR(P_CDFILIAL.PARAM, CDFILIAL)", "ORDER BY", "CDFILIAL"};
    declareField(qryFilial->Query, "CDFILIAL", FieldType::String, 4, QStringLiteral("Código"));
    declareField(qryFilial->Query, "NMFILIAL", FieldType::String, 30, QStringLiteral("Nome"));
    dtsFilial.setDataSet(&qryFilial->Query);

    qryVendLog = new TADOIBQuery(this, QStringLiteral("qryVendLog"));
    qryVendLog->SQL = {"SELECT", "CDVENDEDOR, NMFANVEN", "FROM", "VENDEDOR", "WHERE", "(CDOPERADOR = :P_CDOPERADOR)"};
    declareField(qryVendLog->Query, "CDVENDEDOR", FieldType::String, 4).required = true;
    declareField(qryVendLog->Query, "NMFANVEN", FieldType::String, 50);
}

void TfrmComissaoVend::buildUi()
{
    pgcPadrao->setTabText(0, QStringLiteral("Pedidos"));
    pgcPadrao->setTabText(1, QStringLiteral("Itens do Pedido"));
    mnuFolhaDados->setText(QStringLiteral("&Pedidos"));
    mnuFormulario->setText(QStringLiteral("&Itens do Pedido"));

    buildCommands();
    buildBranchBar();
    buildOrdersGrid();
    buildItemsPage();
    buildTotalPanel();

    setTabOrder(medCdFilial, dbgPadrao);
    setTabOrder(dbgItemPedido, dbgVendedor);
    setTabOrder(dbgVendedor, dbgHistComissao);
}

// The extra commands and their menu twins.
void TfrmComissaoVend::buildCommands()
{
    auto tool = [this](const char* name, const QString& text, const QString& hint, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    sbtFiltro = tool("sbtFiltro", QStringLiteral("Filtrar"), QStringLiteral("Filtrar"), QStyle::SP_FileDialogListView);
    sbtNotaPed = tool("sbtNotaPed", QStringLiteral("Nota Fiscal do Pedido"), QStringLiteral("Nota Fiscal do Pedido"),
                      QStyle::SP_FileIcon);
    sbtBuscaComissao = tool("sbtBuscaComissao", QStringLiteral("Busca Percentual de Comissão Automático"),
                            QStringLiteral("Busca Percentual de Comissão Automático"), QStyle::SP_BrowserReload);
    btnCancelaComissao = new TButtonFlat(this, QStringLiteral("btnCancelaComissao"));
    btnCancelaComissao->setText(QStringLiteral("Cancelar Comissionamento"));
    btnCancelaComissao->setToolTip(QStringLiteral("Cancelar Comissionamento"));
    btnCancelaComissao->setAccessibleName(QStringLiteral("Cancelar Comissionamento"));
    btnCancelaComissao->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    btnCancelaComissao->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnCancelaComissao->setFocusPolicy(Qt::NoFocus);
    btnCancelaComissao->GroupIndex = 1;
    btnCancelaComissao->AllowAllUp = true;
    sbtFiltro->setEnabled(false);
    sbtNotaPed->setEnabled(false);
    btnCancelaComissao->setEnabled(false);
    sbtImprimir->setEnabled(false);

    mnuManutencao->addSeparator();
    mnuFiltrar = mnuManutencao->addAction(QStringLiteral("Fi&ltrar"));
    mnuFiltrar->setObjectName(QStringLiteral("mnuFiltrar"));
    mnuFiltrar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuNotaPed = mnuManutencao->addAction(QStringLiteral("Nota Fiscal do Pe&dido"));
    mnuNotaPed->setObjectName(QStringLiteral("mnuNotaPed"));
    mnuNotaPed->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    for (QAction* a : {mnuFiltrar, mnuNotaPed}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        a->setEnabled(false);
        QWidget::addAction(a);
    }
    connect(sbtFiltro, &QToolButton::clicked, this, [this] { guarded([this] { sbtFiltroClick(); }); });
    connect(mnuFiltrar, &QAction::triggered, this, [this] { guarded([this] { mnuFiltrarClick(); }); });
    connect(sbtNotaPed, &QToolButton::clicked, this, [this] { guarded([this] { sbtNotaPedClick(); }); });
    connect(mnuNotaPed, &QAction::triggered, this, [this] { guarded([this] { sbtNotaPedClick(); }); });
    connect(sbtBuscaComissao, &QToolButton::clicked, this, [this] { guarded([this] { sbtBuscaComissaoClick(); }); });
    connect(btnCancelaComissao, &QToolButton::clicked, this, [this] { guarded([this] { btnCancelaComissaoClick(); }); });
}

// The branch bar above the pages, which also holds the extra commands.
void TfrmComissaoVend::buildBranchBar()
{
    panFilial = new TCompactRow(this, QStringLiteral("panFilial"));
    auto* bar = new QHBoxLayout(panFilial);
    bar->setContentsMargins(0, 0, 0, 0);
    lblFilial = new QLabel(QStringLiteral("&Filial"), panFilial);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    medCdFilial = new QLineEdit(panFilial);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setInputMask(QStringLiteral(">nnnn; "));
    fw::caretToFirstFree(medCdFilial);
    medCdFilial->setMaxLength(4);
    medCdFilial->setFixedWidth(60);
    medCdFilial->setAccessibleName(QStringLiteral("Filial"));
    lblFilial->setBuddy(medCdFilial);
    btnFilial = new TBtnPesquisa(panFilial, QStringLiteral("btnFilial"));
    btnFilial->Title = QStringLiteral("Filial|Não há filial cadastrada.");
    btnFilial->dataSource = &dtsFilial;
    btnFilial->setAssociate(medCdFilial);
    btnFilial->setAccessibleName(QStringLiteral("Pesquisar filial"));
    btnFilial->OnBeforePesq = [this] { btnFilialBeforePesq(); };
    btnFilial->OnAfterPesq = [this] { btnFilialAfterPesq(); };
    edtNmFilial = new QLineEdit(panFilial);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setReadOnly(true);
    edtNmFilial->setFocusPolicy(Qt::NoFocus);
    edtNmFilial->setAccessibleName(QStringLiteral("Nome da filial"));
    bar->addWidget(lblFilial);
    bar->addWidget(medCdFilial);
    bar->addWidget(btnFilial);
    bar->addWidget(edtNmFilial, 1);
    for (QWidget* w : {static_cast<QWidget*>(sbtFiltro), static_cast<QWidget*>(sbtNotaPed),
                       static_cast<QWidget*>(sbtBuscaComissao), static_cast<QWidget*>(btnCancelaComissao)})
        bar->addWidget(w);
    rootLayout->insertWidget(rootLayout->indexOf(pgcPadrao), panFilial);
    onEnter(medCdFilial, [this] { medCdFilialEnter(); });
    onExit(medCdFilial, [this] { medCdFilialExit(); });
    connect(medCdFilial, &QLineEdit::textChanged, this, [this] { guarded([this] { medCdFilialChange(); }); });
}

void TfrmComissaoVend::buildOrdersGrid()
{
    dbgPadrao->setDataSource(&dtsPedido);
    dbgPadrao->setAccessibleName(QStringLiteral("Pedidos"));
    dbgPadrao->setColumns({
        {QStringLiteral("IDSITPEDIDO"), {}, 0, {}, true, false},
        {QStringLiteral("NRPEDIDO"), {}, 0, {}, true, false},
        {QStringLiteral("NMFANTCLIE"), {}, 0, {}, true, false},
        {QStringLiteral("DTPEDIDO"), {}, 0, {}, true, false},
        {QStringLiteral("DTENTPED"), {}, 0, {}, true, false},
        {QStringLiteral("CDVENDEDOR"), QStringLiteral("Vendedor"), 180, {}, false, true},
        {QStringLiteral("DSMOTCANCCOMISPED"), {}, 0, {}, true, false},
    });
    dbgPadrao->OnDrawColumnCell = [this](TDBGrid&, const TColumn& c, Field& f, CellStyle& st) {
        dbgPadraoDrawColumnCell(c, f, st);
    };
    dbgPadrao->OnTitleClick = [this](TDBGrid&, TColumn& c) { dbgPadraoTitleClick(c); };
    // the situation and the order number stay in view beside any column
    dbgPadrao->setFrozenColumns(2);
}

// Items on top, the item's salesmen below, then the audit trail.
void TfrmComissaoVend::buildItemsPage()
{
    auto* split = new QSplitter(Qt::Vertical, tshFormulario);
    dbgItemPedido = new TDBGrid(split, QStringLiteral("dbgItemPedido"));
    dbgItemPedido->setDataSource(&dtsItem);
    dbgItemPedido->setEditing(false);
    dbgItemPedido->setAccessibleName(QStringLiteral("Itens do pedido"));
    dbgItemPedido->setColumns({
        {QStringLiteral("IDSITITEMPED"), QStringLiteral("Sit."), 30, {}, true, false},
        {QStringLiteral("CDARVPROD"), {}, 110, {}, true, false},
        {QStringLiteral("NMPRODUTO"), {}, 250, {}, true, false},
        {QStringLiteral("QTITEMPED"), {}, 75, {}, true, false},
        {QStringLiteral("SGUNIDADE"), {}, 35, {}, true, false},
        {QStringLiteral("DTENTITPED"), {}, 80, {}, true, false},
        {QStringLiteral("VRPREUNITPED"), {}, 73, {}, true, false},
        {QStringLiteral("VrTotal"), {}, 59, {}, true, false},
        {QStringLiteral("IDITPEDDIFER"), {}, 90, {}, true, false},
    });
    dbgItemPedido->OnDrawColumnCell = [this](TDBGrid&, const TColumn& c, Field& f, CellStyle& st) {
        dbgItemPedidoDrawColumnCell(c, f, st);
    };
    dbgItemPedido->OnTitleClick = [this](TDBGrid&, TColumn& c) { dbgItemPedidoTitleClick(c); };
    dbgItemPedido->OnKeyDown = [this](TDBGrid&, int& key, Qt::KeyboardModifiers m) { dbgItemPedidoKeyDown(key, m); };

    // Below: the item's salesmen with the rule of a looked-up percentage,
    // then the audit trail of its lines.
    auto* salesmenPane = new QWidget(split);
    auto* salesmenBox = new QVBoxLayout(salesmenPane);
    salesmenBox->setContentsMargins(0, 0, 0, 0);
    salesmenBox->setSpacing(2);
    dbgVendedor = new TDBGrid(salesmenPane, QStringLiteral("dbgVendedor"));
    dbgVendedor->setDataSource(&dtsPadrao);
    dbgVendedor->setAccessibleName(QStringLiteral("Vendedores do item"));
    dbgVendedor->setColumns({
        {QStringLiteral("CDVENDEDOR"), {}, 62, {}, false, true},
        {QStringLiteral("NMFANVEN"), {}, 436, {}, true, false},
        {QStringLiteral("DSCARGOVEND"), {}, 90, {}, true, false},
        {QStringLiteral("VRPECOMITPED"), {}, 87, Qt::AlignRight, false, false},
    });
    lblRegraComissao = new QLabel(salesmenPane);
    lblRegraComissao->setObjectName(QStringLiteral("lblRegraComissao"));
    lblRegraComissao->setAccessibleName(QStringLiteral("Regra do percentual de comissão"));
    lblRegraComissao->setToolTip(QStringLiteral("Regra que definiu o percentual padrão"));
    lblRegraComissao->setTextInteractionFlags(Qt::TextSelectableByMouse);
    salesmenBox->addWidget(dbgVendedor, 1);
    salesmenBox->addWidget(lblRegraComissao);
    buildHistoryPanel(split);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setStretchFactor(2, 2);
    formLayout->addWidget(split, 1);
}

// The total and the exit date under the items page.
void TfrmComissaoVend::buildTotalPanel()
{
    panTotal = new QWidget(tshFormulario);
    panTotal->setObjectName(QStringLiteral("panTotal"));
    auto* tot = new QHBoxLayout(panTotal);
    tot->setContentsMargins(0, 0, 0, 0);
    lblDataSaida = new QLabel(QStringLiteral("Dt. Saída"), panTotal);
    lblDataSaida->setObjectName(QStringLiteral("lblDataSaida"));
    edtDataSaida = new QLineEdit(panTotal);
    edtDataSaida->setObjectName(QStringLiteral("edtDataSaida"));
    edtDataSaida->setReadOnly(true);
    edtDataSaida->setEnabled(false);
    edtDataSaida->setFixedWidth(90);
    edtDataSaida->setAccessibleName(QStringLiteral("Dt. Saída"));
    lblTotal = new QLabel(QStringLiteral("Total"), panTotal);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    nedTotal = new TNumberEdit(panTotal, QStringLiteral("nedTotal"));
    nedTotal->decimals = 2;
    nedTotal->setReadOnly(true);
    nedTotal->setFocusPolicy(Qt::NoFocus);
    nedTotal->setFixedWidth(120);
    nedTotal->setAlignment(Qt::AlignRight);
    nedTotal->setAccessibleName(QStringLiteral("Total"));
    tot->addWidget(lblDataSaida);
    tot->addWidget(edtDataSaida);
    tot->addStretch(1);
    tot->addWidget(lblTotal);
    tot->addWidget(nedTotal);
    formLayout->addWidget(panTotal);
}
