#pragma once

// The commission screen: orders of a branch, their items and each item's
// salesmen with their commission percentages.
#include "shared/ComissaoScreen.h"
#include "core/ADOIBQuery.h"
#include "core/NetConnection.h"
#include "core/RecordSet.h"
#include "widgets/Controls.h"
#include "widgets/TfrmPadrao.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

class TfrmComissaoVend : public fw::TfrmPadrao, public IComissaoVend {
    Q_OBJECT
public:
    explicit TfrmComissaoVend(QWidget* parent = nullptr);
    ~TfrmComissaoVend() override;

    // Branch bar.
    QWidget* panFilial;
    QLabel* lblFilial;
    QLineEdit* medCdFilial;
    fw::TBtnPesquisa* btnFilial;
    QLineEdit* edtNmFilial;

    // Items page.
    fw::TDBGrid* dbgItemPedido;
    fw::TDBGrid* dbgVendedor;
    QWidget* panTotal;
    QLabel* lblTotal;
    fw::TNumberEdit* nedTotal;
    QLabel* lblDataSaida;
    QLineEdit* edtDataSaida;
    // Beside the salesmen: the rule behind a default percentage, and the
    // item's audit trail.
    QLabel* lblRegraComissao;
    QGroupBox* grpHistorico;
    fw::TDBGrid* dbgHistComissao;
    QLabel* lblHistorico;

    // Extra commands.
    QToolButton* sbtFiltro;
    QToolButton* sbtNotaPed;
    QToolButton* sbtBuscaComissao;
    fw::TButtonFlat* btnCancelaComissao;
    QAction* mnuFiltrar;
    QAction* mnuNotaPed;

    // Record sets and their sources.
    fw::RecordSet cdsPedido{QStringLiteral("cdsPedido")};
    fw::RecordSet cdsItemPedido{QStringLiteral("cdsItemPedido")};
    fw::RecordSet cdsVendedor{QStringLiteral("cdsVendedor")};
    fw::RecordSet cdsParamPedido{QStringLiteral("cdsParamPedido")};
    fw::RecordSet cdsParExpedicao{QStringLiteral("cdsParExpedicao")};
    fw::RecordSet cdsOperTPed{QStringLiteral("cdsOperTPed")};
    fw::RecordSet cdsContaPaga{QStringLiteral("cdsContaPaga")};
    fw::RecordSet cdsSomatorio{QStringLiteral("cdsSomatorio")};
    fw::RecordSet cdsLancNf{QStringLiteral("cdsLancNf")};
    fw::RecordSet cdsTotiComi{QStringLiteral("cdsTotiComi")};
    fw::RecordSet cdsPesqVendedor{QStringLiteral("cdsPesqVendedor")};
    fw::RecordSet cdsPesqVendItem{QStringLiteral("cdsPesqVendItem")};
    fw::RecordSet cdsNota{QStringLiteral("cdsNota")};
    fw::RecordSet cdsHistComissao{QStringLiteral("cdsHistComissao")};
    fw::RecordSet cdsRegraComissao{QStringLiteral("cdsRegraComissao")};
    fw::DataSource dtsPedido;
    fw::DataSource dtsItem;
    fw::DataSource dtsFilial;
    fw::DataSource dtsPesqVendedor;
    fw::DataSource dtsHistComissao;

    // Database queries.
    fw::TADOIBQuery* qryFilial;
    fw::TADOIBQuery* qryVendLog;

    // Server connections.
    fw::TNetConnection* netComissaoVendedor;
    fw::TNetConnection* netNotaPed;

    // What the dialogs may ask of the screen.
    QString branchCode() const override;
    bool ownOrdersOnly() const override;
    QString linkedSalesman() const override;
    void closeOrderSets() override;
    fw::TNetConnection& serverConnection() override { return *netComissaoVendedor; }
    QWidget* dialogParent() override { return this; }

    // Lifecycle and pages.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    std::vector<fw::RecordSet*> pendingSets() override;
    QString deleteQuestion() override;
    void pgcPadraoChange() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    void sbtProcurarClick() override;

    // Enabling of the commands.
    void dtsPedidoStateChange();
    void dtsPadraoStateChange() override;
    void btnCancelaComissaoRule();

    // Branch and orders.
    void medCdFilialEnter();
    void medCdFilialChange();
    void medCdFilialExit();
    void btnFilialBeforePesq();
    void btnFilialAfterPesq();
    void Vd_Filial(bool required);
    void sbtFiltroClick();
    void mnuFiltrarClick() { sbtFiltroClick(); }
    void cdsPedidoAfterOpen();
    void sbtVerificarClick();

