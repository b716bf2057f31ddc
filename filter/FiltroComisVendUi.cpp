// The filter dialog's controls, catalogue, queries and wiring.
#include "FiltroComisVend.h"

#include "shared/Fields.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/FormatUtil.h"
#include "widgets/Events.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using namespace fw;

namespace {

QCheckBox* check(QWidget* parent, const char* name, const QString& text)
{
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(QLatin1String(name));
    return c;
}

QRadioButton* option(QWidget* parent, const char* name, const QString& text)
{
    auto* r = new QRadioButton(text, parent);
    r->setObjectName(QLatin1String(name));
    return r;
}

QToolButton* searchButton(QWidget* parent, const char* name, const QString& what)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QStringLiteral("…"));
    b->setToolTip(QStringLiteral("Selecionar %1 (F9)").arg(what));
    b->setAccessibleName(QStringLiteral("Selecionar %1").arg(what));
    return b;
}

// A date pair "de ... até ..." in its own group.
QGroupBox* datePair(QWidget* parent, const QString& title, TDateEditPlus*& from, const char* fromName, TDateEditPlus*& to,
                    const char* toName)
{
    auto* g = new QGroupBox(title, parent);
    auto* row = new QHBoxLayout(g);
    from = new TDateEditPlus(g, QLatin1String(fromName));
    to = new TDateEditPlus(g, QLatin1String(toName));
    from->setAccessibleName(title + QStringLiteral(" de"));
    to->setAccessibleName(title + QStringLiteral(" até"));
    auto* de = new QLabel(QStringLiteral("de"), g);
    de->setBuddy(from);
    auto* ate = new QLabel(QStringLiteral("até"), g);
    ate->setBuddy(to);
    row->addWidget(de);
    row->addWidget(from);
    row->addWidget(ate);
    row->addWidget(to);
    row->addStretch(1);
    return g;
}

QGroupBox* checks(QWidget* parent, const QString& title, std::initializer_list<QCheckBox**> boxes,
                  std::initializer_list<std::pair<const char*, const char*>> names)
{
    auto* g = new QGroupBox(title, parent);
    auto* col = new QVBoxLayout(g);
    auto b = boxes.begin();
    for (const auto& [name, text] : names) {
        **b = check(g, name, QString::fromUtf8(text));
        col->addWidget(**b);
        ++b;
    }
    col->addStretch(1);
    return g;
}

// "Todos" / "Lista" with the list's search button.
QGroupBox* listGroup(QWidget* parent, const QString& title, QRadioButton*& all, const char* allName, QRadioButton*& list,
                     const char* listName, QToolButton*& button, const char* buttonName)
{
    auto* g = new QGroupBox(title, parent);
    auto* row = new QHBoxLayout(g);
    all = option(g, allName, QStringLiteral("Todos"));
    list = option(g, listName, QStringLiteral("Lista"));
    button = searchButton(g, buttonName, title);
    row->addWidget(all);
    row->addWidget(list);
    row->addWidget(button);
    row->addStretch(1);
    return g;
}

} // namespace

TfrmFiltroComisVend::TfrmFiltroComisVend(QWidget* parent)
    : TfrmFiltroPadrao(parent, QStringLiteral("PED03601"), QStringLiteral("Filtro de Comissão do Vendedor"))
{
    setObjectName(QStringLiteral("frmFiltroComisVend"));
    HelpContext = 12203601;
    buildUi();
    buildCatalogue();
    buildQueries();
    connectHandlers();
}

