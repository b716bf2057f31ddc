#include "DataGrid.h"

#include "Events.h"
#include "core/Context.h"
#include "core/FwError.h"
#include "core/Messages.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QLineEdit>
#include <QPainter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
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

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        // The current cell of a button column shows its button before any
        // editing, so the search is there to be seen and clicked.
        if (!m_grid->showsCellButton(index))
            return;
        QStyleOptionButton btn;
        btn.rect = m_grid->cellButtonRect(option.rect);
        btn.text = QStringLiteral("…");
        btn.state = QStyle::State_Enabled | QStyle::State_Raised;
        btn.palette = option.palette;
        m_grid->style()->drawControl(QStyle::CE_PushButton, &btn, painter, m_grid);
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
        QObject* editor = o;
        if (o->property("fwBoxEditor").toBool())
            if (auto* box = qobject_cast<QWidget*>(o)->parentWidget())
                editor = box;
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape
            && m_grid->lineEditing()) {
            // Esc drops the cell and then the line, as Cancelar does.
            const bool handled = QStyledItemDelegate::eventFilter(editor, e);
            QMetaObject::invokeMethod(m_grid, [g = m_grid] { g->cancelLine(); }, Qt::QueuedConnection);
            return handled;
        }
        // The view lets a box go before its line loses the focus: that
        // focus change is no commit.
        if (editor->property("fwClosing").toBool())
            return false;
        return QStyledItemDelegate::eventFilter(editor, e);
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
    syncFrozen();
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
    m_holdEdits = true;
    QMetaObject::invokeMethod(this, [this, col] {
        m_holdEdits = false;
        if (!recordSetModel())
            return;
        const int row = recordSet() ? recordSet()->recNo() : -1;
        if (row >= 0 && row < recordSetModel()->rowCount()) {
            m_reverting = true;
            setCurrentIndex(recordSetModel()->index(row, col));
            m_reverting = false;
        }
        focusBack(this);
        openCurrentCell();
    }, Qt::QueuedConnection);
}

bool TDBGrid::lineEditing() const
{
    const RecordSet* rs = recordSet();
    return rs && (rs->state() == DataSetState::Edit || rs->state() == DataSetState::Insert);
}

bool TDBGrid::columnReadOnly(int col) const
{
    return col >= 0 && col < columnCountGrid() && m_columns[static_cast<size_t>(col)].ReadOnly;
}

void TDBGrid::reopenCell()
{
    if (m_reopenQueued)
        return;
    m_reopenQueued = true;
    QMetaObject::invokeMethod(this, [this] {
        m_reopenQueued = false;
        if (!m_holdEdits) // else the cell put back opens itself
            openCurrentCell();
    }, Qt::QueuedConnection);
}

void TDBGrid::openCurrentCell()
{
    const QModelIndex at = currentIndex();
    if (!at.isValid() || !lineEditing() || !m_editing || columnReadOnly(at.column())
        || state() == QAbstractItemView::EditingState)
        return;
    focusBack(this);
    if (!RecordSetView::edit(at, QAbstractItemView::AllEditTriggers, nullptr))
        return;
    QWidget* ed = indexWidget(at);
    auto* line = qobject_cast<QLineEdit*>(ed);
    if (!line && ed)
        line = ed->findChild<QLineEdit*>(QStringLiteral("editor"));
    if (line) {
        line->setFocus();
        line->selectAll();
    }
}

bool TDBGrid::showsCellButton(const QModelIndex& index) const
{
    const int c = index.column();
    return index.isValid() && index == currentIndex() && m_editing && c < columnCountGrid()
        && m_columns[static_cast<size_t>(c)].ButtonStyle && !columnReadOnly(c) && !indexWidget(index);
}

QRect TDBGrid::cellButtonRect(const QRect& cell) const
{
    const int w = std::min(cell.height() + 2, cell.width() / 2);
    return {cell.right() - w + 1, cell.top(), w, cell.height()};
}

void TDBGrid::mousePressEvent(QMouseEvent* e)
{
    const QModelIndex at = indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && showsCellButton(at)
        && cellButtonRect(visualRect(at)).contains(e->position().toPoint())) {
        e->accept();
        editButtonClick();
        return;
    }
    RecordSetView::mousePressEvent(e);
}

void TDBGrid::cancelLine()
{
    if (!lineEditing())
        return;
    RecordSet* rs = recordSet();
    if (OnCancelLine)
        guarded([this] { OnCancelLine(*this); });
    else
        guarded([rs] { rs->cancel(); });
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
    // the view's own edit after a refused move: the cell is put back and
    // reopened instead (true, so the view reports no failure)
    if (m_holdEdits && trigger == QAbstractItemView::AllEditTriggers && !event)
        return true;
    if (index.isValid() && columnReadOnly(index.column()) && trigger != QAbstractItemView::NoEditTriggers)
        return trigger == QAbstractItemView::AllEditTriggers && !event; // a Tab landing here: nothing to open
    return RecordSetView::edit(index, trigger, event);
}

