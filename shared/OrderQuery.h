#pragma once

// The order query the commission screen sends, from the filter record and
// the code lists the filter action builds.
#include "core/OrderQuery.h"

namespace fw {
class RecordSet;
}

// From Filtro, stPrioridade, stStatusPedido, stStatusItemPedido,
// stTVendedor, stOperador, stIdpedido and stOrcamento.
fw::OrderQuery OrderQueryFromFiltro();

// The branch shows this operator only his own salesman's orders: its order
// parameters (cdsParamPedido) say so and the operator is not among its
// exceptions (cdsOperTPed). The server applies the same rule.
bool OwnOrdersOnly(const fw::RecordSet& cdsParamPedido, const fw::RecordSet& cdsOperTPed);