void TfrmFiltroComisVend::buildUi()
{
    QWidget* box = grbFiltroPadrao;
    auto* grid = new QGridLayout;
    criteriaLayout->addLayout(grid);

    grid->addWidget(datePair(box, QStringLiteral("Data Lançamento Pedido"), depDeEmissao, "depDeEmissao", depAteEmissao,
                             "depAteEmissao"),
                    0, 0, 1, 2);
    grid->addWidget(datePair(box, QStringLiteral("Data Entrega"), depDeEntrega, "depDeEntrega", depAteEntrega,
                             "depAteEntrega"),
                    0, 2, 1, 2);

    grid->addWidget(checks(box, QStringLiteral("Situação do Pedido"),
                           {&chbPPendente, &chbPAndamento, &chbPLiquidado, &chbPCancelado, &chbPParcialmente},
                           {{"chbPPendente", "Pendente"}, {"chbPAndamento", "Em Andamento"}, {"chbPLiquidado", "Liquidado"},
                            {"chbPCancelado", "Cancelado"}, {"chbPParcialmente", "Parc. Atendido"}}),
                    1, 0);
    grid->addWidget(checks(box, QStringLiteral("Prioridade"), {&chbNormal, &chbAlta, &chbUrgente},
                           {{"chbNormal", "Normal"}, {"chbAlta", "Alta"}, {"chbUrgente", "Urgente"}}),
                    1, 1);
    grid->addWidget(checks(box, QStringLiteral("Pedido com Item"),
                           {&chbIPendente, &chbIConfirmado, &chbIAprovado, &chbILiquidado, &chbICancelado, &chbIParcialmente},
                           {{"chbIPendente", "Pendente"}, {"chbIConfirmado", "Confirmado"}, {"chbIAprovado", "Aprovado"},
                            {"chbILiquidado", "Liquidado"}, {"chbICancelado", "Cancelado"},
                            {"chbIParcialmente", "Parc. Atendido"}}),
                    1, 2);
    grid->addWidget(checks(box, QStringLiteral("Tipo do Pedido"), {&chbPedido, &chbOrcamento},
                           {{"chbPedido", "Pedido"}, {"chbOrcamento", "Orçamento"}}),
                    1, 3);

    grid->addWidget(listGroup(box, QStringLiteral("Cliente"), rbtTCliente, "rbtTCliente", rbtLCliente, "rbtLCliente",
                              sbtCliente, "sbtCliente"),
                    2, 0);
    grid->addWidget(listGroup(box, QStringLiteral("Municipio do Cliente"), rbtTMuniciCli, "rbtTMuniciCli", rbtLMuniciCli,
                              "rbtLMuniciCli", sbtMuniciCli, "sbtMuniciCli"),
                    2, 1);
    grid->addWidget(listGroup(box, QStringLiteral("Produtos do Pedido"), rbtTProduto, "rbtTProduto", rbtLProduto,
                              "rbtLProduto", sbtProduto, "sbtProduto"),
                    2, 2);
    grbVendedor = listGroup(box, QStringLiteral("Vendedor"), rbtTVendedor, "rbtTVendedor", rbtLVendedor, "rbtLVendedor",
                            sbtVendedor, "sbtVendedor");
    grbVendedor->setObjectName(QStringLiteral("grbVendedor"));
    grid->addWidget(grbVendedor, 2, 3);

    // Order numbers: all, an interval or a list.
    auto* nr = new QGroupBox(QStringLiteral("Nº Pedido"), box);
    auto* nrRow = new QHBoxLayout(nr);
    rbtTNrPedido = option(nr, "rbtTNrPedido", QStringLiteral("Todos"));
    rbtIntervalo = option(nr, "rbtIntervalo", QStringLiteral("Intervalo"));
    rbtLNrPedido = option(nr, "rbtLNrPedido", QStringLiteral("Lista"));
    medDeIntervalo = new QLineEdit(nr);
    medAteIntervalo = new QLineEdit(nr);
    for (auto [edit, name, text] : {std::tuple{medDeIntervalo, "medDeIntervalo", "Nº pedido de"},
                                    std::tuple{medAteIntervalo, "medAteIntervalo", "Nº pedido até"}}) {
        edit->setObjectName(QLatin1String(name));
        edit->setInputMask(QStringLiteral("0000000000; "));
        fw::caretToFirstFree(edit);
        edit->setAccessibleName(QString::fromUtf8(text));
        edit->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12 + 12);
    }
    lblDeNrPedido = new QLabel(QStringLiteral("de"), nr);
    lblDeNrPedido->setObjectName(QStringLiteral("lblDeNrPedido"));
    lblDeNrPedido->setBuddy(medDeIntervalo);
    lblAteNrPedido = new QLabel(QStringLiteral("até"), nr);
    lblAteNrPedido->setObjectName(QStringLiteral("lblAteNrPedido"));
    lblAteNrPedido->setBuddy(medAteIntervalo);
    btnPesqNrPed = searchButton(nr, "btnPesqNrPed", QStringLiteral("pedidos"));
    for (QWidget* w : std::initializer_list<QWidget*>{rbtTNrPedido, rbtIntervalo, lblDeNrPedido, medDeIntervalo,
                                                      lblAteNrPedido, medAteIntervalo, rbtLNrPedido, btnPesqNrPed})
        nrRow->addWidget(w);
    nrRow->addStretch(1);
    grid->addWidget(nr, 3, 0, 1, 3);

    auto* oc = new QGroupBox(QStringLiteral("Ordem de Compra"), box);
    auto* ocRow = new QHBoxLayout(oc);
    edtOrdemCompra = new QLineEdit(oc);
    edtOrdemCompra->setObjectName(QStringLiteral("edtOrdemCompra"));
    edtOrdemCompra->setMaxLength(15);
    edtOrdemCompra->setAccessibleName(QStringLiteral("Ordem de Compra"));
    ocRow->addWidget(edtOrdemCompra);
    grid->addWidget(oc, 3, 3);

    sbtLimpa = new QPushButton(QStringLiteral("&Desfazer"), this);
    sbtLimpa->setObjectName(QStringLiteral("sbtLimpa"));
    sbtLimpa->setToolTip(QStringLiteral("Desfazer"));
    sbtLimpa->setAutoDefault(false);
    buttonLayout->insertWidget(0, sbtLimpa);

    // Tab order: top to bottom, left to right.
    QWidget* order[] = {depDeEmissao, depAteEmissao, depDeEntrega, depAteEntrega, chbPPendente, chbPAndamento,
                        chbPLiquidado, chbPCancelado, chbPParcialmente, chbNormal, chbAlta, chbUrgente, chbIPendente,
                        chbIConfirmado, chbIAprovado, chbILiquidado, chbICancelado, chbIParcialmente, chbPedido,
                        chbOrcamento, rbtTCliente, rbtLCliente, sbtCliente, rbtTMuniciCli, rbtLMuniciCli, sbtMuniciCli,
                        rbtTProduto, rbtLProduto, sbtProduto, rbtTVendedor, rbtLVendedor, sbtVendedor, rbtTNrPedido,
                        rbtIntervalo, medDeIntervalo, medAteIntervalo, rbtLNrPedido, btnPesqNrPed, edtOrdemCompra,
                        sbtLimpa, sbtConfirma, sbtCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    resize(900, 430);
}

