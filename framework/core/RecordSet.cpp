#include "RecordSet.h"

#include "DateUtil.h"
#include "FormatUtil.h"
#include "FwError.h"
#include "Packet.h"

#include <algorithm>
#include <cmath>

namespace fw {

QString fieldTypeName(FieldType t)
{
    switch (t) {
    case FieldType::String: return QStringLiteral("string");
    case FieldType::Float: return QStringLiteral("float");
    case FieldType::Integer: return QStringLiteral("integer");
    case FieldType::DateTime: return QStringLiteral("datetime");
    }
    return {};
}

// ---------------------------------------------------------------- Column

size_t Column::rows() const
{
    switch (type) {
    case FieldType::String: return len.size();
    case FieldType::Integer: return ints.size();
    default: return num.size();
    }
}

void Column::reserve(size_t n)
{
    if (type == FieldType::String) {
        off.reserve(n);
        len.reserve(n);
    } else {
        nulls.reserve(n);
        if (type == FieldType::Integer)
            ints.reserve(n);
        else
            num.reserve(n);
    }
}

void Column::appendNull()
{
    switch (type) {
    case FieldType::String:
        off.push_back(static_cast<uint32_t>(text.size()));
        len.push_back(kNullLen);
        break;
    case FieldType::Integer:
        ints.push_back(0);
        nulls.push_back(1);
        break;
    default:
        num.push_back(0);
        nulls.push_back(1);
    }
}

void Column::appendString(std::string_view utf8)
{
    if (text.size() + utf8.size() > 0xFFFFFFF0u)
        throw Error(QStringLiteral("Dados excedem o limite de um campo de texto."));
    off.push_back(static_cast<uint32_t>(text.size()));
    len.push_back(static_cast<uint32_t>(utf8.size()));
    text.append(utf8);
}

void Column::appendDouble(double v)
{
    num.push_back(v);
    nulls.push_back(0);
}

void Column::appendInt(qint64 v)
{
    ints.push_back(v);
    nulls.push_back(0);
}

bool Column::isNull(size_t r) const
{
    return type == FieldType::String ? len[r] == kNullLen : nulls[r] != 0;
}

std::string_view Column::stringAt(size_t r) const
{
    if (len[r] == kNullLen)
        return {};
    return std::string_view(text.data() + off[r], len[r]);
}

QVariant Column::get(size_t r) const
{
    if (isNull(r))
        return {};
    switch (type) {
    case FieldType::String: {
        const auto s = stringAt(r);
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }
    case FieldType::Integer: return QVariant::fromValue(ints[r]);
    default: return num[r];
    }
}

void Column::set(size_t r, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        if (type == FieldType::String)
            len[r] = kNullLen;
        else
            nulls[r] = 1;
        return;
    }
    switch (type) {
    case FieldType::String: {
        const QByteArray u = v.toString().toUtf8();
        const std::string_view sv(u.constData(), static_cast<size_t>(u.size()));
        // Reuse the cell's bytes when the new text fits, else append.
        if (len[r] != kNullLen && sv.size() <= len[r]) {
            std::copy(sv.begin(), sv.end(), text.begin() + off[r]);
        } else {
            if (text.size() + sv.size() > 0xFFFFFFF0u)
                throw Error(QStringLiteral("Dados excedem o limite de um campo de texto."));
            off[r] = static_cast<uint32_t>(text.size());
            text.append(sv);
        }
        len[r] = static_cast<uint32_t>(sv.size());
        break;
    }
    case FieldType::Integer:
        ints[r] = v.toLongLong();
        nulls[r] = 0;
        break;
    default:
        num[r] = v.toDouble();
        nulls[r] = 0;
    }
}

size_t Column::memoryBytes() const
{
    return text.capacity() + off.capacity() * 4 + len.capacity() * 4 + num.capacity() * 8
        + ints.capacity() * 8 + nulls.capacity();
}

// ---------------------------------------------------------------- Field

