// Reading payloads and data packets with simdjson's on-demand parser, which
// reads the packet in place and validates UTF-8 as it goes.
#include "FwError.h"
#include "ChangeSet.h"
#include "Packet.h"

#include <simdjson.h>

#include <charconv>
#include <cmath>

namespace fw {

namespace od = simdjson::ondemand;

namespace {

od::parser& threadParser()
{
    thread_local od::parser parser;
    return parser;
}

size_t firstNonBlank(std::string_view s)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    return i;
}

size_t utf8Chars(std::string_view s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

QString describe(simdjson::error_code e)
{
    switch (e) {
    case simdjson::UTF8_ERROR: return QStringLiteral("texto com UTF-8 inválido");
    case simdjson::NUMBER_ERROR:
    case simdjson::NUMBER_OUT_OF_RANGE: return QStringLiteral("número inválido ou fora do intervalo");
    case simdjson::INCORRECT_TYPE: return QStringLiteral("tipo de valor inesperado");
    case simdjson::NO_SUCH_FIELD: return QStringLiteral("membro ausente");
    case simdjson::EMPTY:
    case simdjson::INCOMPLETE_ARRAY_OR_OBJECT:
    case simdjson::UNCLOSED_STRING: return QStringLiteral("JSON incompleto");
    case simdjson::CAPACITY: return QStringLiteral("documento grande demais");
    default: return QStringLiteral("JSON malformado (%1)").arg(QString::fromLatin1(simdjson::error_message(e)));
    }
}

class PacketError {
public:
    explicit PacketError(const QString& ctx) : m_ctx(ctx) {}
    [[noreturn]] void fail(const QString& what) const
    {
        if (m_ctx.isEmpty())
            throw Error(QStringLiteral("Pacote de dados inválido: %1.").arg(what));
        throw Error(QStringLiteral("Pacote de dados inválido (%1): %2.").arg(m_ctx, what));
    }
    [[noreturn]] void fail(simdjson::error_code e, const QString& where) const
    {
        fail(where.isEmpty() ? describe(e) : QStringLiteral("%1: %2").arg(where, describe(e)));
    }
    template <typename T>
    T get(simdjson::simdjson_result<T>&& r, const QString& where) const
    {
        T v;
        if (auto e = std::move(r).get(v); e)
            fail(e, where);
        return v;
    }

private:
    QString m_ctx;
};

QString cellWhere(size_t row, const FieldDef& f)
{
    return QStringLiteral("linha %1, campo %2").arg(row + 1).arg(f.name);
}

// Field names are column names: letters, digits and '_', up to 64.
bool validFieldName(const QString& name)
{
    if (name.size() > 64 || name[0].isDigit())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    return true;
}

std::vector<FieldDef> readFields(od::value& value, const PacketError& err)
{
    auto fieldsArr = err.get(value.get_array(), QStringLiteral("'fields'"));
    std::vector<FieldDef> fields;
    size_t i = 0;
    for (auto item : fieldsArr) {
        const QString where = QStringLiteral("definição de campo %1").arg(i + 1);
        auto fo = err.get(std::move(item).get_object(), where);
        FieldDef d;
        bool haveName = false, haveType = false, haveSize = false;
        for (auto member : fo) {
            auto m = err.get(std::move(member), where);
            std::string_view key = err.get(m.unescaped_key(), where);
            auto val = m.value();
            if (key == "name") {
                std::string_view s = err.get(val.get_string(), where + QStringLiteral(", 'name'"));
                d.name = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
                haveName = true;
            } else if (key == "type") {
                std::string_view s = err.get(val.get_string(), where + QStringLiteral(", 'type'"));
                if (s == "string")
                    d.type = FieldType::String;
                else if (s == "float")
                    d.type = FieldType::Float;
                else if (s == "integer")
                    d.type = FieldType::Integer;
                else if (s == "datetime")
                    d.type = FieldType::DateTime;
                else
                    err.fail(QStringLiteral("%1: tipo desconhecido '%2'")
                                 .arg(where, QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()))));
                haveType = true;
            } else if (key == "size") {
                int64_t n = err.get(val.get_int64(), where + QStringLiteral(", 'size'"));
                if (n < 1 || n > 1000000)
                    err.fail(QStringLiteral("%1: tamanho %2 fora do intervalo").arg(where).arg(n));
                d.size = static_cast<int>(n);
                haveSize = true;
            }
        }
        if (!haveName || d.name.isEmpty())
            err.fail(QStringLiteral("%1: sem nome").arg(where));
        if (!validFieldName(d.name))
            err.fail(QStringLiteral("%1: nome de campo inválido").arg(where));
        if (!haveType)
            err.fail(QStringLiteral("%1 (%2): sem tipo").arg(where, d.name));
        if (d.type == FieldType::String && !haveSize)
            err.fail(QStringLiteral("%1 (%2): texto sem tamanho").arg(where, d.name));
        for (const FieldDef& other : fields)
            if (other.name.compare(d.name, Qt::CaseInsensitive) == 0)
                err.fail(QStringLiteral("campo '%1' repetido").arg(d.name));
        fields.push_back(std::move(d));
        ++i;
    }
    return fields;
}