QModelIndex TDBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // While a line is typed, Tab and Shift+Tab pass over the columns nobody
    // types into.
    const QModelIndex at = currentIndex();
    if ((action == MoveNext || action == MovePrevious) && at.isValid() && recordSetModel() && lineEditing()) {
        const int step = action == MoveNext ? 1 : -1;
        for (int c = at.column() + step; c >= 0 && c < recordSetModel()->columnCount(); c += step)
            if (!isColumnHidden(c) && !columnReadOnly(c))
                return recordSetModel()->index(at.row(), c);
    }
    return RecordSetView::moveCursor(action, modifiers);
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (editor)
        editor->setProperty("fwClosing", true);
    RecordSetView::closeEditor(editor, hint);
}

void TDBGrid::setFrozenColumns(int count)
{
    m_frozenCount = std::max(count, 0);
    if (m_frozenCount == 0) {
        delete m_frozen;
        m_frozen = nullptr;
        return;
    }
    if (!m_frozen) {
        // A second view over the same model and selection, laid over the
        // first columns, that never scrolls sideways.
        m_frozen = new QTableView(this);
        m_frozen->setObjectName(objectName() + QStringLiteral("Fixas"));
        m_frozen->setAccessibleName(QStringLiteral("Colunas fixas"));
        m_frozen->setFocusPolicy(Qt::NoFocus);
        m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_frozen->setSelectionBehavior(selectionBehavior());
        m_frozen->verticalHeader()->hide();
        m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_frozen->setVerticalScrollMode(verticalScrollMode());
        m_frozen->horizontalHeader()->setSectionsClickable(true);
        m_frozen->horizontalHeader()->setHighlightSections(false);
        m_frozen->setStyleSheet(QStringLiteral("QTableView { border: none; border-right: 2px solid palette(mid); }"));
        m_frozen->setItemDelegate(itemDelegate());
        connect(m_frozen->horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGrid::titleClicked);
        connect(m_frozen, &QAbstractItemView::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(), &QAbstractSlider::setValue);
        connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
        connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
            if (m_frozen && col < m_frozenCount) {
                m_frozen->setColumnWidth(col, size);
                updateFrozen();
            }
        });
        viewport()->stackUnder(m_frozen);
        setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    }
    syncFrozen();
}

void TDBGrid::syncFrozen()
{
    if (!m_frozen || !model())
        return;
    if (m_frozen->model() != model()) {
        m_frozen->setModel(model());
        disconnect(m_frozenReset);
        m_frozenReset = connect(model(), &QAbstractItemModel::modelReset, this, [this] { syncFrozen(); });
    }
    if (m_frozen->selectionModel() != selectionModel())
        m_frozen->setSelectionModel(selectionModel());
    for (int c = 0; c < model()->columnCount(); ++c) {
        m_frozen->setColumnHidden(c, c >= m_frozenCount);
        if (c < m_frozenCount)
            m_frozen->setColumnWidth(c, columnWidth(c));
    }
    updateFrozen();
}

void TDBGrid::updateFrozen()
{
    if (!m_frozen)
        return;
    int w = 0;
    for (int c = 0; c < m_frozenCount && model() && c < model()->columnCount(); ++c)
        w += columnWidth(c);
    m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    const int rowHeader = verticalHeader()->isHidden() ? 0 : verticalHeader()->width();
    m_frozen->setGeometry(rowHeader + frameWidth(), frameWidth(), w,
                          viewport()->height() + horizontalHeader()->height());
    m_frozen->setVisible(w > 0);
}

int TDBGrid::frozenWidth() const
{
    int w = 0;
    for (int c = 0; m_frozen && c < m_frozenCount && model() && c < model()->columnCount(); ++c)
        w += columnWidth(c);
    return w;
}

void TDBGrid::resizeEvent(QResizeEvent* e)
{
    RecordSetView::resizeEvent(e);
    updateFrozen();
}

void TDBGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    if (!m_frozen || !index.isValid()) {
        RecordSetView::scrollTo(index, hint);
        return;
    }
    const int keep = horizontalScrollBar()->value();
    RecordSetView::scrollTo(index, hint);
    if (index.column() < m_frozenCount) {
        // a frozen cell is always in view: only the rows move
        horizontalScrollBar()->setValue(keep);
        return;
    }
    // a cell that would hide under the frozen columns comes out beside them
    const int left = visualRect(index).left();
    if (left < frozenWidth())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (frozenWidth() - left));
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
    if (e->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState && lineEditing()) {
        cancelLine();
        e->accept();
        return;
    }
    if (rs && rs->active() && m_editing && e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) {
        runHandler([rs] { rs->insert(); });
        e->accept();
        return;
    }
    if (rs && rs->active() && m_editing && e->key() == Qt::Key_Delete && (e->modifiers() & Qt::ControlModifier)
        && !rs->isEmpty() && state() != QAbstractItemView::EditingState) {
        // delete with confirmation, as the toolbar's delete
        if (OnDeleteLine) {
            guarded([this] { OnDeleteLine(*this); });
            e->accept();
            return;
        }
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
