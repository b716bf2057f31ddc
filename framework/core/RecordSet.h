#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fw {

class RecordSet;
class Payload;

enum class FieldType { String, Float, Integer, DateTime };
enum class DataSetState { Inactive, Browse, Edit, Insert };

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters, strings only
};

// One column of a record set: its definition, display properties and the
// accessors of its value in the current record.
class Field {
public:
    Field(RecordSet& owner, int index, FieldDef def, bool calculated);

    const QString& fieldName() const { return m_def.name; }
    FieldType dataType() const { return m_def.type; }
    int size() const { return m_def.size; }
    const FieldDef& def() const { return m_def; }
    bool calculated() const { return m_calculated; }
    int index() const { return m_index; }
    RecordSet& dataSet() const { return m_owner; }

    // Display properties.
    QString displayLabel;
    bool visible = true;
    int displayWidth = 0; // characters; 0 takes the size
    QString displayFormat;
    QString editFormat;
    bool readOnly = false;
    bool required = false;
    Qt::Alignment alignment;

    // Hooks: text shown for the value (displayText true for display, false
    // for editing), and a change of the value in the current record.
    std::function<QString(const Field&, bool displayText)> onGetText;
    std::function<void(Field&)> onChange;

    // Value in the current record (or the record being drawn or calculated).
    bool isNull() const;
    QVariant value() const;
    QString asString() const;
    double asFloat() const;
    qint64 asInteger() const;

    void setValue(const QVariant& v);
    void setAsString(const QString& text); // parses numbers and dates as typed
    void setAsFloat(double v) { setValue(v); }
    void clear() { setValue(QVariant()); }

    // The value as stored: as loaded or last merged.
    QVariant oldValue() const;

    QString displayText() const;
    QString editText() const;
    // The text the value gives without hooks.
    QString formattedText(bool display) const;

    QString label() const { return displayLabel.isEmpty() ? m_def.name : displayLabel; }

private:
    RecordSet& m_owner;
    int m_index;
    FieldDef m_def;
    bool m_calculated;
};

// Receives what a record set does, so views follow it. Either side may die
// first: a dying set tells its observers and forgets them, a dying observer
// leaves every set it still watches.
class RecordSetObserver {
public:
    RecordSetObserver() = default;
    RecordSetObserver(const RecordSetObserver&) = delete;
    RecordSetObserver& operator=(const RecordSetObserver&) = delete;
    virtual ~RecordSetObserver();
    // The set is being destroyed; it has already forgotten this observer.
    virtual void rsDestroyed(RecordSet&) {}
    virtual void rsReset() = 0;
    virtual void rsRowChanged(int row) = 0;
    // Rows first..last are about to appear / disappear, then did.
    virtual void rsBeginInsertRows(int first, int last) = 0;
    virtual void rsEndInsertRows() = 0;
    virtual void rsBeginRemoveRows(int first, int last) = 0;
    virtual void rsEndRemoveRows() = 0;
    virtual void rsCurrentChanged(int row) = 0;
    virtual void rsStateChanged() = 0;

private:
    friend class RecordSet;
    std::vector<RecordSet*> m_subjects;
};

// Compact column storage: texts as UTF-8 in one arena per column, numbers in
// plain vectors. Rows are addressed by their physical index.
struct Column {
    static constexpr uint32_t kNullLen = 0xFFFFFFFFu;
    FieldType type = FieldType::String;
    std::string text;
    std::vector<uint32_t> off;
    std::vector<uint32_t> len;
    std::vector<double> num;
    std::vector<qint64> ints;
    std::vector<uint8_t> nulls;

    size_t rows() const;
    void reserve(size_t n);
    void appendNull();
    void appendString(std::string_view utf8);
    void appendDouble(double v);
    void appendInt(qint64 v);
    bool isNull(size_t r) const;
    std::string_view stringAt(size_t r) const;
    QVariant get(size_t r) const;
    void set(size_t r, const QVariant& v);
    size_t memoryBytes() const;
};

// The column storage of a packet, built apart and moved into a record set
// only when complete, so a bad packet never leaves a half-loaded set.
struct Table {
    std::vector<FieldDef> fields;
    std::vector<Column> columns;
    size_t rowCount = 0;
};

