#pragma once

// The order filter: which orders the commission screen asks the server for.
// Written by the filter dialog on confirmation, read by the commission
// screen's filter and refresh actions.
#include <QString>

#include <cstddef>

struct TNrPedido {
    bool boIntervalo = false;
    bool boTodos = false;
    QString stDe;
    QString stAte;
    QString stLista;
};

struct TProduto {
    bool boTodos = false;
    QString stLista;
};
using TVendedor = TProduto;
using TCliente = TProduto;
using TMuniciCli = TProduto;

struct TOrdem {
    QString stOrdemCompra;
};

struct TFiltro {
    TNrPedido NrPedido;
    bool boNormal = false;
    bool boAlta = false;
    bool boUrgente = false;
    bool boPPendente = false;
    bool boPAndamento = false;
    bool boPLiquidado = false;
    bool boPCancelado = false;
    bool boPParcialmente = false;
    bool boIPendente = false;
    bool boIConfirmado = false;
    bool boIAprovado = false;
    bool boILiquidado = false;
    bool boICancelado = false;
    bool boIParcialmente = false;
    TProduto Produto;
    TVendedor Vendedor;
    TCliente Cliente;
    bool boSemEntrega = false;
    double dtDeEntrega = 0.0;
    double dtAteEntrega = 0.0;
    bool boSemEmissao = false;
    double dtDeEmissao = 0.0;
    double dtAteEmissao = 0.0;
    bool boPedido = false;
    bool boOrcamento = false;
    TMuniciCli MuniciCli;
    QString stCdFilial;
    TOrdem Ordem;
};

// Every field back to zero: flags false, texts empty, dates 0.
void ClearFiltro(TFiltro& f);
// The defaults the commission screen gives the record when it is created;
// today is a whole day count since 1899-12-30.
void DefaultFiltro(TFiltro& f, double today);

// Type information of the filter record, so the host can print it.
enum class TypeKind { Boolean, Text, Date, Record };

struct TFieldInfo {
    const char* name;
    TypeKind kind;
    std::size_t offset;
    const struct TTypeInfo* record; // the sub-record's type, for Record
};

struct TTypeInfo {
    const char* name;
    std::size_t size;
    const TFieldInfo* fields;
    int fieldCount;
};

// The type of TFiltro, TNrPedido, TProduto, TVendedor, TCliente, TMuniciCli
// or TOrdem; nullptr for any other name.
extern "C" const TTypeInfo* PED03600_TypeInfo(const char* name);

// A record rendered field by field ("NrPedido.boTodos = True"), one per line.
QString DescribeRecord(const TTypeInfo& type, const void* record);
