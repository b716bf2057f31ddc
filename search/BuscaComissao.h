#pragma once

// Asks the server to search and recalculate the commission percentages of
// the orders delivered in a date range.
#include "shared/ComissaoScreen.h"
#include "widgets/Controls.h"
#include "widgets/TfrmFiltroPadrao.h"

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

};