// An in-memory table with a current record, a state, events and a change
// log that reads as a change set (delta), merges or is cancelled.
class RecordSet {
public:
    using Event = std::function<void(RecordSet&)>;

    explicit RecordSet(QString name = {});
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    const QString& name() const { return m_name; }

    // Definition (while inactive).
    Field& addField(const QString& name, FieldType type, int size = 0);
    Field& addCalcField(const QString& name, FieldType type, int size = 0);
    int fieldCount() const { return static_cast<int>(m_fields.size()); }
    Field& field(int i) { return *m_fields[static_cast<size_t>(i)]; }
    const Field& field(int i) const { return *m_fields[static_cast<size_t>(i)]; }
    Field* findField(QStringView name);
    const Field* findField(QStringView name) const;
    Field& fieldByName(QStringView name); // throws when absent
    const Field& fieldByName(QStringView name) const;

    // Data: replacing the contents closes and reopens the set.
    void setData(const Payload& packet);
    void setTable(Table&& table);
    // Creates an empty open set with the declared fields (a scratch set).
    void createDataSet();
    void emptyDataSet();
    void open();
    void close();
    bool active() const { return m_state != DataSetState::Inactive; }
    DataSetState state() const { return m_state; }
    bool isEmpty() const { return m_order.empty(); }
    int recordCount() const { return static_cast<int>(m_order.size()); }
    int recNo() const { return m_cur; } // 0-based, -1 when empty
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }

    // Navigation (posts a pending edit first).
    void first();
    void last();
    void next();
    void prior();
    bool moveTo(int row);
    bool locate(const QStringList& fields, const QVariantList& values, bool caseInsensitive = false);

    // Editing.
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void checkBrowseMode(); // posts when editing

    // Change log.
    int changeCount() const { return static_cast<int>(m_log.size()); }
    std::string delta() const; // a change set as JSON
    void mergeChangeLog();
    void cancelUpdates();

    // Sorting: "FIELD" or "A;B", ascending and stable.
    void setIndexFieldNames(const QString& names);
    const QString& indexFieldNames() const { return m_indexFields; }

    void disableControls();
    void enableControls();

    // Runs fn with the fields reading the given visible row (for drawing).
    template <typename Fn>
    decltype(auto) withRow(int row, Fn&& fn) const
    {
        RowContext ctx(*this, row);
        return fn();
    }

    // A packet that arrives in pieces: the first piece replaces what is
    // shown (set aside until the end), later pieces append rows that views
    // show at once; the open and scroll events run once, after the end.
    // streamAbort brings back what the set held before.
    void streamBegin(Table&& first);
    void streamAppend(Table&& piece);
    void streamEnd();
    void streamAbort();

    // All visible rows as a data packet.
    std::string toPacket() const;

    size_t memoryBytes() const;

    void addObserver(RecordSetObserver* o);
    void removeObserver(RecordSetObserver* o);

    Event beforeOpen, afterOpen, beforeClose, afterClose;
    Event beforeInsert, afterInsert, beforeEdit, afterEdit;
    Event beforePost, afterPost, beforeCancel, afterCancel;
    Event beforeDelete, afterDelete, beforeScroll, afterScroll;
    Event onCalcFields, onNewRecord;

