#pragma once

// The order filter dialog of the commission screen.
#include "widgets/TfrmFiltroPadrao.h"

class TfrmFiltroComisVend : public fw::TfrmFiltroPadrao {
    Q_OBJECT
public:
    explicit TfrmFiltroComisVend(QWidget* parent = nullptr);

    // True when the dialog was closed by its confirm button.
    bool Confirmado = false;

    void FormClose() override;
    void sbtConfirmaClick() override;
};

// Shows the filter dialog modally; true when the user confirmed it.
bool CriaFiltroComissao();