void TfrmFiltroComisVend::buildCatalogue()
{
    msgPadrao.setItems({
        QStringLiteral("DATA_INV|não é uma data válida."),
        QStringLiteral("DTINI>DTFIN_PEDIDO|Data pedido inicial deve ser menor ou igual à data pedido final."),
        QStringLiteral("DTINI_PEDIDO|Data pedido inicial deve ser informada. "),
        QStringLiteral("DTFIN_PEDIDO|Data pedido final deve ser informada. "),
        QStringLiteral("DTINI>DTFIN_ENTREGA|Data entrega inicial deve ser menor ou igual à data entrega final."),
        QStringLiteral("DTFIN_ENTREGA|Data entrega final deve ser informada. "),
        QStringLiteral("DTINI_ENTREGA|Data entrega inicial deve ser informada. "),
        QStringLiteral("NRINI|Intervalo inicial deve ser informado."),
        QStringLiteral("NRFIN|Intervalo final deve ser informado. "),
        QStringLiteral("NRINI>NRFIN|Número pedido inicial deve ser menor ou igual ao número pedido final. "),
        QStringLiteral("STATUSPED|Situação do pedido deve ser informada. "),
        QStringLiteral("STATUSITEMPED|Situação do item deve ser informada. "),
        QStringLiteral("PRIO|Prioridade deve ser informada. "),
        QStringLiteral("LCliente|Cliente deve ser informado."),
        QStringLiteral("LMuniciCli|Município do cliente deve ser informado."),
        QStringLiteral("LNrPedido|Número pedido deve ser informado."),
        QStringLiteral("LProduto|Produto deve ser informado."),
        QStringLiteral("LVendedor|Vendedor deve ser informado."),
        QStringLiteral("LTipoPed|Tipo do pedido deve ser informado."),
        QStringLiteral("CLIENTE|Cliente"),
        QStringLiteral("CLIE|Não há cliente cadastrado."),
        QStringLiteral("Municipio|Município"),
        QStringLiteral("Mun_NC|Não há município para os clientes selecionados."),
        QStringLiteral("PRODUTO|Produto"),
        QStringLiteral("VENDEDOR|Vendedor"),
        QStringLiteral("VEND|Não há vendedor habilitado para comissão."),
        QStringLiteral("PEDIDO|Pedido"),
        QStringLiteral("PEDNCAD|Não há pedido cadastrado para a filial."),
    });
}

