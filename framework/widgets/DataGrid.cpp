#include "DataGrid.h"

#include "Events.h"
#include "core/Context.h"
#include "core/FwError.h"
#include "core/Messages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScopedValueRollback>
#include <QToolButton>

namespace fw {

// Paints with the grid's per-cell style and gives button columns an
// ellipsis beside their editor.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void initStyleOption(QStyleOptionViewItem* opt, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(opt, index);
        const int c = index.column();
        if (c < 0 || c >= m_grid->columnCountGrid())
            return;
        const TColumn& col = m_grid->m_columns[static_cast<size_t>(c)];
        if (col.Alignment)
            opt->displayAlignment = col.Alignment | Qt::AlignVCenter;
        if (!m_grid->OnDrawColumnCell)
            return;
        RecordSetModel* m = m_grid->recordSetModel();
        Field* f = m ? m->fieldOfColumn(c) : nullptr;
        if (!f)
            return;
        CellStyle st;
        st.selected = index == m_grid->currentIndex();
        st.focused = st.selected && m_grid->hasFocus();
        guarded([&] {
            f->dataSet().withRow(index.row(), [&] { m_grid->OnDrawColumnCell(*m_grid, col, *f, st); });
        });
        if (st.background.isValid())
            opt->backgroundBrush = st.background;
        if (st.foreground.isValid())
            opt->palette.setColor(QPalette::Text, st.foreground);
        if (st.bold)
            opt->font.setBold(true);
        if (st.hasText)
            opt->text = st.text;
        if (st.alignment)
            opt->displayAlignment = st.alignment | Qt::AlignVCenter;
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& opt, const QModelIndex& index) const override
    {
        // The record enters edit as typing starts, so its gates run before
        // anything is typed; a refused edit opens no editor.
        if (RecordSet* rs = m_grid->recordSet(); rs && rs->active() && rs->state() == DataSetState::Browse
            && !rs->isEmpty() && !runHandler([rs] { rs->edit(); }))
            return nullptr;
        const int c = index.column();
        if (c < 0 || c >= m_grid->columnCountGrid() || !m_grid->m_columns[static_cast<size_t>(c)].ButtonStyle)
            return QStyledItemDelegate::createEditor(parent, opt, index);
        auto* box = new QWidget(parent);
        auto* lay = new QHBoxLayout(box);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->setSpacing(0);
        auto* line = new QLineEdit(box);
        line->setObjectName(QStringLiteral("editor"));
        line->setFrame(false);
        auto* btn = new QToolButton(box);
        btn->setText(QStringLiteral("…"));
        btn->setFocusPolicy(Qt::NoFocus);
        lay->addWidget(line, 1);
        lay->addWidget(btn);
        box->setFocusProxy(line);
        // The keys and focus of the line edit are the box's: Tab, Enter and
        // leaving must store what was typed, as in a plain cell.
        line->setProperty("fwBoxEditor", true);
        line->installEventFilter(const_cast<GridDelegate*>(this));
        TDBGrid* grid = m_grid;
        connect(btn, &QToolButton::clicked, grid, [grid] { grid->editButtonClick(); });
        return box;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* line = editor->findChild<QLineEdit*>(QStringLiteral("editor"))) {
            line->setText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* line = editor->findChild<QLineEdit*>(QStringLiteral("editor"))) {
            model->setData(index, line->text(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o->property("fwBoxEditor").toBool())
            if (auto* box = qobject_cast<QWidget*>(o)->parentWidget())
                return QStyledItemDelegate::eventFilter(box, e);
        return QStyledItemDelegate::eventFilter(o, e);
    }

private:
    TDBGrid* m_grid;
};

TDBGrid::TDBGrid(QWidget* parent, const QString& name) : RecordSetView(parent)
{
    setObjectName(name);
    setItemDelegate(new GridDelegate(this));
    setTabKeyNavigation(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGrid::titleClicked);
    // The grid's own enter and exit are its current column's.
    onEnter(this, [this] {
        if (m_selectedCol >= 0 && OnColEnter)
            OnColEnter(*this);
    });
    onExit(this, [this] {
        if (state() == QAbstractItemView::EditingState) {
            // Leaving with an open editor stores what was typed first.
            if (QWidget* ed = indexWidget(currentIndex()); ed)
                commitData(ed);
        }
        if (m_selectedCol >= 0 && OnColExit)
            OnColExit(*this);
    });
}

TDBGrid::~TDBGrid() = default;