Field::Field(RecordSet& owner, int index, FieldDef def, bool calculated)
    : m_owner(owner), m_index(index), m_def(std::move(def)), m_calculated(calculated)
{
    if (m_def.type != FieldType::String)
        alignment = Qt::AlignRight | Qt::AlignVCenter;
    else
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
}

QVariant Field::value() const
{
    return m_owner.readCell(m_index);
}

bool Field::isNull() const
{
    const QVariant v = value();
    return !v.isValid() || v.isNull();
}

QString Field::asString() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull())
        return {};
    if (m_def.type == FieldType::DateTime)
        return date::formatDateTime(v.toDouble());
    if (m_def.type == FieldType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull())
        return 0.0;
    if (m_def.type == FieldType::String) {
        const auto n = fmt::parseNumber(v.toString());
        if (!n)
            throw Error(QStringLiteral("'%1' não é um valor numérico válido.").arg(v.toString()));
        return *n;
    }
    return v.toDouble();
}

qint64 Field::asInteger() const
{
    return static_cast<qint64>(std::llround(asFloat()));
}

void Field::setValue(const QVariant& v)
{
    QVariant nv = v;
    if (nv.isValid() && !nv.isNull()) {
        switch (m_def.type) {
        case FieldType::String: {
            QString s = nv.toString();
            if (m_def.size > 0 && s.size() > m_def.size)
                throw Error(QStringLiteral("O texto '%1' excede o tamanho do campo '%2' (%3 caracteres).")
                                .arg(s, label())
                                .arg(m_def.size));
            nv = s;
            break;
        }
        case FieldType::Integer: {
            bool ok = false;
            const qint64 i = nv.toLongLong(&ok);
            if (!ok)
                throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(nv.toString()));
            nv = QVariant::fromValue(i);
            break;
        }
        default: {
            bool ok = false;
            const double d = nv.toDouble(&ok);
            if (!ok || !std::isfinite(d))
                throw Error(QStringLiteral("'%1' não é um valor numérico válido.").arg(nv.toString()));
            nv = d;
        }
        }
    }
    m_owner.writeCell(m_index, nv);
    if (onChange)
        onChange(*this);
}

void Field::setAsString(const QString& text)
{
    const QString t = text.trimmed();
    switch (m_def.type) {
    case FieldType::String:
        setValue(text.isEmpty() ? QVariant() : QVariant(text));
        return;
    case FieldType::Integer: {
        if (t.isEmpty())
            return setValue(QVariant());
        bool ok = false;
        const qint64 i = t.toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
        return setValue(QVariant::fromValue(i));
    }
    case FieldType::Float: {
        if (t.isEmpty())
            return setValue(QVariant());
        const auto n = fmt::parseNumber(t);
        if (!n)
            throw Error(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
        const QString& pic = editFormat.isEmpty() ? displayFormat : editFormat;
        return setValue(pic.isEmpty() ? *n : fmt::roundDecimal(*n, fmt::pictureDecimals(pic)));
    }
    case FieldType::DateTime: {
        if (QString(t).remove(QLatin1Char('/')).trimmed().isEmpty())
            return setValue(QVariant());
        const auto d = date::parseDate(text);
        if (!d)
            throw Error(QStringLiteral("'%1' não é uma data válida.").arg(text));
        return setValue(*d);
    }
    }
}

QVariant Field::oldValue() const
{
    return m_owner.storedCell(m_index);
}

QString Field::formattedText(bool display) const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull())
        return {};
    switch (m_def.type) {
    case FieldType::String: return v.toString();
    case FieldType::Integer: return QString::number(v.toLongLong());
    case FieldType::DateTime: return date::formatDateTime(v.toDouble());
    case FieldType::Float: {
        const QString& pic = display ? displayFormat : (editFormat.isEmpty() ? displayFormat : editFormat);
        if (pic.isEmpty())
            return QString::number(v.toDouble(), 'g', 15).replace(QLatin1Char('.'), QLatin1Char(','));
        return fmt::formatFloat(pic, v.toDouble());
    }
    }
    return {};
}

