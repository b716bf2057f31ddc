#pragma once

#include "RecordSet.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <vector>

namespace fw {

// Shows a record set in a Qt view and edits through it. Reads the column
// storage on demand: no per-row objects, so it stays cheap at any size.
class RecordSetModel : public QAbstractTableModel, public RecordSetObserver {
    Q_OBJECT
public:
    explicit RecordSetModel(RecordSet* rs, QObject* parent = nullptr);
    ~RecordSetModel() override;

    RecordSet* recordSet() const { return m_rs; }

    // Columns by field name; the default is every visible field in order.
    void setColumns(const QStringList& fieldNames);
    QStringList columns() const;
    int columnOfField(QStringView fieldName) const; // -1 when absent
    Field* fieldOfColumn(int column) const;
    void setColumnTitle(int column, const QString& title);

    // The grid's editing option.
    void setEditable(bool on);
    bool editable() const { return m_editable; }

    // Called with the failure when an edit through the view fails; the
    // default hands it to the context's error reporting.
    std::function<void(std::exception_ptr)> onError;

    // Rows are shown to the view a window at a time, growing as it scrolls
    // (fetchMore): a reset costs the same at any size.
    static constexpr int kWindow = 1000;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    // Makes the view's rows reach this record (going to it, printing all).
    void exposeRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void rsReset() override;
    void rsRowChanged(int row) override;
    void rsBeginInsertRows(int first, int last) override;
    void rsEndInsertRows() override;
    void rsBeginRemoveRows(int first, int last) override;
    void rsEndRemoveRows() override;
    void rsCurrentChanged(int row) override;
    void rsStateChanged() override;
    // Left without a set: no rows, no columns, and nothing reaches it.
    void rsDestroyed(RecordSet&) override;

signals:
    void currentRecordChanged(int row);
    void stateChanged();

private:
    void defaultColumns();
    struct Col {
        int field;
        QString title;
    };
    RecordSet* m_rs;
    std::vector<Col> m_cols;
    bool m_explicitColumns = false;
    bool m_editable = true;
    int m_rows = 0;
    int m_pending = 0; // rows of an announced insert or removal
    void grow(int rows);
    bool m_growQueued = false;
};

} // namespace fw
