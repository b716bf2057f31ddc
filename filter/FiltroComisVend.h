#pragma once

// The order filter dialog of the commission screen: dates, statuses,
// priorities, order types, and lists of customers, municipalities,
// products, salesmen and order numbers.
#include "shared/ComissaoScreen.h"
#include "core/ADOIBQuery.h"
#include "core/NetConnection.h"
#include "core/RecordSet.h"
#include "widgets/Controls.h"
#include "widgets/TfrmFiltroPadrao.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

class TfrmFiltroComisVend : public fw::TfrmFiltroPadrao {
    Q_OBJECT
public:
    explicit TfrmFiltroComisVend(QWidget* parent = nullptr);
    ~TfrmFiltroComisVend() override;

    // True when the dialog was closed by its confirm button.
    bool boConfirma = false;

    // Dates.
    fw::TDateEditPlus *depDeEmissao, *depAteEmissao, *depDeEntrega, *depAteEntrega;
    // Statuses, priorities and order types.
    QCheckBox *chbPPendente, *chbPAndamento, *chbPLiquidado, *chbPCancelado, *chbPParcialmente;
    QCheckBox *chbNormal, *chbAlta, *chbUrgente;
    QCheckBox *chbIPendente, *chbIConfirmado, *chbIAprovado, *chbILiquidado, *chbICancelado, *chbIParcialmente;
    QCheckBox *chbPedido, *chbOrcamento;
    // Lists.
    QRadioButton *rbtTCliente, *rbtLCliente, *rbtTMuniciCli, *rbtLMuniciCli, *rbtTProduto, *rbtLProduto;
    QGroupBox* grbVendedor;
    QRadioButton *rbtTVendedor, *rbtLVendedor;
    QToolButton *sbtCliente, *sbtMuniciCli, *sbtProduto, *sbtVendedor;
    // Order numbers and purchase order.
    QRadioButton *rbtTNrPedido, *rbtIntervalo, *rbtLNrPedido;
    QLineEdit *medDeIntervalo, *medAteIntervalo;
    QLabel *lblDeNrPedido, *lblAteNrPedido;
    QToolButton* btnPesqNrPed;
    QLineEdit* edtOrdemCompra;
    QPushButton* sbtLimpa;

    // Candidates of the pickers.
    fw::TADOIBQuery* qryCliente;
    fw::TADOIBQuery* qryProduto;
    fw::TADOIBQuery* qryMuniciCli;
    fw::RecordSet cdsMuniciCli{QStringLiteral("cdsMuniciCli")};
    fw::RecordSet cdsFiltraVend{QStringLiteral("cdsFiltraVend")};
    fw::RecordSet cdsNrPedido{QStringLiteral("cdsNrPedido")};
    fw::DataSource dtsCliente, dtsProduto, dtsMuniciCli, dtsFiltraVend, dtsNrPedido;
    fw::TNetConnection* netComissaoVendedor;

    // Lifecycle.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;
    void sbtCancelClick() override;
    void sbtLimpaClick();
    void btfSaveOpcClick() override;
    void btfLoadOpcClick() override;

    // Validation.
    void Vd_DeEmissaoInv();
    void Vd_AteEmissaoInv();
    void Vd_DeEntregaInv();
    void Vd_AteEntregaInv();
    void Vd_Emissao();
    void Vd_Entrega();
    void Vd_Intervalo();
    void Vd_StatusPedido();
    void Vd_StatusItemPedido();
    void Vd_Prioridade();
    void Vd_Lista();

    // Field and option handlers.
    void medDeIntervaloExit();
    void medAteIntervaloExit();
    void edtOrdemCompraExit();
    void medDeIntervaloChange();
    void rbtLClienteClick();
    void rbtLMuniciCliClick();
    void rbtLProdutoClick();
    void rbtLVendedorClick();
    void rbtTNrPedidoClick();
    void rbtIntervaloClick();
    void rbtLNrPedidoClick();

    // Pickers.
    void sbtClienteClick();
    void sbtMuniciCliClick();
    void sbtProdutoClick();
    void sbtVendedorClick();
    void btnPesqNrPedClick();
    void qryProdutoBeforeOpen();
    void netComissaoVendedorBeforeConnect(fw::TNetConnection& c);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildUi();
    void buildCatalogue();
    void buildQueries();
    void connectHandlers();
    void validateAll();
    void writeFilter();
    [[noreturn]] void fail(QWidget* focus, const char* key);
    // Runs fn with the activation handler detached.
    void withoutActivation(const std::function<void()>& fn);
    QString screenBranch() const;
    // True while the controls are loaded from the filter record.
    bool m_activating = false;
};