void TfrmFiltroComisVend::buildQueries()
{
    qryCliente = new TADOIBQuery(this, QStringLiteral("qryCliente"));
    qryCliente->SQL = {
        "SELECT",
        "   C.CDCLIENTE , C.IDTPIJURCLIE, C.NRINSJURCLIE,",
        "   C.NMFANTCLIE, C.NMRAZSOCCLIE, P.NMPAIS, ",
        "   M.SGESTADO  , M.NMMUNICIPIO , E.DSENDECLIE ",
        "FROM",
        "   CLIENTE C, PAIS P, ",
        "   MUNICIPIO M, ENDECLIE E",
        "WHERE ",
        "   (C.CDCLIENTE   = E.CDCLIENTE  ) AND",
        "   (E.CDPAIS      = M.CDPAIS     ) AND",
        "   (E.SGESTADO    = M.SGESTADO   ) AND",
        "   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND",
        "   (M.CDPAIS      = P.CDPAIS     ) AND",
        "   (IDTPENDECLIE  = 'P')",
        "ORDER BY",
        "   NRINSJURCLIE",
    };
    RecordSet& c = qryCliente->Query;
    declareField(c, "CDCLIENTE", FieldType::String, 21, QStringLiteral("Cliente"), false).required = true;
    declareField(c, "IDTPIJURCLIE", FieldType::String, 1, {}, false);
    Field& doc = declareField(c, "NRINSJURCLIE", FieldType::String, 20, QStringLiteral("Número da Inscrição"));
    declareField(c, "NMFANTCLIE", FieldType::String, 50, QStringLiteral("Nome Fantasia"));
    declareField(c, "NMRAZSOCCLIE", FieldType::String, 50, QStringLiteral("Razão Social"));
    declareField(c, "DSENDECLIE", FieldType::String, 50, QStringLiteral("Endereço"));
    declareField(c, "NMMUNICIPIO", FieldType::String, 30, QStringLiteral("Município"));
    declareField(c, "SGESTADO", FieldType::String, 2, QStringLiteral("Estado")).required = true;
    declareField(c, "NMPAIS", FieldType::String, 30, QStringLiteral("País"));
    doc.onGetText = [](const Field& f, bool) {
        return fmt::applyMask(f.asString(), PictPess(f.dataSet().fieldByName(u"IDTPIJURCLIE").asString()));
    };
    dtsCliente.setDataSet(&c);

    qryProduto = new TADOIBQuery(this, QStringLiteral("qryProduto"));
    qryProduto->SQL = {"SELECT", "   CDARVPROD,", "   NMPRODUTO", "FROM", "   PRODUTO", "ORDER BY", "   CDARVPROD"};
    Field& code = declareField(qryProduto->Query, "CDARVPROD", FieldType::String, 20, QStringLiteral("Código"));
    declareField(qryProduto->Query, "NMPRODUTO", FieldType::String, 50, QStringLiteral("Nome"));
    code.onGetText = [](const Field& f, bool) { return fmt::applyMask(f.asString(), DBPict(0)); };
    qryProduto->BeforeOpen = [this](TADOIBQuery&) { qryProdutoBeforeOpen(); };
    dtsProduto.setDataSet(&qryProduto->Query);

    // The municipalities of the customers' addresses, as the server's
    // municipality list selects them.
    qryMuniciCli = new TADOIBQuery(this, QStringLiteral("qryMuniciCli"));
    qryMuniciCli->SQL = {
        "SELECT",
        "   DISTINCT M.CDMUNICIPIO, M.NMMUNICIPIO,",
        "   P.NMPAIS, M.SGESTADO,",
        "   (M.CDPAIS||M.SGESTADO||M.CDMUNICIPIO) AS CONCATENADOS",
        "FROM",
        "   MUNICIPIO M, ENDECLIE E, PAIS P",
        "WHERE",
        "   (E.CDPAIS      = M.CDPAIS     ) AND",
        "   (E.SGESTADO    = M.SGESTADO   ) AND",
        "   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND",
        "   ((INSTR(:P_CDCLIENTE,E.CDCLIENTE) <> 0) OR (:P_TCDCLIENTE = 'T')) AND",
        "   (P.CDPAIS      = M.CDPAIS     )",
        "ORDER BY",
        "   M.NMMUNICIPIO",
    };
    qryMuniciCli->SQL_IB = {
        "SELECT",
        "   DISTINCT M.CDMUNICIPIO, M.NMMUNICIPIO,",
        "   P.NMPAIS, M.SGESTADO,",
        "   (M.CDPAIS || M.SGESTADO || M.CDMUNICIPIO) AS CONCATENADOS",
        "FROM",
        "   MUNICIPIO M, ENDECLIE E, PAIS P,",
        "   PARAM(:P_CDCLIENTE) P_CDCLIENTE, PARAM(:P_TCDCLIENTE)P_TCDCLIENTE",
        "WHERE",
        "   (E.CDPAIS      = M.CDPAIS     ) AND",
        "   (E.SGESTADO    = M.SGESTADO   ) AND",
        "   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND",
        "   ((INSTR(P_CDCLIENTE.PARAM,E.CDCLIENTE) <> 0) OR (P_TCDCLIENTE.PARAM = 'T')) AND",
        "   (P.CDPAIS      = M.CDPAIS     )",
        "ORDER BY",
        "   M.NMMUNICIPIO",
    };
    declareField(qryMuniciCli->Query, "CDMUNICIPIO", FieldType::String, 4, QStringLiteral("Código"));
    declareField(qryMuniciCli->Query, "NMMUNICIPIO", FieldType::String, 30, QStringLiteral("Nome"));
    declareField(qryMuniciCli->Query, "SGESTADO", FieldType::String, 2, QStringLiteral("Estado"));
    declareField(qryMuniciCli->Query, "NMPAIS", FieldType::String, 30, QStringLiteral("País"));
    declareField(qryMuniciCli->Query, "CONCATENADOS", FieldType::String, 10, {}, false);

    declareField(cdsMuniciCli, "IDMARCADO", FieldType::String, 1, QStringLiteral("Check"));
    declareField(cdsMuniciCli, "CDMUNICIPIO", FieldType::String, 4, QStringLiteral("Código"));
    declareField(cdsMuniciCli, "NMMUNICIPIO", FieldType::String, 30, QStringLiteral("Nome"));
    declareField(cdsMuniciCli, "SGESTADO", FieldType::String, 2, QStringLiteral("Estado"));
    declareField(cdsMuniciCli, "NMPAIS", FieldType::String, 30, QStringLiteral("País"));
    declareField(cdsMuniciCli, "CONCATENADOS", FieldType::String, 10, {}, false);
    dtsMuniciCli.setDataSet(&cdsMuniciCli);

    declareField(cdsFiltraVend, "IDMARCADO", FieldType::String, 1, QStringLiteral("Check"));
    declareField(cdsFiltraVend, "CDVENDEDOR", FieldType::String, 4, QStringLiteral("Código"));
    declareField(cdsFiltraVend, "NMFANVEN", FieldType::String, 50, QStringLiteral("Nome"));
    declareField(cdsFiltraVend, "IDGERACOMISVEND", FieldType::String, 1, {}, false);
    dtsFiltraVend.setDataSet(&cdsFiltraVend);

    declareField(cdsNrPedido, "IDMARCADO", FieldType::String, 1, QStringLiteral("Check"));
    declareField(cdsNrPedido, "NRPEDIDO", FieldType::String, 10, QStringLiteral("Número")).displayWidth = 12;
    declareField(cdsNrPedido, "NMFANTCLIE", FieldType::String, 50, QStringLiteral("Cliente"));
    dtsNrPedido.setDataSet(&cdsNrPedido);

    netComissaoVendedor = new TNetConnection(this, QStringLiteral("netComissaoVendedor"));
    netComissaoVendedor->ServerName = QStringLiteral("Ped03600.rdmComissaoVend");
    netComissaoVendedor->ThrowException = false;
    netComissaoVendedor->BeforeConnect = [this](TNetConnection& n) { netComissaoVendedorBeforeConnect(n); };
}