void TDBGrid::setDataSource(DataSource* ds)
{
    m_ds.reset(ds);
    if (!ds || !ds->dataSet())
        return;
    setRecordSet(ds->dataSet());
    recordSetModel()->setEditable(m_editing);
    if (m_explicitColumns)
        applyColumns();
    else
        connect(recordSetModel(), &QAbstractItemModel::modelReset, this, [this] { applyColumns(); });
    applyColumns();
    m_selectedCol = currentIndex().isValid() ? currentIndex().column() : (m_columns.empty() ? -1 : 0);
}

void TDBGrid::setColumns(const std::vector<TColumn>& cols)
{
    m_columns = cols;
    m_explicitColumns = true;
    applyColumns();
}

void TDBGrid::applyColumns()
{
    RecordSetModel* m = recordSetModel();
    if (!m || m_applying)
        return;
    // Setting the model's columns resets it, which calls here again.
    RecordSet* rs = m->recordSet();
    if (!rs)
        return;
    const QScopedValueRollback applying(m_applying, true);
    if (!m_explicitColumns) {
        m_columns.clear();
        for (int i = 0; i < rs->fieldCount(); ++i)
            if (rs->field(i).visible)
                m_columns.push_back(TColumn{rs->field(i).fieldName(), {}, 0, {}, false, false});
    }
    QStringList names;
    for (const auto& c : m_columns)
        names << c.FieldName;
    m->setColumns(names);
    // codes and dates are digits, wider than the average character
    const int charW = std::max(fontMetrics().averageCharWidth(), fontMetrics().horizontalAdvance(QLatin1Char('0')));
    for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
        const TColumn& c = m_columns[static_cast<size_t>(i)];
        if (!c.Title.isEmpty())
            m->setColumnTitle(i, c.Title);
        const Field* f = rs->findField(c.FieldName);
        const QString caption = !c.Title.isEmpty() ? c.Title : f ? f->label() : c.FieldName;
        const int title = fontMetrics().horizontalAdvance(caption) + 12;
        // a designed width never clips its title in this font
        int w = c.Width > 0 ? std::max(c.Width, title) : 0;
        if (w <= 0) {
            // a date with its time needs room for both
            const int natural = f && f->dataType() == FieldType::DateTime ? 12 : 10;
            const int chars = f ? (f->displayWidth > 0 ? f->displayWidth : std::max(f->size(), natural)) : natural;
            w = std::max(std::min(chars, 60) * charW + 12, title);
        }
        setColumnWidth(i, w);
    }
}

void TDBGrid::insertColumn(int position, const TColumn& col)
{
    if (!m_explicitColumns) {
        m_explicitColumns = true; // from now on the list is the grid's own
    }
    position = std::clamp(position, 0, static_cast<int>(m_columns.size()));
    m_columns.insert(m_columns.begin() + position, col);
    applyColumns();
}

void TDBGrid::removeColumnOf(const QString& fieldName)
{
    const int i = indexOfField(fieldName);
    if (i < 0)
        return;
    m_explicitColumns = true;
    m_columns.erase(m_columns.begin() + i);
    if (m_selectedCol >= static_cast<int>(m_columns.size()))
        m_selectedCol = static_cast<int>(m_columns.size()) - 1;
    applyColumns();
}

int TDBGrid::indexOfField(const QString& fieldName) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

void TDBGrid::setEditing(bool on)
{
    m_editing = on;
    if (recordSetModel())
        recordSetModel()->setEditable(on);
}

bool TDBGrid::editing() const
{
    return m_editing;
}

Field* TDBGrid::SelectedField() const
{
    if (!recordSetModel() || m_selectedCol < 0)
        return nullptr;
    return recordSetModel()->fieldOfColumn(m_selectedCol);
}

void TDBGrid::setSelectedIndex(int col)
{
    if (!recordSetModel() || col < 0 || col >= recordSetModel()->columnCount())
        return;
    const int row = recordSet() && recordSet()->recNo() >= 0 ? recordSet()->recNo() : 0;
    if (recordSetModel()->rowCount() == 0) {
        // No cell to stand on: only the column is remembered.
        if (col != m_selectedCol && runHandler([this] { if (OnColExit && m_selectedCol >= 0) OnColExit(*this); })) {
            m_selectedCol = col;
            runHandler([this] { if (OnColEnter) OnColEnter(*this); });
        }
        return;
    }
    setCurrentIndex(recordSetModel()->index(row, col));
}

