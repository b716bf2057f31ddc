#include "Filtro.h"

#include <QStringList>

#include <cstring>

void ClearFiltro(TFiltro& f)
{
    f = TFiltro{};
}

void DefaultFiltro(TFiltro& f, double today)
{
    ClearFiltro(f);
    f.NrPedido.boIntervalo = false;
    f.NrPedido.boTodos = true;
    f.boNormal = f.boAlta = f.boUrgente = true;
    f.boPPendente = true;
    f.boIPendente = f.boIConfirmado = f.boIAprovado = true;
    f.boILiquidado = f.boICancelado = f.boIParcialmente = true;
    f.Produto.boTodos = true;
    f.Vendedor.boTodos = true;
    f.Cliente.boTodos = true;
    f.boSemEntrega = true;
    f.boSemEmissao = false;
    f.dtDeEmissao = today - 8;
    f.dtAteEmissao = today;
    f.boPedido = true;
    f.boOrcamento = false;
    f.MuniciCli.boTodos = true;
}

namespace {

// Offsets from member pointers on a live object: the record holds QString,
// so offsetof is not guaranteed for it.
template <typename R, typename M>
std::size_t offsetOf(M R::*member)
{
    static const R probe{};
    return static_cast<std::size_t>(reinterpret_cast<const char*>(&(probe.*member)) -
                                    reinterpret_cast<const char*>(&probe));
}

#define PED_FIELD(R, name, kind) TFieldInfo{#name, TypeKind::kind, offsetOf(&R::name), nullptr}
#define PED_RECORD(R, name, type) TFieldInfo{#name, TypeKind::Record, offsetOf(&R::name), &type}

const TFieldInfo nrPedidoFields[] = {
    PED_FIELD(TNrPedido, boIntervalo, Boolean), PED_FIELD(TNrPedido, boTodos, Boolean),
    PED_FIELD(TNrPedido, stDe, Text),           PED_FIELD(TNrPedido, stAte, Text),
    PED_FIELD(TNrPedido, stLista, Text),
};
const TFieldInfo listFields[] = {PED_FIELD(TProduto, boTodos, Boolean), PED_FIELD(TProduto, stLista, Text)};
const TFieldInfo ordemFields[] = {PED_FIELD(TOrdem, stOrdemCompra, Text)};

const TTypeInfo tNrPedido{"TNrPedido", sizeof(TNrPedido), nrPedidoFields, 5};
const TTypeInfo tProduto{"TProduto", sizeof(TProduto), listFields, 2};
const TTypeInfo tVendedor{"TVendedor", sizeof(TVendedor), listFields, 2};
const TTypeInfo tCliente{"TCliente", sizeof(TCliente), listFields, 2};
const TTypeInfo tMuniciCli{"TMuniciCli", sizeof(TMuniciCli), listFields, 2};
const TTypeInfo tOrdem{"TOrdem", sizeof(TOrdem), ordemFields, 1};

const TFieldInfo filtroFields[] = {
    PED_RECORD(TFiltro, NrPedido, tNrPedido),
    PED_FIELD(TFiltro, boNormal, Boolean),
    PED_FIELD(TFiltro, boAlta, Boolean),
    PED_FIELD(TFiltro, boUrgente, Boolean),
    PED_FIELD(TFiltro, boPPendente, Boolean),
    PED_FIELD(TFiltro, boPAndamento, Boolean),
    PED_FIELD(TFiltro, boPLiquidado, Boolean),
    PED_FIELD(TFiltro, boPCancelado, Boolean),
    PED_FIELD(TFiltro, boPParcialmente, Boolean),
    PED_FIELD(TFiltro, boIPendente, Boolean),
    PED_FIELD(TFiltro, boIConfirmado, Boolean),
    PED_FIELD(TFiltro, boIAprovado, Boolean),
    PED_FIELD(TFiltro, boILiquidado, Boolean),
    PED_FIELD(TFiltro, boICancelado, Boolean),
    PED_FIELD(TFiltro, boIParcialmente, Boolean),
    PED_RECORD(TFiltro, Produto, tProduto),
    PED_RECORD(TFiltro, Vendedor, tVendedor),
    PED_RECORD(TFiltro, Cliente, tCliente),
    PED_FIELD(TFiltro, boSemEntrega, Boolean),
    PED_FIELD(TFiltro, dtDeEntrega, Date),
    PED_FIELD(TFiltro, dtAteEntrega, Date),
    PED_FIELD(TFiltro, boSemEmissao, Boolean),
    PED_FIELD(TFiltro, dtDeEmissao, Date),
    PED_FIELD(TFiltro, dtAteEmissao, Date),
    PED_FIELD(TFiltro, boPedido, Boolean),
    PED_FIELD(TFiltro, boOrcamento, Boolean),
    PED_RECORD(TFiltro, MuniciCli, tMuniciCli),
    PED_FIELD(TFiltro, stCdFilial, Text),
    PED_RECORD(TFiltro, Ordem, tOrdem),
};
const TTypeInfo tFiltro{"TFiltro", sizeof(TFiltro), filtroFields,
                        static_cast<int>(sizeof filtroFields / sizeof filtroFields[0])};

#undef PED_FIELD
#undef PED_RECORD

void describe(const TTypeInfo& type, const char* base, const QString& prefix, QStringList& out)
{
    for (int i = 0; i < type.fieldCount; ++i) {
        const TFieldInfo& f = type.fields[i];
        const char* at = base + f.offset;
        const QString name = prefix + QLatin1String(f.name);
        switch (f.kind) {
        case TypeKind::Boolean:
            out << name + (*reinterpret_cast<const bool*>(at) ? QStringLiteral(" = True") : QStringLiteral(" = False"));
            break;
        case TypeKind::Text:
            out << name + QStringLiteral(" = '") + *reinterpret_cast<const QString*>(at) + QLatin1Char('\'');
            break;
        case TypeKind::Date:
            out << name + QStringLiteral(" = ") + QString::number(*reinterpret_cast<const double*>(at), 'f', 1);
            break;
        case TypeKind::Record:
            describe(*f.record, at, name + QLatin1Char('.'), out);
            break;
        }
    }
}

} // namespace

extern "C" const TTypeInfo* PED03600_TypeInfo(const char* name)
{
    if (!name)
        return nullptr;
    for (const TTypeInfo* t : {&tFiltro, &tNrPedido, &tProduto, &tVendedor, &tCliente, &tMuniciCli, &tOrdem})
        if (std::strcmp(t->name, name) == 0)
            return t;
    return nullptr;
}

QString DescribeRecord(const TTypeInfo& type, const void* record)
{
    QStringList out;
    describe(type, static_cast<const char*>(record), {}, out);
    return out.join(QLatin1Char('\n'));
}
