#include "RecordSetModel.h"

#include "Context.h"
#include "FwError.h"

namespace fw {

RecordSetModel::RecordSetModel(RecordSet* rs, QObject* parent) : QAbstractTableModel(parent), m_rs(rs)
{
    m_rs->addObserver(this);
    defaultColumns();
    m_rows = m_rs->recordCount();
}

RecordSetModel::~RecordSetModel()
{
    if (m_rs)
        m_rs->removeObserver(this);
}

void RecordSetModel::rsDestroyed(RecordSet&)
{
    beginResetModel();
    m_rs = nullptr;
    m_cols.clear();
    m_rows = 0;
    m_pending = 0;
    endResetModel();
}

void RecordSetModel::defaultColumns()
{
    m_cols.clear();
    if (!m_rs)
        return;
    for (int i = 0; i < m_rs->fieldCount(); ++i)
        if (m_rs->field(i).visible)
            m_cols.push_back({i, {}});
}

void RecordSetModel::setColumns(const QStringList& fieldNames)
{
    if (!m_rs)
        return;
    beginResetModel();
    m_cols.clear();
    for (const QString& n : fieldNames)
        m_cols.push_back({m_rs->fieldByName(n).index(), {}});
    m_explicitColumns = true;
    endResetModel();
}

QStringList RecordSetModel::columns() const
{
    QStringList out;
    for (const Col& c : m_cols)
        out << m_rs->field(c.field).fieldName();
    return out;
}

int RecordSetModel::columnOfField(QStringView fieldName) const
{
    for (size_t i = 0; i < m_cols.size(); ++i)
        if (m_rs->field(m_cols[i].field).fieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

Field* RecordSetModel::fieldOfColumn(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_cols.size()))
        return nullptr;
    return &m_rs->field(m_cols[static_cast<size_t>(column)].field);
}

void RecordSetModel::setColumnTitle(int column, const QString& title)
{
    if (column < 0 || column >= static_cast<int>(m_cols.size()))
        return;
    m_cols[static_cast<size_t>(column)].title = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void RecordSetModel::setEditable(bool on)
{
    if (m_editable == on)
        return;
    m_editable = on;
    if (m_rows > 0 && !m_cols.empty())
        emit dataChanged(index(0, 0), index(m_rows - 1, static_cast<int>(m_cols.size()) - 1), {Qt::EditRole});
}

bool RecordSetModel::canFetchMore(const QModelIndex& parent) const
{
    return m_rs && !parent.isValid() && m_pending == 0 && m_rows < m_rs->recordCount();
}

void RecordSetModel::fetchMore(const QModelIndex& parent)
{
    // Grown from the event loop: a view may ask in the middle of handling
    // a reset, when rows cannot be announced yet.
    if (!canFetchMore(parent) || m_growQueued)
        return;
    m_growQueued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_growQueued = false;
        if (canFetchMore({}))
            grow(std::max(kWindow, m_rows));
    }, Qt::QueuedConnection);
}

void RecordSetModel::exposeRow(int row)
{
    if (row >= m_rows && m_pending == 0)
        grow(row - m_rows + 1 + kWindow);
}

void RecordSetModel::grow(int rows)
{
    if (!m_rs)
        return;
    const int add = std::min(rows, m_rs->recordCount() - m_rows);
    if (add <= 0)
        return;
    beginInsertRows({}, m_rows, m_rows + add - 1);
    m_rows += add;
    endInsertRows();
}

int RecordSetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_cols.size());
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const
{
    if (!m_rs || !index.isValid() || index.row() >= m_rs->recordCount() || index.column() >= columnCount())
        return {};
    const Field& f = m_rs->field(m_cols[static_cast<size_t>(index.column())].field);
    switch (role) {
    case Qt::DisplayRole:
        return m_rs->withRow(index.row(), [&] { return f.displayText(); });
    case Qt::EditRole:
        return m_rs->withRow(index.row(), [&] { return f.editText(); });
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(f.alignment);
    default:
        return {};
    }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Vertical) {
        if (role == Qt::DisplayRole)
            return section + 1;
        return {};
    }
    if (!m_rs || section < 0 || section >= columnCount())
        return {};
    const Col& c = m_cols[static_cast<size_t>(section)];
    const Field& f = m_rs->field(c.field);
    if (role == Qt::DisplayRole)
        return c.title.isEmpty() ? f.label() : c.title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(f.alignment);
    return {};
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const Field* f = fieldOfColumn(index.column());
    if (m_editable && f && !f->readOnly && !f->calculated())
        fl |= Qt::ItemIsEditable;
    return fl;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable))
        return false;
    Field* f = fieldOfColumn(index.column());
    if (!f)
        return false;
    try {
        if (index.row() != m_rs->recNo())
            m_rs->moveTo(index.row());
        if (m_rs->recNo() != index.row())
            return false;
        if (m_rs->state() == DataSetState::Browse)
            m_rs->edit();
        if (f->editText() == value.toString())
            return true;
        f->setAsString(value.toString());
        return true;
    } catch (...) {
        if (onError)
            onError(std::current_exception());
        else
            reportException(std::current_exception());
        return false;
    }
}

void RecordSetModel::rsReset()
{
    if (!m_rs)
        return;
    beginResetModel();
    if (!m_explicitColumns)
        defaultColumns();
    m_rows = std::min(m_rs->recordCount(), std::max(kWindow, m_rs->recNo() + kWindow));
    m_pending = 0;
    endResetModel();
}

void RecordSetModel::rsRowChanged(int row)
{
    if (row >= 0 && row < m_rows && !m_cols.empty())
        emit dataChanged(index(row, 0), index(row, static_cast<int>(m_cols.size()) - 1));
}

void RecordSetModel::rsBeginInsertRows(int first, int last)
{
    // Rows past the window stay out of it until the view scrolls there;
    // rows at its end fill it up to its size.
    const int room = first < m_rows ? last - first + 1 : std::max(0, std::min(last - first + 1, kWindow - m_rows));
    if (first > m_rows || room == 0) {
        m_pending = -1;
        return;
    }
    beginInsertRows({}, first, first + room - 1);
    m_pending = room;
}

void RecordSetModel::rsEndInsertRows()
{
    const int added = m_pending;
    m_pending = 0;
    if (added < 0)
        return;
    m_rows += added;
    endInsertRows();
}

void RecordSetModel::rsBeginRemoveRows(int first, int last)
{
    if (first >= m_rows) {
        m_pending = -1;
        return;
    }
    last = std::min(last, m_rows - 1);
    beginRemoveRows({}, first, last);
    m_pending = last - first + 1;
}

void RecordSetModel::rsEndRemoveRows()
{
    const int removed = m_pending;
    m_pending = 0;
    if (removed < 0)
        return;
    m_rows -= removed;
    endRemoveRows();
}

void RecordSetModel::rsCurrentChanged(int row)
{
    emit currentRecordChanged(row);
}

void RecordSetModel::rsStateChanged()
{
    emit stateChanged();
}

} // namespace fw
