#pragma once

// Asks the server to search and recalculate the commission percentages of
// the orders delivered in a date range.
#include "core/RecordSet.h"
#include "shared/ComissaoScreen.h"
#include "widgets/Controls.h"
#include "widgets/DataGrid.h"
#include "widgets/TfrmFiltroPadrao.h"

#include <QPushButton>

class TfrmBuscaComissao : public fw::TfrmFiltroPadrao {
    Q_OBJECT
public:
    explicit TfrmBuscaComissao(QWidget* parent = nullptr);

    QGroupBox* grbEntrega;
    fw::TDateEditPlus* depDeEntrega;
    fw::TDateEditPlus* depAteEntrega;

    void FormActivate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;
    void depDeEntregaExit() { Vd_DeEntrega(); }
    void depAteEntregaExit() { Vd_AteEntrega(); }

    void Vd_DeEntrega();
    void Vd_AteEntrega();
    void Vd_Entrega();

    // What a recalculation of the range would change, asked of the server
    // with nothing written, shown below the dates.
    QPushButton* sbtSimula;
    QGroupBox* grbSimulacao;
    QLabel* lblSimulacao;
    fw::RecordSet cdsSimTotal{QStringLiteral("cdsSimTotal")};       // QTLINHAS, QTPEDIDOS
    fw::RecordSet cdsSimVendedor{QStringLiteral("cdsSimVendedor")}; // per salesman: lines, sums before and after
    fw::RecordSet cdsSimLinhas{QStringLiteral("cdsSimLinhas")};     // the first lines changed
    fw::DataSource dtsSimVendedor, dtsSimLinhas;
    fw::TDBGrid* dbgSimVendedor;
    fw::TDBGrid* dbgSimLinhas;
    void sbtSimulaClick();

private:
    void buildSimulation();
};