QString Field::displayText() const
{
    return onGetText ? onGetText(*this, true) : formattedText(true);
}

QString Field::editText() const
{
    return onGetText ? onGetText(*this, false) : formattedText(false);
}

// ---------------------------------------------------------------- RecordSet

RecordSet::RecordSet(QString name) : m_name(std::move(name)) {}

RecordSet::~RecordSet()
{
    // Observers that outlive the set must not reach it any more.
    const auto observers = std::move(m_observers);
    m_observers.clear();
    for (RecordSetObserver* o : observers) {
        std::erase(o->m_subjects, this);
        o->rsDestroyed(*this);
    }
}

RecordSetObserver::~RecordSetObserver()
{
    for (RecordSet* rs : std::vector<RecordSet*>(m_subjects))
        rs->removeObserver(this);
}

RecordSet::RowContext::RowContext(const RecordSet& r, int row) : rs(r), saved(r.m_ctxRow)
{
    r.m_ctxRow = row;
}

RecordSet::RowContext::~RowContext()
{
    rs.m_ctxRow = saved;
}

Field& RecordSet::addFieldImpl(const QString& name, FieldType type, int size, bool calc)
{
    if (active())
        throw Error(QStringLiteral("Campos de '%1' só podem ser definidos com o conjunto fechado.").arg(m_name));
    if (findField(name))
        throw Error(QStringLiteral("Campo '%1' duplicado em '%2'.").arg(name, m_name));
    const int idx = fieldCount();
    m_fields.push_back(std::make_unique<Field>(*this, idx, FieldDef{name, type, size}, calc));
    return *m_fields.back();
}

Field& RecordSet::addField(const QString& name, FieldType type, int size)
{
    return addFieldImpl(name, type, size, false);
}

Field& RecordSet::addCalcField(const QString& name, FieldType type, int size)
{
    return addFieldImpl(name, type, size, true);
}