// True for a JSON null; an unreadable literal is not null (the caller then
// reports the value as malformed).
inline bool isNullValue(od::value& v)
{
    bool isNull = false;
    return !v.is_null().get(isNull) && isNull;
}

// Reads one value of a row into its column.
inline void readCellInto(od::value& v, Column& col, const FieldDef& f, size_t row, const PacketError& err)
{
    switch (f.type) {
    case FieldType::String: {
        std::string_view s;
        auto e = v.get_string().get(s);
        if (!e) {
            if (static_cast<int>(s.size()) > f.size && static_cast<int>(utf8Chars(s)) > f.size)
                err.fail(QStringLiteral("%1: texto com %2 caracteres, máximo %3")
                             .arg(cellWhere(row, f))
                             .arg(utf8Chars(s))
                             .arg(f.size));
            col.appendString(s);
            return;
        }
        if (e == simdjson::INCORRECT_TYPE && isNullValue(v)) {
            col.appendNull();
            return;
        }
        err.fail(e, cellWhere(row, f) + QStringLiteral(" (esperado texto)"));
    }
    case FieldType::Float:
    case FieldType::DateTime: {
        double d;
        auto e = v.get_double().get(d);
        if (!e) {
            if (!std::isfinite(d))
                err.fail(cellWhere(row, f) + QStringLiteral(": número fora do intervalo"));
            col.appendDouble(d);
            return;
        }
        if (e == simdjson::INCORRECT_TYPE && isNullValue(v)) {
            col.appendNull();
            return;
        }
        err.fail(e, cellWhere(row, f) + QStringLiteral(" (esperado número)"));
    }
    case FieldType::Integer: {
        int64_t i;
        auto e = v.get_int64().get(i);
        if (!e) {
            col.appendInt(i);
            return;
        }
        if (e == simdjson::INCORRECT_TYPE && isNullValue(v)) {
            col.appendNull();
            return;
        }
        err.fail(e, cellWhere(row, f) + QStringLiteral(" (esperado número inteiro)"));
    }
    }
}

// True when something follows the root value.
bool hasTrailing(od::document& doc)
{
    const char* loc = nullptr;
    return doc.current_location().get(loc) == simdjson::SUCCESS;
}

od::document iterate(const Payload& p, const PacketError& err)
{
    simdjson::padded_string_view psv(p.data(), p.json().size(), p.capacityFrom());
    od::document doc;
    if (auto e = threadParser().iterate(psv).get(doc); e)
        err.fail(e, {});
    return doc;
}

} // namespace

// ---------------------------------------------------------------- Payload

Payload::Payload() : m_buf(std::make_shared<std::string>("null")), m_len(4) {}

Payload Payload::fromJson(std::string_view json)
{
    auto s = std::make_shared<std::string>();
    s->reserve(json.size() + simdjson::SIMDJSON_PADDING);
    s->assign(json);
    Payload p;
    p.m_len = s->size();
    p.m_buf = std::move(s);
    return p;
}

