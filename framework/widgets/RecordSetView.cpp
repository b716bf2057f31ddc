#include "RecordSetView.h"

#include "core/Context.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace fw {

RecordSetView::RecordSetView(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
}

RecordSetView::~RecordSetView()
{
    setModel(nullptr);
}

void RecordSetView::setRecordSet(RecordSet* rs)
{
    auto model = std::make_unique<RecordSetModel>(rs);
    setModel(model.get());
    m_model = std::move(model);
    connect(m_model.get(), &RecordSetModel::currentRecordChanged, this, &RecordSetView::followRecord);
    connect(m_model.get(), &QAbstractItemModel::modelReset, this, [this] {
        if (const RecordSet* set = recordSet())
            followRecord(set->recNo());
    });
    followRecord(rs->recNo());
}

void RecordSetView::followRecord(int row)
{
    if (m_model && !m_syncing && row >= m_model->rowCount())
        m_model->exposeRow(row);
    if (m_syncing || !m_model || row < 0 || row >= m_model->rowCount())
        return;
    m_syncing = true;
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    setCurrentIndex(m_model->index(row, std::max(0, col)));
    m_syncing = false;
}

void RecordSetView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    RecordSet* rs = recordSet();
    if (m_syncing || !rs || !current.isValid() || current.row() == rs->recNo())
        return;
    bool moved = false;
    guarded([&] { moved = rs->moveTo(current.row()); });
    if (!moved || rs->recNo() != current.row()) {
        // The record could not be left (its post was refused): stay on it.
        const int back = rs->recNo();
        const int col = previous.isValid() ? previous.column() : current.column();
        QMetaObject::invokeMethod(this, [this, back, col] {
            m_syncing = true;
            if (m_model && back >= 0 && back < m_model->rowCount())
                setCurrentIndex(m_model->index(back, col));
            m_syncing = false;
        }, Qt::QueuedConnection);
    }
}

void RecordSetView::keyPressEvent(QKeyEvent* e)
{
    RecordSet* rs = recordSet();
    if (e->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState && rs
        && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert)) {
        guarded([rs] { rs->cancel(); });
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

} // namespace fw