Field* RecordSet::findField(QStringView name)
{
    for (auto& f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

const Field* RecordSet::findField(QStringView name) const
{
    return const_cast<RecordSet*>(this)->findField(name);
}

Field& RecordSet::fieldByName(QStringView name)
{
    if (Field* f = findField(name))
        return *f;
    throw Error(QStringLiteral("%1: campo '%2' não encontrado.").arg(m_name, name.toString()));
}

const Field& RecordSet::fieldByName(QStringView name) const
{
    return const_cast<RecordSet*>(this)->fieldByName(name);
}

void RecordSet::requireActive(const char* what) const
{
    if (!active())
        throw Error(QStringLiteral("%1: operação '%2' com o conjunto de dados fechado.")
                        .arg(m_name, QString::fromLatin1(what)));
}

void RecordSet::requireBrowse(const char* what) const
{
    requireActive(what);
    if (m_state != DataSetState::Browse)
        throw Error(QStringLiteral("%1: operação '%2' exige o conjunto de dados em consulta.")
                        .arg(m_name, QString::fromLatin1(what)));
}

void RecordSet::setState(DataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    notify([](RecordSetObserver* o) { o->rsStateChanged(); });
}

void RecordSet::validateTable(const Table& t) const
{
    for (const FieldDef& d : t.fields) {
        const Field* f = findField(d.name);
        if (!f || f->calculated())
            continue;
        const bool numeric = f->dataType() != FieldType::String && d.type != FieldType::String;
        if (f->dataType() != d.type && !numeric)
            throw Error(QStringLiteral("%1: o campo '%2' chegou como %3, esperado %4.")
                            .arg(m_name, f->fieldName(), fieldTypeName(d.type), fieldTypeName(f->dataType())));
    }
    if (t.fields.empty())
        return;
    for (const auto& f : m_fields) {
        if (f->calculated())
            continue;
        const bool present = std::any_of(t.fields.begin(), t.fields.end(), [&](const FieldDef& d) {
            return d.name.compare(f->fieldName(), Qt::CaseInsensitive) == 0;
        });
        if (!present)
            throw Error(QStringLiteral("%1: o campo '%2' não veio nos dados do servidor.").arg(m_name, f->fieldName()));
    }
}

void RecordSet::adoptTable(Table&& t)
{
    // Map the table's columns onto the declared fields; extra columns become
    // hidden fields of their own.
    std::vector<int> srcOf(m_fields.size(), -1);
    std::vector<FieldDef> extra;
    std::vector<int> extraSrc;
    for (size_t c = 0; c < t.fields.size(); ++c) {
        Field* f = findField(t.fields[c].name);
        if (f && !f->calculated()) {
            srcOf[static_cast<size_t>(f->index())] = static_cast<int>(c);
        } else if (!f) {
            extra.push_back(t.fields[c]);
            extraSrc.push_back(static_cast<int>(c));
        }
    }
    // Convert numeric columns whose declared type differs.
    auto convert = [&](Column&& src, FieldType want) -> Column {
        if (src.type == want)
            return std::move(src);
        Column dst;
        dst.type = want;
        const size_t n = src.rows();
        dst.reserve(n);
        for (size_t r = 0; r < n; ++r) {
            if (src.isNull(r))
                dst.appendNull();
            else if (want == FieldType::Integer)
                dst.appendInt(static_cast<qint64>(std::llround(src.type == FieldType::Integer ? double(src.ints[r]) : src.num[r])));
            else
                dst.appendDouble(src.type == FieldType::Integer ? static_cast<double>(src.ints[r]) : src.num[r]);
        }
        return dst;
    };
    for (size_t e = 0; e < extra.size(); ++e) {
        Field& f = addFieldImpl(extra[e].name, extra[e].type, extra[e].size, false);
        f.visible = false;
        srcOf.push_back(extraSrc[e]);
    }
    std::vector<Column> cols(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (srcOf[i] >= 0) {
            cols[i] = convert(std::move(t.columns[static_cast<size_t>(srcOf[i])]), m_fields[i]->dataType());
        } else {
            cols[i].type = m_fields[i]->dataType();
            cols[i].reserve(t.rowCount);
            for (size_t r = 0; r < t.rowCount; ++r)
                cols[i].appendNull();
        }
    }
    m_cols = std::move(cols);
    m_order.resize(t.rowCount);
    for (size_t r = 0; r < t.rowCount; ++r)
        m_order[r] = static_cast<uint32_t>(r);
    m_deleted.assign(t.rowCount, 0);
}

void RecordSet::setData(const Payload& packet)
{
    Table t = decodePacket(packet, m_name);
    setTable(std::move(t));
}

void setDataEach(const Payload& array, std::initializer_list<RecordSet*> sets)
{
    std::vector<Table> tables;
    tables.reserve(sets.size());
    size_t i = 0;
    for (RecordSet* rs : sets)
        tables.push_back(decodePacket(array.at(i++), rs->name()));
    i = 0;
    for (RecordSet* rs : sets)
        rs->setTable(std::move(tables[i++]));
}

void RecordSet::setTable(Table&& table)
{
    validateTable(table);
    if (active())
        close();
    fire(beforeOpen);
    adoptTable(std::move(table));
    afterLoad();
}

void RecordSet::afterLoad()
{
    m_log.clear();
    m_logIndex.clear();
    m_buf.clear();
    m_state = DataSetState::Browse;
    if (onCalcFields)
        for (uint32_t r = 0; r < m_order.size(); ++r)
            calcRow(r);
    sortOrder();
    m_cur = m_order.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_order.empty();
    notify([](RecordSetObserver* o) { o->rsReset(); o->rsStateChanged(); });
    fire(afterOpen);
    fire(afterScroll);
}

void RecordSet::createDataSet()
{
    if (active())
        close();
    fire(beforeOpen);
    std::vector<Column> cols(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        cols[i].type = m_fields[i]->dataType();
    m_cols = std::move(cols);
    m_order.clear();
    m_deleted.clear();
    afterLoad();
}

void RecordSet::emptyDataSet()
{
    requireActive("EmptyDataSet");
    if (m_state != DataSetState::Browse)
        cancel();
    for (auto& c : m_cols) {
        const FieldType t = c.type;
        c = Column();
        c.type = t;
    }
    m_order.clear();
    m_deleted.clear();
    m_log.clear();
    m_logIndex.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    notify([](RecordSetObserver* o) { o->rsReset(); });
    fire(afterScroll);
}

void RecordSet::open()
{
    if (active())
        return;
    createDataSet();
}

void RecordSet::close()
{
    if (!active())
        return;
    fire(beforeClose);
    m_state = DataSetState::Inactive;
    m_cols.clear();
    m_order.clear();
    m_deleted.clear();
    m_log.clear();
    m_logIndex.clear();
    m_buf.clear();
    m_cur = -1;
    m_bof = m_eof = true;
    notify([](RecordSetObserver* o) { o->rsReset(); o->rsStateChanged(); });
    fire(afterClose);
}

// ---------------------------------------------------------------- navigation

void RecordSet::scrollTo(int row, bool always)
{
    requireActive("Move");
    if (m_order.empty()) {
        m_bof = m_eof = true;
        return;
    }
    row = std::clamp(row, 0, recordCount() - 1);
    if (row == m_cur && !always)
        return;
    checkBrowseMode();
    fire(beforeScroll);
    m_cur = row;
    if (onCalcFields)
        calcRow(physAt(m_cur));
    notify([row](RecordSetObserver* o) { o->rsCurrentChanged(row); });
    fire(afterScroll);
}

void RecordSet::first()
{
    scrollTo(0, true);
    m_bof = true;
    m_eof = m_order.empty();
}

void RecordSet::last()
{
    scrollTo(recordCount() - 1, true);
    m_eof = true;
    m_bof = m_order.empty();
}

void RecordSet::next()
{
    requireActive("Next");
    if (m_cur + 1 >= recordCount()) {
        checkBrowseMode();
        m_eof = true;
        return;
    }
    scrollTo(m_cur + 1, false);
    m_bof = false;
    m_eof = false;
}

void RecordSet::prior()
{
    requireActive("Prior");
    if (m_cur <= 0) {
        checkBrowseMode();
        m_bof = true;
        return;
    }
    scrollTo(m_cur - 1, false);
    m_bof = false;
    m_eof = false;
}

bool RecordSet::moveTo(int row)
{
    requireActive("Move");
    if (row < 0 || row >= recordCount())
        return false;
    scrollTo(row, false);
    m_bof = m_eof = false;
    return m_cur == row;
}

bool RecordSet::locate(const QStringList& fields, const QVariantList& values, bool caseInsensitive)
{
    requireActive("Locate");
    checkBrowseMode();
    std::vector<int> idx;
    for (const QString& f : fields)
        idx.push_back(fieldByName(f).index());
    for (int r = 0; r < recordCount(); ++r) {
        const uint32_t p = physAt(r);
        bool match = true;
        for (size_t i = 0; i < idx.size() && match; ++i) {
            const QVariant have = m_cols[static_cast<size_t>(idx[i])].get(p);
            const QVariant& want = values.value(static_cast<int>(i));
            if (!want.isValid() || want.isNull())
                match = !have.isValid() || have.isNull();
            else if (m_cols[static_cast<size_t>(idx[i])].type == FieldType::String)
                match = have.toString().compare(want.toString(), caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
            else
                match = have.isValid() && !have.isNull() && have.toDouble() == want.toDouble();
        }
        if (match) {
            scrollTo(r, false);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- sorting

void RecordSet::setIndexFieldNames(const QString& names)
{
    std::vector<int> cols;
    for (const QString& n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        cols.push_back(fieldByName(n.trimmed()).index());
    m_indexFields = names;
    m_indexCols = std::move(cols);
    if (!active())
        return;
    checkBrowseMode();
    const uint32_t curPhys = m_cur >= 0 ? physAt(m_cur) : 0;
    if (m_indexCols.empty())
        std::sort(m_order.begin(), m_order.end());
    else
        sortOrder();
    if (m_cur >= 0)
        m_cur = static_cast<int>(std::find(m_order.begin(), m_order.end(), curPhys) - m_order.begin());
    notify([](RecordSetObserver* o) { o->rsReset(); });
}

void RecordSet::sortOrder()
{
    if (m_indexCols.empty() || m_order.size() < 2)
        return;
    auto less = [this](uint32_t a, uint32_t b) {
        for (int c : m_indexCols) {
            const Column& col = m_cols[static_cast<size_t>(c)];
            const bool na = col.isNull(a), nb = col.isNull(b);
            if (na != nb)
                return na; // nulls first
            if (na)
                continue;
            int cmp = 0;
            if (col.type == FieldType::String) {
                cmp = col.stringAt(a).compare(col.stringAt(b));
            } else if (col.type == FieldType::Integer) {
                cmp = col.ints[a] < col.ints[b] ? -1 : (col.ints[a] > col.ints[b] ? 1 : 0);
            } else {
                cmp = col.num[a] < col.num[b] ? -1 : (col.num[a] > col.num[b] ? 1 : 0);
            }
            if (cmp != 0)
                return cmp < 0;
        }
        return false;
    };
    std::stable_sort(m_order.begin(), m_order.end(), less);
}

// ---------------------------------------------------------------- controls

void RecordSet::disableControls()
{
    ++m_disableCount;
}

void RecordSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0)
        notify([](RecordSetObserver* o) { o->rsReset(); o->rsStateChanged(); });
}

void RecordSet::addObserver(RecordSetObserver* o)
{
    if (std::find(m_observers.begin(), m_observers.end(), o) == m_observers.end()) {
        m_observers.push_back(o);
        o->m_subjects.push_back(this);
    }
}

void RecordSet::removeObserver(RecordSetObserver* o)
{
    if (std::erase(m_observers, o) > 0)
        std::erase(o->m_subjects, this);
}

size_t RecordSet::memoryBytes() const
{
    size_t n = m_order.capacity() * 4 + m_deleted.capacity();
    for (const auto& c : m_cols)
        n += c.memoryBytes();
    return n;
}

void RecordSet::dataFields(std::vector<int>& idx, std::vector<FieldDef>& defs) const
{
    for (const auto& f : m_fields)
        if (!f->calculated()) {
            idx.push_back(f->index());
            defs.push_back(f->def());
        }
}

std::string RecordSet::toPacket() const
{
    std::vector<int> idx;
    std::vector<FieldDef> defs;
    dataFields(idx, defs);
    std::string out;
    PacketWriter w(out);
    w.begin(defs);
    for (int r = 0; r < recordCount(); ++r) {
        RowContext ctx(*this, r);
        w.beginRow();
        for (int i : idx)
            w.addVariant(readCell(i), m_fields[static_cast<size_t>(i)]->dataType());
        w.endRow();
    }
    w.end();
    return out;
}

// ---------------------------------------------------------------- DataSource

DataSource::~DataSource()
{
    if (m_rs)
        m_rs->removeObserver(this);
}

void DataSource::setDataSet(RecordSet* rs)
{
    if (m_rs)
        m_rs->removeObserver(this);
    m_rs = rs;
    if (m_rs)
        m_rs->addObserver(this);
    m_last = state();
}

void DataSource::rsStateChanged()
{
    const DataSetState s = state();
    if (s == m_last)
        return;
    m_last = s;
    if (onStateChange)
        onStateChange(*this);
}

} // namespace fw
