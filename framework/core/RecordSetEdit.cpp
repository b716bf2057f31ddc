// Editing, the edit buffer and the change log of a record set.
#include "FwError.h"
#include "Packet.h"
#include "RecordSet.h"

#include <algorithm>

namespace fw {

namespace {
bool sameValue(const QVariant& a, const QVariant& b)
{
    const bool na = !a.isValid() || a.isNull();
    const bool nb = !b.isValid() || b.isNull();
    if (na || nb)
        return na == nb;
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString() == b.toString();
    return a.toDouble() == b.toDouble();
}

// Runs a calculation with the calc row set, restoring it on every path.
struct CalcScope {
    CalcScope(int& target, int value) : slot(target), saved(target) { target = value; }
    ~CalcScope() { slot = saved; }
    int& slot;
    int saved;
};
} // namespace

bool RecordSet::editingCurrent() const
{
    return (m_state == DataSetState::Edit || m_state == DataSetState::Insert) && m_cur >= 0
        && !m_buf.empty();
}

QVariant RecordSet::readCell(int field) const
{
    if (!active())
        return {};
    const size_t f = static_cast<size_t>(field);
    if (m_calcPhys >= 0) {
        const uint32_t phys = static_cast<uint32_t>(m_calcPhys);
        if (editingCurrent() && phys == physAt(m_cur))
            return m_buf[f];
        return m_cols[f].get(phys);
    }
    int row = m_ctxRow >= 0 ? m_ctxRow : m_cur;
    if (row < 0 || row >= recordCount())
        return {};
    if (row == m_cur && editingCurrent())
        return m_buf[f];
    return m_cols[f].get(physAt(row));
}

void RecordSet::writeCell(int field, const QVariant& v)
{
    const size_t f = static_cast<size_t>(field);
    if (m_calcPhys >= 0) {
        if (!m_fields[f]->calculated())
            throw Error(QStringLiteral("%1: só campos calculados podem ser alterados no cálculo.").arg(m_name));
        const uint32_t phys = static_cast<uint32_t>(m_calcPhys);
        if (editingCurrent() && phys == physAt(m_cur))
            m_buf[f] = v;
        else
            m_cols[f].set(phys, v);
        return;
    }
    if (!editingCurrent() || (m_ctxRow >= 0 && m_ctxRow != m_cur))
        throw Error(QStringLiteral("%1: o registro não está em edição ou inclusão.").arg(m_name));
    m_buf[f] = v;
    calcBuffer();
    const int row = m_cur;
    notify([row](RecordSetObserver* o) { o->rsRowChanged(row); });
}

std::unordered_map<uint32_t, size_t>::iterator RecordSet::logFind(uint32_t phys)
{
    return m_logIndex.find(phys);
}

QVariant RecordSet::storedCell(int field) const
{
    if (!active())
        return {};
    const int row = m_ctxRow >= 0 ? m_ctxRow : m_cur;
    if (row < 0 || row >= recordCount())
        return {};
    if (m_fields[static_cast<size_t>(field)]->calculated())
        return readCell(field);
    const uint32_t phys = physAt(row);
    if (auto it = m_logIndex.find(phys); it != m_logIndex.end()) {
        const LogEntry& e = m_log[it->second];
        if (e.op == Op::Insert)
            return {};
        return e.orig[static_cast<size_t>(field)];
    }
    if (m_state == DataSetState::Insert && row == m_cur)
        return {};
    return m_cols[static_cast<size_t>(field)].get(phys);
}

uint32_t RecordSet::newPhysicalRow()
{
    for (auto& c : m_cols)
        c.appendNull();
    m_deleted.push_back(0);
    return static_cast<uint32_t>(m_deleted.size() - 1);
}

std::vector<QVariant> RecordSet::rowValues(uint32_t phys) const
{
    std::vector<QVariant> v(m_cols.size());
    for (size_t i = 0; i < m_cols.size(); ++i)
        v[i] = m_cols[i].get(phys);
    return v;
}

void RecordSet::restoreRow(uint32_t phys, const std::vector<QVariant>& vals)
{
    for (size_t i = 0; i < m_cols.size() && i < vals.size(); ++i)
        if (!m_fields[i]->calculated())
            m_cols[i].set(phys, vals[i]);
}

void RecordSet::calcRow(uint32_t phys)
{
    if (!onCalcFields)
        return;
    CalcScope scope(m_calcPhys, static_cast<int>(phys));
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i]->calculated())
            m_cols[i].set(phys, QVariant());
    onCalcFields(*this);
}