Payload Payload::fromOwned(std::string&& json)
{
    json.reserve(json.size() + simdjson::SIMDJSON_PADDING);
    Payload p;
    p.m_len = json.size();
    p.m_buf = std::make_shared<std::string>(std::move(json));
    return p;
}

std::string_view Payload::json() const
{
    return std::string_view(m_buf->data() + m_off, m_len);
}

const char* Payload::data() const
{
    return m_buf->data() + m_off;
}

size_t Payload::capacityFrom() const
{
    return m_buf->capacity() - m_off;
}

bool Payload::isNull() const
{
    const auto s = json();
    const size_t i = firstNonBlank(s);
    return i >= s.size() || s.substr(i, 4) == "null";
}

bool Payload::isArray() const
{
    const auto s = json();
    const size_t i = firstNonBlank(s);
    return i < s.size() && s[i] == '[';
}

bool Payload::isNumber() const
{
    const auto s = json();
    const size_t i = firstNonBlank(s);
    return i < s.size() && (s[i] == '-' || (s[i] >= '0' && s[i] <= '9'));
}

double Payload::toNumber() const
{
    const auto s = json();
    const size_t i = firstNonBlank(s);
    double v = 0;
    auto res = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (res.ec != std::errc() || !std::isfinite(v) || firstNonBlank(s.substr(static_cast<size_t>(res.ptr - s.data()))) != s.size() - static_cast<size_t>(res.ptr - s.data()))
        throw Error(QStringLiteral("Resposta do servidor inválida: era esperado um número."));
    return v;
}

size_t Payload::size() const
{
    PacketError err(QStringLiteral("resposta"));
    od::document doc = iterate(*this, err);
    auto arr = err.get(doc.get_array(), QStringLiteral("era esperada uma lista"));
    size_t n = 0;
    for (auto v : arr) {
        od::value val = err.get(std::move(v), QStringLiteral("elemento %1").arg(n + 1));
        (void)val;
        ++n;
    }
    return n;
}

Payload Payload::slice(size_t offset, size_t length) const
{
    if (offset > m_len || length > m_len - offset)
        throw Error(QStringLiteral("Resposta do servidor inválida."));
    Payload p;
    p.m_buf = m_buf;
    p.m_off = m_off + offset;
    p.m_len = length;
    return p;
}

Payload Payload::at(size_t index) const
{
    PacketError err(QStringLiteral("resposta"));
    od::document doc = iterate(*this, err);
    auto arr = err.get(doc.get_array(), QStringLiteral("era esperada uma lista"));
    size_t n = 0;
    for (auto v : arr) {
        od::value val = err.get(std::move(v), QStringLiteral("elemento %1").arg(n + 1));
        if (n == index) {
            std::string_view raw;
            od::json_type t = err.get(val.type(), QStringLiteral("elemento %1").arg(n + 1));
            if (t == od::json_type::object)
                raw = err.get(err.get(val.get_object(), {}).raw_json(), {});
            else if (t == od::json_type::array)
                raw = err.get(err.get(val.get_array(), {}).raw_json(), {});
            else
                raw = val.raw_json_token();
            Payload p;
            p.m_buf = m_buf;
            p.m_off = static_cast<size_t>(raw.data() - m_buf->data());
            p.m_len = raw.size();
            return p;
        }
        ++n;
    }
    throw Error(QStringLiteral("Resposta do servidor inválida: esperados ao menos %1 elementos, vieram %2.")
                    .arg(index + 1)
                    .arg(n));
}

// ---------------------------------------------------------------- packets

