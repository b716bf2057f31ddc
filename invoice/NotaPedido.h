#pragma once

// The invoices of one order, read only.
#include "core/NetConnection.h"
#include "core/RecordSet.h"
#include "widgets/TfrmPadrao.h"

class TfrmNotaPedido : public fw::TfrmPadrao {
    Q_OBJECT
public:
    TfrmNotaPedido(const QString& branch, const QString& order, QWidget* parent = nullptr);

    fw::RecordSet cdsNota{QStringLiteral("cdsNota")};
    fw::TNetConnection* netNotaPed;
    QLabel* lblPedido;

    QString branch() const { return m_branch; }
    QString order() const { return m_order; }

    void FormCreate() override;
    void dtsPadraoStateChange() override;
    // Reads the order's invoices again.
    void Carrega();

private:
    QString m_branch;
    QString m_order;
};