void RecordSet::calcBuffer()
{
    if (!onCalcFields || !editingCurrent())
        return;
    CalcScope scope(m_calcPhys, static_cast<int>(physAt(m_cur)));
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i]->calculated())
            m_buf[i] = QVariant();
    onCalcFields(*this);
}

void RecordSet::checkBrowseMode()
{
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        post();
}

void RecordSet::insert()
{
    requireActive("Insert");
    startInsert(false);
}

void RecordSet::append()
{
    requireActive("Append");
    startInsert(true);
}

void RecordSet::startInsert(bool atEnd)
{
    checkBrowseMode();
    fire(beforeInsert);
    fire(beforeScroll);
    const int pos = atEnd ? recordCount() : (m_cur < 0 ? 0 : m_cur);
    const uint32_t phys = newPhysicalRow();
    notify([pos](RecordSetObserver* o) { o->rsBeginInsertRows(pos, pos); });
    m_order.insert(m_order.begin() + pos, phys);
    m_cur = pos;
    m_buf.assign(m_fields.size(), QVariant());
    m_bof = m_eof = false;
    notify([](RecordSetObserver* o) { o->rsEndInsertRows(); });
    setState(DataSetState::Insert);
    try {
        fire(onNewRecord);
        calcBuffer();
    } catch (...) {
        cancel();
        throw;
    }
    fire(afterInsert);
    fire(afterScroll);
}

void RecordSet::edit()
{
    requireActive("Edit");
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (m_order.empty()) {
        insert();
        return;
    }
    fire(beforeEdit);
    m_buf = rowValues(physAt(m_cur));
    setState(DataSetState::Edit);
    fire(afterEdit);
}

void RecordSet::post()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    fire(beforePost);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const Field& f = *m_fields[i];
        if (f.required && !f.calculated() && (!m_buf[i].isValid() || m_buf[i].isNull()
                                              || (f.dataType() == FieldType::String && m_buf[i].toString().isEmpty())))
            throw Error(QStringLiteral("Campo '%1' deve ser informado.").arg(f.label()));
    }
    const uint32_t phys = physAt(m_cur);
    if (m_state == DataSetState::Insert) {
        restoreRow(phys, m_buf);
        m_log.push_back(LogEntry{Op::Insert, phys, {}, m_cur});
        m_logIndex[phys] = m_log.size() - 1;
    } else {
        bool changed = false;
        for (size_t i = 0; i < m_fields.size() && !changed; ++i)
            if (!m_fields[i]->calculated() && !sameValue(m_cols[i].get(phys), m_buf[i]))
                changed = true;
        if (changed) {
            if (m_logIndex.find(phys) == m_logIndex.end()) {
                m_log.push_back(LogEntry{Op::Modify, phys, rowValues(phys), m_cur});
                m_logIndex[phys] = m_log.size() - 1;
            }
            restoreRow(phys, m_buf);
        }
    }
    m_buf.clear();
    m_state = DataSetState::Browse;
    calcRow(phys);
    if (!m_indexCols.empty()) {
        sortOrder();
        m_cur = static_cast<int>(std::find(m_order.begin(), m_order.end(), phys) - m_order.begin());
        notify([](RecordSetObserver* o) { o->rsReset(); });
    } else {
        const int row = m_cur;
        notify([row](RecordSetObserver* o) { o->rsRowChanged(row); });
    }
    notify([](RecordSetObserver* o) { o->rsStateChanged(); });
    fire(afterPost);
}

void RecordSet::cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    fire(beforeCancel);
    const bool wasInsert = m_state == DataSetState::Insert;
    m_buf.clear();
    m_state = DataSetState::Browse;
    if (wasInsert) {
        const int pos = m_cur;
        m_deleted[physAt(pos)] = 1;
        notify([pos](RecordSetObserver* o) { o->rsBeginRemoveRows(pos, pos); });
        m_order.erase(m_order.begin() + pos);
        m_cur = m_order.empty() ? -1 : std::min(pos, recordCount() - 1);
        m_eof = m_bof = m_order.empty();
        notify([](RecordSetObserver* o) { o->rsEndRemoveRows(); });
    } else {
        const int row = m_cur;
        notify([row](RecordSetObserver* o) { o->rsRowChanged(row); });
    }
    notify([](RecordSetObserver* o) { o->rsStateChanged(); });
    fire(afterCancel);
}

