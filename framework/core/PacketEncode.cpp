#include "FwError.h"
#include "Packet.h"

#include <array>
#include <charconv>
#include <cstring>
#include <cmath>

namespace fw {

namespace {
// The bytes a JSON string literal must escape.
constexpr std::array<bool, 256> kEscape = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[static_cast<size_t>(c)] = true;
    t['"'] = t['\\'] = true;
    return t;
}();
} // namespace

void appendJsonString(std::string& out, std::string_view s)
{
    static const char* hex = "0123456789abcdef";
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n && !kEscape[p[i]])
        ++i;
    if (i == n) {
        // Nearly every value: nothing to escape, one copy.
        const size_t at = out.size();
        out.resize(at + n + 2);
        char* d = out.data() + at;
        d[0] = '"';
        std::memcpy(d + 1, s.data(), n);
        d[n + 1] = '"';
        return;
    }
    out.push_back('"');
    size_t start = 0;
    for (; i < n; ++i) {
        const unsigned char c = p[i];
        if (!kEscape[c])
            continue;
        out.append(s.data() + start, i - start);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            out.append("\\u00");
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
        start = i + 1;
    }
    out.append(s.data() + start, n - start);
    out.push_back('"');
}

void appendJsonNumber(std::string& out, double v)
{
    if (!std::isfinite(v)) {
        out.append("null");
        return;
    }
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

namespace {
void appendFields(std::string& out, const std::vector<FieldDef>& fields)
{
    out.append("{\"fields\":[");
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out.push_back(',');
        out.append("{\"name\":");
        const QByteArray n = fields[i].name.toUtf8();
        appendJsonString(out, std::string_view(n.constData(), static_cast<size_t>(n.size())));
        out.append(",\"type\":\"");
        out.append(fieldTypeName(fields[i].type).toStdString());
        out.push_back('"');
        if (fields[i].type == FieldType::String) {
            out.append(",\"size\":");
            out.append(std::to_string(fields[i].size > 0 ? fields[i].size : 1));
        }
        out.push_back('}');
    }
    out.push_back(']');
}

void appendVariant(std::string& out, const QVariant& v, FieldType type)
{
    if (!v.isValid() || v.isNull()) {
        out.append("null");
        return;
    }
    switch (type) {
    case FieldType::String: {
        const QByteArray u = v.toString().toUtf8();
        appendJsonString(out, std::string_view(u.constData(), static_cast<size_t>(u.size())));
        break;
    }
    case FieldType::Integer: out.append(std::to_string(v.toLongLong())); break;
    default: appendJsonNumber(out, v.toDouble());
    }
}
} // namespace

void PacketWriter::begin(const std::vector<FieldDef>& fields)
{
    appendFields(m_out, fields);
    m_out.append(m_lines ? "}\n" : ",\"rows\":[");
    m_firstRow = true;
    m_rows = 0;
}

void PacketWriter::beginRow()
{
    if (!m_firstRow && !m_lines)
        m_out.push_back(',');
    m_firstRow = false;
    m_out.push_back('[');
    m_firstValue = true;
}

void PacketWriter::addNull()
{
    sep();
    m_out.append("null");
}

void PacketWriter::addString(std::string_view utf8)
{
    sep();
    appendJsonString(m_out, utf8);
}

void PacketWriter::addString(const QString& s)
{
    const QByteArray u = s.toUtf8();
    addString(std::string_view(u.constData(), static_cast<size_t>(u.size())));
}

void PacketWriter::addDouble(double v)
{
    sep();
    appendJsonNumber(m_out, v);
}

void PacketWriter::addInt(qint64 v)
{
    sep();
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    m_out.append(buf, res.ptr);
}

void PacketWriter::addVariant(const QVariant& v, FieldType type)
{
    sep();
    appendVariant(m_out, v, type);
}

void PacketWriter::endRow()
{
    m_out.append(m_lines ? "]\n" : "]");
    ++m_rows;
}

void PacketWriter::end()
{
    if (m_lines) {
        m_out.append("{\"end\":true,\"rows\":");
        m_out.append(std::to_string(m_rows));
        m_out.append("}\n");
    } else {
        m_out.append("]}");
    }
}

// ---------------------------------------------------------------- change sets

void ChangeSetWriter::begin(const std::vector<FieldDef>& fields)
{
    m_out.clear();
    appendFields(m_out, fields);
    m_out.append(",\"changes\":[");
    m_types.clear();
    for (const auto& f : fields)
        m_types.push_back(f.type);
    m_first = true;
}

void ChangeSetWriter::row(const std::vector<QVariant>& r)
{
    m_out.push_back('[');
    for (size_t i = 0; i < r.size() && i < m_types.size(); ++i) {
        if (i)
            m_out.push_back(',');
        appendVariant(m_out, r[i], m_types[i]);
    }
    m_out.push_back(']');
}

void ChangeSetWriter::open(const char* op)
{
    if (!m_first)
        m_out.push_back(',');
    m_first = false;
    m_out.append("{\"op\":\"");
    m_out.append(op);
    m_out.push_back('"');
}

void ChangeSetWriter::insert(const std::vector<QVariant>& r)
{
    open("insert");
    m_out.append(",\"new\":");
    row(r);
    m_out.push_back('}');
}

void ChangeSetWriter::modify(const std::vector<QVariant>& oldRow, const std::vector<QVariant>& newRow)
{
    open("modify");
    m_out.append(",\"old\":");
    row(oldRow);
    m_out.append(",\"new\":");
    row(newRow);
    m_out.push_back('}');
}

void ChangeSetWriter::remove(const std::vector<QVariant>& oldRow)
{
    open("delete");
    m_out.append(",\"old\":");
    row(oldRow);
    m_out.push_back('}');
}

std::string ChangeSetWriter::finish()
{
    m_out.append("]}");
    return std::move(m_out);
}

} // namespace fw
