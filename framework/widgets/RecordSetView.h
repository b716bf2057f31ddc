#pragma once

#include "core/RecordSet.h"
#include "core/RecordSetModel.h"

#include <QTableView>
#include <memory>

namespace fw {

// A table view on a record set: the view's current row is the record set's
// current record; typing starts an edit, leaving the row posts it and Esc
// cancels it.
class RecordSetView : public QTableView {
    Q_OBJECT
public:
    explicit RecordSetView(QWidget* parent = nullptr);
    ~RecordSetView() override;

    void setRecordSet(RecordSet* rs);
    RecordSet* recordSet() const { return m_model ? m_model->recordSet() : nullptr; }
    RecordSetModel* recordSetModel() const { return m_model.get(); }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void followRecord(int row);
    std::unique_ptr<RecordSetModel> m_model;
    bool m_syncing = false;
};

} // namespace fw