void RecordSet::deleteRecord()
{
    requireActive("Delete");
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    if (m_order.empty())
        throw Error(QStringLiteral("%1: não há registro para excluir.").arg(m_name));
    fire(beforeDelete);
    fire(beforeScroll);
    const int pos = m_cur;
    const uint32_t phys = physAt(pos);
    m_buf.clear();
    if (auto it = m_logIndex.find(phys); it != m_logIndex.end()) {
        LogEntry& e = m_log[it->second];
        if (e.op == Op::Insert) {
            m_log.erase(m_log.begin() + static_cast<std::ptrdiff_t>(it->second));
            m_logIndex.clear();
            for (size_t i = 0; i < m_log.size(); ++i)
                m_logIndex[m_log[i].row] = i;
        } else {
            e.op = Op::Delete;
            e.position = pos;
        }
    } else {
        m_log.push_back(LogEntry{Op::Delete, phys, rowValues(phys), pos});
        m_logIndex[phys] = m_log.size() - 1;
    }
    m_deleted[phys] = 1;
    notify([pos](RecordSetObserver* o) { o->rsBeginRemoveRows(pos, pos); });
    m_order.erase(m_order.begin() + pos);
    m_cur = m_order.empty() ? -1 : std::min(pos, recordCount() - 1);
    m_eof = m_bof = m_order.empty();
    m_state = DataSetState::Browse;
    notify([](RecordSetObserver* o) { o->rsEndRemoveRows(); o->rsStateChanged(); });
    fire(afterDelete);
    fire(afterScroll);
}

std::string RecordSet::delta() const
{
    std::vector<int> idx;
    std::vector<FieldDef> defs;
    dataFields(idx, defs);
    ChangeSetWriter w;
    w.begin(defs);
    auto rowOf = [&](auto&& get) {
        std::vector<QVariant> r;
        r.reserve(idx.size());
        for (int i : idx)
            r.push_back(get(static_cast<size_t>(i)));
        return r;
    };
    for (const LogEntry& e : m_log) {
        switch (e.op) {
        case Op::Insert:
            w.insert(rowOf([&](size_t i) { return m_cols[i].get(e.row); }));
            break;
        case Op::Modify:
            w.modify(rowOf([&](size_t i) { return e.orig[i]; }), rowOf([&](size_t i) { return m_cols[i].get(e.row); }));
            break;
        case Op::Delete:
            w.remove(rowOf([&](size_t i) { return e.orig[i]; }));
            break;
        }
    }
    return w.finish();
}

void RecordSet::mergeChangeLog()
{
    m_log.clear();
    m_logIndex.clear();
}

void RecordSet::cancelUpdates()
{
    if (!active())
        return;
    cancel();
    if (m_log.empty())
        return;
    const uint32_t curPhys = m_cur >= 0 ? physAt(m_cur) : UINT32_MAX;
    for (auto e = m_log.rbegin(); e != m_log.rend(); ++e) {
        switch (e->op) {
        case Op::Insert: {
            auto it = std::find(m_order.begin(), m_order.end(), e->row);
            if (it != m_order.end())
                m_order.erase(it);
            m_deleted[e->row] = 1;
            break;
        }
        case Op::Modify:
            restoreRow(e->row, e->orig);
            calcRow(e->row);
            break;
        case Op::Delete: {
            restoreRow(e->row, e->orig);
            calcRow(e->row);
            const int pos = std::clamp(e->position, 0, recordCount());
            m_order.insert(m_order.begin() + pos, e->row);
            m_deleted[e->row] = 0;
            break;
        }
        }
    }
    m_log.clear();
    m_logIndex.clear();
    sortOrder();
    auto it = std::find(m_order.begin(), m_order.end(), curPhys);
    if (it != m_order.end())
        m_cur = static_cast<int>(it - m_order.begin());
    else
        m_cur = m_order.empty() ? -1 : std::clamp(m_cur, 0, recordCount() - 1);
    m_eof = m_bof = m_order.empty();
    notify([](RecordSetObserver* o) { o->rsReset(); });
}

} // namespace fw