namespace {

// Sizes the columns for the whole packet from what the first rows took.
void reserveFromSample(Table& t, size_t sampled, size_t sampleBytes, size_t packetBytes)
{
    if (sampleBytes == 0)
        return;
    const double perRow = static_cast<double>(sampleBytes) / static_cast<double>(sampled);
    const size_t rows = static_cast<size_t>(static_cast<double>(packetBytes) / perRow * 1.02) + 16;
    for (Column& c : t.columns) {
        c.reserve(rows);
        if (c.type == FieldType::String)
            c.text.reserve(static_cast<size_t>(static_cast<double>(c.text.size()) / static_cast<double>(sampled)
                                               * static_cast<double>(rows) * 1.02) + 64);
    }
}

void readRows(od::document& doc, od::value& value, Table& t, const PacketError& err, size_t packetBytes)
{
    const size_t n = t.fields.size();
    auto rowWhere = [](size_t row) { return QStringLiteral("linha %1").arg(row + 1); };
    od::array rows;
    if (auto e = value.get_array().get(rows); e)
        err.fail(e, QStringLiteral("'rows'"));
    const char* start = nullptr;
    size_t row = 0;
    for (auto r : rows) {
        od::array arr;
        if (auto e = std::move(r).get_array().get(arr); e)
            err.fail(e, rowWhere(row));
        if (row == 0)
            if (doc.current_location().get(start))
                start = nullptr;
        size_t c = 0;
        for (auto item : arr) {
            od::value v;
            if (auto e = std::move(item).get(v); e)
                err.fail(e, rowWhere(row));
            if (c >= n)
                err.fail(QStringLiteral("linha %1 com mais de %2 valores").arg(row + 1).arg(n));
            readCellInto(v, t.columns[c], t.fields[c], row, err);
            ++c;
        }
        if (c != n)
            err.fail(QStringLiteral("linha %1 com %2 valores, esperados %3").arg(row + 1).arg(c).arg(n));
        ++row;
        if (row == 256 && start) {
            const char* now = nullptr;
            if (!doc.current_location().get(now) && now > start)
                reserveFromSample(t, row, static_cast<size_t>(now - start), packetBytes);
        }
    }
    t.rowCount = row;
}

} // namespace

Table decodePacket(const Payload& packet, const QString& context)
{
    const PacketError err(context);
    od::document doc = iterate(packet, err);
    od::object obj = err.get(doc.get_object(), QStringLiteral("era esperado um objeto"));

    Table t;
    bool haveFields = false, haveRows = false, rowsPending = false;
    auto setupColumns = [&] {
        const size_t n = t.fields.size();
        t.columns.resize(n);
        for (size_t c = 0; c < n; ++c) {
            t.columns[c].type = t.fields[c].type;
            t.columns[c].reserve(256);
        }
    };
    for (auto member : obj) {
        auto m = err.get(std::move(member), {});
        std::string_view key = err.get(m.unescaped_key(), {});
        od::value v = m.value();
        if (key == "fields") {
            if (haveFields)
                err.fail(QStringLiteral("'fields' repetido"));
            t.fields = readFields(v, err);
            setupColumns();
            haveFields = true;
        } else if (key == "rows") {
            if (haveRows || rowsPending)
                err.fail(QStringLiteral("'rows' repetido"));
            if (haveFields) {
                readRows(doc, v, t, err, packet.json().size());
                haveRows = true;
            } else {
                rowsPending = true; // read after the fields are known
            }
        }
    }
    if (!haveFields)
        err.fail(QStringLiteral("'fields' ausente"));
    if (rowsPending) {
        if (auto e = obj.reset().error(); e)
            err.fail(e, {});
        for (auto member : obj) {
            auto m = err.get(std::move(member), {});
            std::string_view key = err.get(m.unescaped_key(), {});
            if (key == "rows") {
                od::value v = m.value();
                readRows(doc, v, t, err, packet.json().size());
                haveRows = true;
            }
        }
    }
    if (!haveRows)
        err.fail(QStringLiteral("'rows' ausente"));
    if (hasTrailing(doc))
        err.fail(QStringLiteral("conteúdo após o fim do pacote"));
    return t;
}

// ---------------------------------------------------------------- change sets

namespace {

std::vector<QVariant> readChangeRow(od::value& value, const std::vector<FieldDef>& fields, size_t change,
                                    const char* which, const PacketError& err)
{
    const QString where = QStringLiteral("alteração %1, '%2'").arg(change + 1).arg(QLatin1String(which));
    auto arr = err.get(value.get_array(), where);
    std::vector<QVariant> out;
    out.reserve(fields.size());
    size_t c = 0;
    for (auto item : arr) {
        od::value v = err.get(std::move(item), where);
        if (c >= fields.size())
            err.fail(QStringLiteral("%1 com mais de %2 valores").arg(where).arg(fields.size()));
        Column col;
        col.type = fields[c].type;
        readCellInto(v, col, fields[c], change, err);
        out.push_back(col.get(0));
        ++c;
    }
    if (c != fields.size())
        err.fail(QStringLiteral("%1 com %2 valores, esperados %3").arg(where).arg(c).arg(fields.size()));
    return out;
}

} // namespace

