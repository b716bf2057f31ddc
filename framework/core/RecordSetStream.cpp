// Loading a packet that arrives in pieces.
#include "RecordSet.h"

#include "FwError.h"

#include <cmath>

namespace fw {

namespace {

void appendCell(Column& dst, const Column& src, size_t r)
{
    if (src.isNull(r)) {
        dst.appendNull();
        return;
    }
    switch (dst.type) {
    case FieldType::String: dst.appendString(src.stringAt(r)); break;
    case FieldType::Integer:
        dst.appendInt(src.type == FieldType::Integer ? src.ints[r] : static_cast<qint64>(std::llround(src.num[r])));
        break;
    default: dst.appendDouble(src.type == FieldType::Integer ? static_cast<double>(src.ints[r]) : src.num[r]);
    }
}

} // namespace

void RecordSet::streamBegin(Table&& first)
{
    if (m_stream)
        throw Error(QStringLiteral("%1: uma carga já está em andamento.").arg(m_name));
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        cancel();
    validateTable(first);
    auto b = std::make_unique<StreamBackup>();
    b->cols = std::move(m_cols);
    b->order = std::move(m_order);
    b->deleted = std::move(m_deleted);
    b->cur = m_cur;
    b->bof = m_bof;
    b->eof = m_eof;
    b->state = m_state;
    b->log = std::move(m_log);
    b->logIndex = std::move(m_logIndex);
    m_log.clear();
    m_logIndex.clear();
    m_buf.clear();
    const std::vector<FieldDef> names = first.fields;
    adoptTable(std::move(first));
    // pieces carry the first piece's columns: map every field (the hidden
    // ones the packet added too) to its column once
    for (const auto& f : m_fields) {
        int src = -1;
        for (size_t c = 0; c < names.size() && !f->calculated(); ++c)
            if (names[c].name.compare(f->fieldName(), Qt::CaseInsensitive) == 0)
                src = static_cast<int>(c);
        b->srcOf.push_back(src);
    }
    m_stream = std::move(b);
    m_state = DataSetState::Browse;
    m_cur = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    notify([](RecordSetObserver* o) { o->rsReset(); o->rsStateChanged(); });
}

void RecordSet::streamAppend(Table&& piece)
{
    if (!m_stream)
        throw Error(QStringLiteral("%1: nenhuma carga em andamento.").arg(m_name));
    if (piece.rowCount == 0)
        return;
    const int first = recordCount();
    const size_t phys0 = m_cols.empty() ? 0 : m_cols.front().rows();
    for (size_t i = 0; i < m_cols.size(); ++i) {
        Column& dst = m_cols[i];
        const int src = i < m_stream->srcOf.size() ? m_stream->srcOf[i] : -1;
        dst.reserve(dst.rows() + piece.rowCount);
        if (src < 0 || static_cast<size_t>(src) >= piece.columns.size()) {
            for (size_t r = 0; r < piece.rowCount; ++r)
                dst.appendNull();
            continue;
        }
        const Column& from = piece.columns[static_cast<size_t>(src)];
        for (size_t r = 0; r < piece.rowCount; ++r)
            appendCell(dst, from, r);
    }
    const int last = first + static_cast<int>(piece.rowCount) - 1;
    notify([first, last](RecordSetObserver* o) { o->rsBeginInsertRows(first, last); });
    for (size_t r = 0; r < piece.rowCount; ++r)
        m_order.push_back(static_cast<uint32_t>(phys0 + r));
    m_deleted.resize(phys0 + piece.rowCount, 0);
    if (m_cur < 0) {
        m_cur = 0;
        m_eof = false;
    }
    notify([](RecordSetObserver* o) { o->rsEndInsertRows(); });
}

void RecordSet::streamEnd()
{
    if (!m_stream)
        return;
    m_stream.reset();
    fire(beforeOpen);
    afterLoad();
}

void RecordSet::streamAbort()
{
    if (!m_stream)
        return;
    std::unique_ptr<StreamBackup> b = std::move(m_stream);
    // fields added by the aborted load stay declared, empty in the old rows
    const size_t rows = b->cols.empty() ? 0 : b->cols.front().rows();
    while (b->cols.size() < m_fields.size()) {
        Column c;
        c.type = m_fields[b->cols.size()]->dataType();
        for (size_t r = 0; r < rows; ++r)
            c.appendNull();
        b->cols.push_back(std::move(c));
    }
    m_cols = std::move(b->cols);
    m_order = std::move(b->order);
    m_deleted = std::move(b->deleted);
    m_cur = b->cur;
    m_bof = b->bof;
    m_eof = b->eof;
    m_state = b->state;
    m_log = std::move(b->log);
    m_logIndex = std::move(b->logIndex);
    notify([](RecordSetObserver* o) { o->rsReset(); o->rsStateChanged(); });
}

} // namespace fw