void TDBGrid::keepCell(int col)
{
    // Put the current cell back once the view has finished its move.
    QMetaObject::invokeMethod(this, [this, col] {
        if (!recordSetModel())
            return;
        const int row = recordSet() ? recordSet()->recNo() : -1;
        if (row >= 0 && row < recordSetModel()->rowCount()) {
            m_reverting = true;
            setCurrentIndex(recordSetModel()->index(row, col));
            m_reverting = false;
        }
        focusBack(this);
    }, Qt::QueuedConnection);
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (m_reverting || !current.isValid()) {
        RecordSetView::currentChanged(current, previous);
        return;
    }
    const bool colChanged = current.column() != m_selectedCol;
    if (colChanged && m_selectedCol >= 0 && OnColExit) {
        if (!runHandler([this] { OnColExit(*this); })) {
            QTableView::currentChanged(current, previous);
            keepCell(m_selectedCol);
            return;
        }
    }
    RecordSetView::currentChanged(current, previous);
    if (colChanged) {
        m_selectedCol = current.column();
        if (OnColEnter)
            runHandler([this] { OnColEnter(*this); });
    }
}

bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if (index.isValid() && index.column() < columnCountGrid() && m_columns[static_cast<size_t>(index.column())].ReadOnly
        && trigger != QAbstractItemView::NoEditTriggers)
        return false;
    return RecordSetView::edit(index, trigger, event);
}

void TDBGrid::finishCellEditor(bool keep)
{
    if (state() != QAbstractItemView::EditingState)
        return;
    if (QWidget* ed = indexWidget(currentIndex()); ed) {
        if (keep)
            commitData(ed);
        closeEditor(ed, keep ? QAbstractItemDelegate::NoHint : QAbstractItemDelegate::RevertModelCache);
    }
}

void FinishCellEditors(QWidget* root, const RecordSet* rs, bool keep)
{
    if (!root || !rs)
        return;
    for (TDBGrid* g : root->findChildren<TDBGrid*>())
        if (g->recordSet() == rs)
            g->finishCellEditor(keep);
}

void TDBGrid::editButtonClick()
{
    if (m_selectedCol < 0 || m_selectedCol >= columnCountGrid() || !m_columns[static_cast<size_t>(m_selectedCol)].ButtonStyle)
        return;
    if (state() == QAbstractItemView::EditingState) {
        if (QWidget* ed = indexWidget(currentIndex()); ed) {
            commitData(ed);
            closeEditor(ed, QAbstractItemDelegate::NoHint);
        }
    }
    if (OnEditButtonClick)
        guarded([this] { OnEditButtonClick(*this); });
}

void TDBGrid::keyPressEvent(QKeyEvent* e)
{
    if (OnKeyDown) {
        int key = e->key();
        guarded([&] { OnKeyDown(*this, key, e->modifiers()); });
        if (key == 0) {
            e->accept();
            return;
        }
    }
    RecordSet* rs = recordSet();
    if (rs && rs->active() && m_editing && e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
        runHandler([rs] { rs->insert(); });
        e->accept();
        return;
    }
    if (rs && rs->active() && m_editing && e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)
        && !rs->isEmpty() && state() != QAbstractItemView::EditingState) {
        // delete with confirmation, as the toolbar's delete
        runHandler([rs] {
            if (rs->state() != DataSetState::Browse)
                rs->cancel();
            if (TMessages::baseCatalogue().ShowMsg(QStringLiteral("Excluir"), MsgType::Confirmation, Buttons::YesNo) == mrYes)
                rs->deleteRecord();
        });
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_F9 || ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (e->modifiers() & Qt::ControlModifier)))) {
        editButtonClick();
        e->accept();
        return;
    }
    RecordSetView::keyPressEvent(e);
}

void TDBGrid::titleClicked(int section)
{
    if (section < 0 || section >= columnCountGrid())
        return;
    TColumn& col = m_columns[static_cast<size_t>(section)];
    if (OnTitleClick) {
        guarded([&] { OnTitleClick(*this, col); });
        return;
    }
    if (RecordSet* rs = recordSet(); rs && rs->active())
        guarded([&] { rs->setIndexFieldNames(col.FieldName); });
}

void CriaColuna(TDBGrid& grid, const QString& fieldName, int position)
{
    if (grid.indexOfField(fieldName) >= 0)
        return;
    grid.insertColumn(position, TColumn{fieldName, {}, 0, {}, false, false});
}

void DestroiColuna(TDBGrid& grid, const QString& fieldName)
{
    grid.removeColumnOf(fieldName);
}

int IndiceCol(const TDBGrid& grid, const QString& fieldName)
{
    return grid.indexOfField(fieldName);
}

} // namespace fw