int ChangeSet::fieldIndex(QStringView name) const
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

ChangeSet decodeChangeSet(std::string_view json)
{
    const PacketError err(QStringLiteral("conjunto de alterações"));
    const Payload p = Payload::fromJson(json);
    od::document doc = iterate(p, err);
    od::object obj = err.get(doc.get_object(), QStringLiteral("era esperado um objeto"));
    ChangeSet cs;
    bool haveFields = false, haveChanges = false, changesPending = false;
    auto readChanges = [&](od::value& v) {
        auto arr = err.get(v.get_array(), QStringLiteral("'changes'"));
        size_t i = 0;
        for (auto item : arr) {
            const QString where = QStringLiteral("alteração %1").arg(i + 1);
            auto co = err.get(std::move(item).get_object(), where);
            ChangeSet::Change ch{ChangeSet::Op::Insert, {}, {}};
            bool haveOp = false, haveOld = false, haveNew = false;
            for (auto cm : co) {
                auto f = err.get(std::move(cm), where);
                std::string_view k = err.get(f.unescaped_key(), where);
                od::value cv = f.value();
                if (k == "op") {
                    std::string_view op = err.get(cv.get_string(), where + QStringLiteral(", 'op'"));
                    if (op == "insert")
                        ch.op = ChangeSet::Op::Insert;
                    else if (op == "modify")
                        ch.op = ChangeSet::Op::Modify;
                    else if (op == "delete")
                        ch.op = ChangeSet::Op::Delete;
                    else
                        err.fail(QStringLiteral("%1: operação desconhecida").arg(where));
                    haveOp = true;
                } else if (k == "old") {
                    ch.oldRow = readChangeRow(cv, cs.fields, i, "old", err);
                    haveOld = true;
                } else if (k == "new") {
                    ch.newRow = readChangeRow(cv, cs.fields, i, "new", err);
                    haveNew = true;
                }
            }
            if (!haveOp)
                err.fail(QStringLiteral("%1 sem 'op'").arg(where));
            const bool needOld = ch.op != ChangeSet::Op::Insert;
            const bool needNew = ch.op != ChangeSet::Op::Delete;
            if (needOld != haveOld || needNew != haveNew)
                err.fail(QStringLiteral("%1: 'old'/'new' não correspondem à operação").arg(where));
            cs.changes.push_back(std::move(ch));
            ++i;
        }
        haveChanges = true;
    };
    for (auto member : obj) {
        auto m = err.get(std::move(member), {});
        std::string_view key = err.get(m.unescaped_key(), {});
        od::value v = m.value();
        if (key == "fields") {
            if (haveFields)
                err.fail(QStringLiteral("'fields' repetido"));
            cs.fields = readFields(v, err);
            haveFields = true;
        } else if (key == "changes") {
            if (haveChanges || changesPending)
                err.fail(QStringLiteral("'changes' repetido"));
            if (haveFields)
                readChanges(v);
            else
                changesPending = true; // read once the fields are known
        }
    }
    if (changesPending && haveFields) {
        if (auto e = obj.reset().error(); e)
            err.fail(e, {});
        for (auto member : obj) {
            auto m = err.get(std::move(member), {});
            std::string_view key = err.get(m.unescaped_key(), {});
            if (key == "changes") {
                od::value v = m.value();
                readChanges(v);
            }
        }
    }
    if (!haveFields)
        err.fail(QStringLiteral("'fields' ausente"));
    if (!haveChanges)
        err.fail(QStringLiteral("'changes' ausente"));
    if (hasTrailing(doc))
        err.fail(QStringLiteral("conteúdo após o fim"));
    return cs;
}

} // namespace fw