private:
    friend class Field;
    friend class RecordSetModel;

    enum class Op { Insert, Modify, Delete };
    struct LogEntry {
        Op op;
        uint32_t row;               // physical row
        std::vector<QVariant> orig; // stored values (modify, delete)
        int position;               // visible position when deleted
    };

    struct RowContext {
        RowContext(const RecordSet& rs, int row);
        ~RowContext();
        const RecordSet& rs;
        int saved;
    };

    Field& addFieldImpl(const QString& name, FieldType type, int size, bool calc);
    void requireActive(const char* what) const;
    void requireBrowse(const char* what) const;
    void fire(const Event& e) { if (e) e(*this); }
    void setState(DataSetState s);
    void scrollTo(int row, bool always);
    void startInsert(bool atEnd);
    // The fields that travel: every one but the calculated.
    void dataFields(std::vector<int>& idx, std::vector<FieldDef>& defs) const;
    void afterLoad();
    void validateTable(const Table& table) const;
    void adoptTable(Table&& table);

    // Cell access through the record context.
    QVariant readCell(int field) const;
    void writeCell(int field, const QVariant& v);
    QVariant storedCell(int field) const; // old value of the current record
    uint32_t physAt(int row) const { return m_order[static_cast<size_t>(row)]; }
    bool editingCurrent() const;
    uint32_t newPhysicalRow();
    void calcRow(uint32_t phys);
    void calcBuffer();
    void sortOrder();
    std::vector<QVariant> rowValues(uint32_t phys) const;
    void restoreRow(uint32_t phys, const std::vector<QVariant>& vals);
    std::unordered_map<uint32_t, size_t>::iterator logFind(uint32_t phys);

    // notifications
    template <typename Fn>
    void notify(Fn&& fn)
    {
        if (m_disableCount > 0)
            return;
        for (auto* o : m_observers)
            fn(o);
    }

    // What a load in pieces set aside, to give back if it fails.
    struct StreamBackup {
        std::vector<Column> cols;
        std::vector<uint32_t> order;
        std::vector<uint8_t> deleted;
        int cur = -1;
        bool bof = true, eof = true;
        DataSetState state = DataSetState::Inactive;
        std::vector<LogEntry> log;
        std::unordered_map<uint32_t, size_t> logIndex;
        std::vector<int> srcOf; // field -> column of the pieces
    };
    std::unique_ptr<StreamBackup> m_stream;

    QString m_name;
    std::vector<std::unique_ptr<Field>> m_fields;
    std::vector<Column> m_cols; // one per field (calculated ones too)
    std::vector<uint32_t> m_order; // visible rows -> physical rows
    std::vector<uint8_t> m_deleted; // physical rows removed from view
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    DataSetState m_state = DataSetState::Inactive;
    std::vector<QVariant> m_buf; // edit buffer of the current record
    std::vector<LogEntry> m_log;
    std::unordered_map<uint32_t, size_t> m_logIndex;
    QString m_indexFields;
    std::vector<int> m_indexCols;
    int m_disableCount = 0;
    mutable int m_ctxRow = -2; // -2: current record; >=0: a visible row
    mutable int m_calcPhys = -1; // physical row being calculated
    std::vector<RecordSetObserver*> m_observers;
};

// A data source: a record set and the state-change event of the screen.
class DataSource : public RecordSetObserver {
public:
    DataSource() = default;
    explicit DataSource(RecordSet* rs) { setDataSet(rs); }
    ~DataSource() override;

    void setDataSet(RecordSet* rs);
    RecordSet* dataSet() const { return m_rs; }
    DataSetState state() const { return m_rs ? m_rs->state() : DataSetState::Inactive; }

    std::function<void(DataSource&)> onStateChange;
    std::function<void(DataSource&)> onDataChange;

    void rsReset() override { data(); }
    void rsRowChanged(int) override { data(); }
    void rsBeginInsertRows(int, int) override {}
    void rsEndInsertRows() override { data(); }
    void rsBeginRemoveRows(int, int) override {}
    void rsEndRemoveRows() override { data(); }
    void rsCurrentChanged(int) override { data(); }
    void rsStateChanged() override;
    void rsDestroyed(RecordSet&) override { m_rs = nullptr; }

    // Expires when this source dies, for controls that may outlive it.
    std::weak_ptr<const void> lifetime() const { return m_life; }

private:
    void data() { if (onDataChange) onDataChange(*this); }
    RecordSet* m_rs = nullptr;
    std::shared_ptr<const void> m_life = std::make_shared<char>();
    DataSetState m_last = DataSetState::Inactive;
};

// A control's pointer to a data source that may die before the control.
class DataSourceRef {
public:
    void reset(DataSource* ds)
    {
        m_ds = ds;
        m_life = ds ? ds->lifetime() : std::weak_ptr<const void>();
    }
    DataSource* get() const { return m_life.expired() ? nullptr : m_ds; }

private:
    DataSource* m_ds = nullptr;
    std::weak_ptr<const void> m_life;
};

QString fieldTypeName(FieldType t);

// Loads element i of an array answer into sets[i]; every element is decoded
// before any set changes, so a bad answer leaves them all as they were.
void setDataEach(const Payload& array, std::initializer_list<RecordSet*> sets);

} // namespace fw