void TfrmFiltroComisVend::connectHandlers()
{
    for (auto [edit, fn] : {std::pair{depDeEmissao, &TfrmFiltroComisVend::Vd_DeEmissaoInv},
                            std::pair{depAteEmissao, &TfrmFiltroComisVend::Vd_AteEmissaoInv},
                            std::pair{depDeEntrega, &TfrmFiltroComisVend::Vd_DeEntregaInv},
                            std::pair{depAteEntrega, &TfrmFiltroComisVend::Vd_AteEntregaInv}})
        onExit(edit, [this, fn = fn] { (this->*fn)(); });
    onExit(medDeIntervalo, [this] { medDeIntervaloExit(); });
    onExit(medAteIntervalo, [this] { medAteIntervaloExit(); });
    onExit(edtOrdemCompra, [this] { edtOrdemCompraExit(); });
    for (QLineEdit* e : {medDeIntervalo, medAteIntervalo})
        connect(e, &QLineEdit::textChanged, this, [this] { guarded([this] { medDeIntervaloChange(); }); });

    // An option's handler runs whenever it becomes selected, by the user or
    // by the program.
    auto onSelected = [this](QRadioButton* r, void (TfrmFiltroComisVend::*fn)()) {
        connect(r, &QRadioButton::toggled, this, [this, fn](bool on) {
            if (on)
                guarded([this, fn] { (this->*fn)(); });
        });
    };
    onSelected(rbtTCliente, &TfrmFiltroComisVend::rbtLClienteClick);
    onSelected(rbtLCliente, &TfrmFiltroComisVend::rbtLClienteClick);
    onSelected(rbtTMuniciCli, &TfrmFiltroComisVend::rbtLMuniciCliClick);
    onSelected(rbtLMuniciCli, &TfrmFiltroComisVend::rbtLMuniciCliClick);
    onSelected(rbtTProduto, &TfrmFiltroComisVend::rbtLProdutoClick);
    onSelected(rbtLProduto, &TfrmFiltroComisVend::rbtLProdutoClick);
    onSelected(rbtTVendedor, &TfrmFiltroComisVend::rbtLVendedorClick);
    onSelected(rbtLVendedor, &TfrmFiltroComisVend::rbtLVendedorClick);
    onSelected(rbtTNrPedido, &TfrmFiltroComisVend::rbtTNrPedidoClick);
    onSelected(rbtIntervalo, &TfrmFiltroComisVend::rbtIntervaloClick);
    onSelected(rbtLNrPedido, &TfrmFiltroComisVend::rbtLNrPedidoClick);

    auto onClick = [this](QAbstractButton* b, void (TfrmFiltroComisVend::*fn)()) {
        connect(b, &QAbstractButton::clicked, this, [this, fn] { guarded([this, fn] { (this->*fn)(); }); });
    };
    onClick(sbtCliente, &TfrmFiltroComisVend::sbtClienteClick);
    onClick(sbtMuniciCli, &TfrmFiltroComisVend::sbtMuniciCliClick);
    onClick(sbtProduto, &TfrmFiltroComisVend::sbtProdutoClick);
    onClick(sbtVendedor, &TfrmFiltroComisVend::sbtVendedorClick);
    onClick(btnPesqNrPed, &TfrmFiltroComisVend::btnPesqNrPedClick);
    onClick(sbtLimpa, &TfrmFiltroComisVend::sbtLimpaClick);

    // F9 on a "Lista" option runs its picker, enabled or not.
    for (QRadioButton* r : {rbtLCliente, rbtLMuniciCli, rbtLNrPedido, rbtLProduto, rbtLVendedor})
        r->installEventFilter(this);
}

bool TfrmFiltroComisVend::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F9) {
        void (TfrmFiltroComisVend::*fn)() = nullptr;
        if (watched == rbtLCliente) fn = &TfrmFiltroComisVend::sbtClienteClick;
        else if (watched == rbtLMuniciCli) fn = &TfrmFiltroComisVend::sbtMuniciCliClick;
        else if (watched == rbtLNrPedido) fn = &TfrmFiltroComisVend::btnPesqNrPedClick;
        else if (watched == rbtLProduto) fn = &TfrmFiltroComisVend::sbtProdutoClick;
        else if (watched == rbtLVendedor) fn = &TfrmFiltroComisVend::sbtVendedorClick;
        if (fn)
            guarded([this, fn] { (this->*fn)(); });
    }
    return TfrmFiltroPadrao::eventFilter(watched, e);
}

void TfrmFiltroComisVend::netComissaoVendedorBeforeConnect(TNetConnection& c)
{
    c.host = WebURL();
    c.Port = WebPort();
    c.Tls = WebTls();
}