    // Browsing.
    void cdsPedidoBeforeScroll();
    void cdsPedidoAfterScroll();
    void cdsItemPedidoCalcFields();
    void dbgPadraoDrawColumnCell(const fw::TColumn& col, fw::Field& field, fw::CellStyle& style);
    void dbgItemPedidoDrawColumnCell(const fw::TColumn& col, fw::Field& field, fw::CellStyle& style);
    void dbgPadraoTitleClick(fw::TColumn& col);
    void dbgItemPedidoTitleClick(fw::TColumn& col);
    void dbgItemPedidoKeyDown(int& key, Qt::KeyboardModifiers mods);
    void netComissaoVendedorBeforeConnect(fw::TNetConnection& c);
    void netNotaPedBeforeConnect(fw::TNetConnection& c);

    // The order's salesman.
    void dbgPadraoEditButtonClick();
    void dbgPadraoColExit();
    void cdsPedidoBeforeInsert();
    void cdsPedidoBeforeEdit();
    void cdsPedidoCDVENDEDORChange();
    void cdsPedidoBeforePost();
    void cdsPedidoAfterPost();
    void cdsPedidoAfterCancel();
    void cdsItemPedidoAfterPost();
    void Vd_VendedorPed(bool required);

    // Commands of other concerns.
    void sbtNotaPedClick();
    void sbtBuscaComissaoClick();
    void btnCancelaComissaoClick();

    // The last loaded branch code (parameters are loaded once per branch).
    QString lastBranch() const { return m_lastBranch; }
    // The thirty order-query arguments built from the filter and code lists.
    std::vector<fw::RpcArg> orderArguments() const;

    // Captions of the status, role and item type codes.
    QString orderStatusCaption(const QString& code) const;
    QString itemStatusCaption(const QString& code) const;
    QString roleCaption(const QString& letter) const;

    // Salesmen of the current item and their commission lines.
    void cdsItemPedidoAfterScroll();
    void dbgVendedorColEnter();
    void dbgVendedorColExit();
    void dbgVendedorEditButtonClick();
    void dbgVendedorDrawColumnCell(const fw::TColumn& col, fw::Field& field, fw::CellStyle& style);
    void cdsVendedorBeforeInsert();
    void cdsVendedorAfterInsert();
    void cdsVendedorBeforeEdit();
    void cdsVendedorBeforePost();
    void cdsVendedorAfterPost();
    void cdsVendedorBeforeDelete();
    void cdsVendedorAfterDelete();
    void cdsVendedorAfterCancel();
    void sbtIncluirClick() override;
    void sbtAlterarClick() override;
    void Vd_CdVendedor(bool required);
    void Vd_Comissao();

    // Audit trail of the current item and the rule of a default percentage.
    void loadHistory();
    void showCommissionRule(const std::vector<fw::RpcArg>& lookup);
    QString actionCaption(const QString& code) const;

protected:
    // Not closed while orders are still arriving: the load runs a local
    // event loop that must find the screen alive when it ends.
    void closeEvent(QCloseEvent* e) override;

private:
    void buildUi();
    void buildCommands();
    void buildBranchBar();
    void buildOrdersGrid();
    void buildItemsPage();
    void buildTotalPanel();
    void declareRecordSets();
    void buildCatalogue();
    void buildQueries();
    void declareHistory();
    QWidget* buildHistoryPanel(QWidget* parent);
    void loadOrders();
    void showOrderCount();
    bool onListPage() const { return pgcPadrao->currentWidget() == tshFolhaDados; }
    bool orderEditing() const;
    void setPageEnabled(QWidget* page, bool on);

    bool salesmanEditing() const;
    QString itemKey(const char* field) const;
    void applyPercentReadOnly();
    void placeSalesmanColumn(const QString& field);
    void sendSalesmen(bool allItems);
    // Puts the line the server refused back in edit with what was typed.
    void restoreTypedLine();
    // Loads the order's generated commission accounts; "Conta_gerada" when any.
    void refuseWhenAccountsGenerated();

    QString m_lastBranch;
    bool m_placing = false;
    bool m_loading = false;
    // The line being posted, kept until the server has taken it.
    struct TypedLine {
        bool inserted = false;
        int recNo = -1;
        std::vector<std::pair<QString, QVariant>> values;
    } m_typedLine;
};

// Creates the screen once and shows it as a child window of the host.
void CriaComissaoVend();
