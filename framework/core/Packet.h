#pragma once

#include "RecordSet.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// One JSON value as the server returned it: the payload of a call. Holds its
// text in a padded buffer so the fast parser can read it in place; elements
// of an array are views into the same buffer.
class Payload {
public:
    Payload();
    static Payload fromJson(std::string_view json);
    static Payload fromOwned(std::string&& json);

    std::string_view json() const;
    bool isNull() const;
    bool isArray() const;
    bool isNumber() const;
    double toNumber() const;     // throws when not a number
    size_t size() const;         // elements of an array
    Payload at(size_t i) const;  // throws when out of range
    // A view of part of this payload's text (same buffer).
    Payload slice(size_t offset, size_t length) const;

    // Internal: the padded buffer behind the view.
    const char* data() const;
    size_t capacityFrom() const; // bytes readable from data() on

private:
    std::shared_ptr<const std::string> m_buf;
    size_t m_off = 0;
    size_t m_len = 0;
};

// Decodes a data packet into column storage. Throws fw::Error naming the
// field or row at fault; nothing is changed on failure.
Table decodePacket(const Payload& packet, const QString& context = {});

// Streams a data packet out: fields first, then rows of typed values.
// With lines on it writes the streamed form instead: a first line with the
// fields, one line per row and a last line with the row count.
class PacketWriter {
public:
    explicit PacketWriter(std::string& out, bool lines = false) : m_out(out), m_lines(lines) {}
    void begin(const std::vector<FieldDef>& fields);
    void beginRow();
    void addNull();
    void addString(std::string_view utf8);
    void addString(const QString& s);
    void addDouble(double v);
    void addInt(qint64 v);
    void addVariant(const QVariant& v, FieldType type);
    void endRow();
    void end();
    size_t rows() const { return m_rows; }

private:
    void sep()
    {
        if (!m_firstValue)
            m_out.push_back(',');
        m_firstValue = false;
    }
    std::string& m_out;
    bool m_lines = false;
    size_t m_rows = 0;
    bool m_firstRow = true;
    bool m_firstValue = true;
};

// Appends s to out as a JSON string literal.
void appendJsonString(std::string& out, std::string_view utf8);
// Appends a number in its shortest round-trip form; non-finite as null.
void appendJsonNumber(std::string& out, double v);

// The JSON change set of a record set's log.
class ChangeSetWriter {
public:
    void begin(const std::vector<FieldDef>& fields);
    void insert(const std::vector<QVariant>& row);
    void modify(const std::vector<QVariant>& oldRow, const std::vector<QVariant>& newRow);
    void remove(const std::vector<QVariant>& oldRow);
    std::string finish();

private:
    void row(const std::vector<QVariant>& r);
    void open(const char* op);
    std::string m_out;
    std::vector<FieldType> m_types;
    bool m_first = true;
};

} // namespace fw
