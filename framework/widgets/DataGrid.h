#pragma once

#include "RecordSetView.h"

#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

namespace fw {

class TDBGrid;

// A grid column: which field it shows and how.
struct TColumn {
    QString FieldName;
    QString Title;
    int Width = 0; // pixels; 0 from the field's display width
    Qt::Alignment Alignment;
    bool ReadOnly = false;
    bool ButtonStyle = false; // an ellipsis button while editing
};

// What a per-cell drawing handler may change.
struct CellStyle {
    QColor background;
    QColor foreground;
    bool bold = false;
    bool selected = false; // the cell is the current one (read only)
    bool focused = false;  // ...and the grid has the focus (read only)
    // A text of the handler's own in place of the field's.
    bool hasText = false;
    QString text;
    Qt::Alignment alignment;
};

// A data grid on a data source. Column enter/exit follow its current column
// and its focus: an exit that aborts keeps the current cell, and while the
// exit handler runs SelectedIndex/SelectedField still name the column being
// left.
class TDBGrid : public RecordSetView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr, const QString& name = {});
    ~TDBGrid() override;

    void setDataSource(DataSource* ds);
    DataSource* dataSource() const { return m_ds.get(); }

    // Columns; the default is every visible field.
    void setColumns(const std::vector<TColumn>& cols);
    const std::vector<TColumn>& columns() const { return m_columns; }
    TColumn& column(int i) { return m_columns.at(static_cast<size_t>(i)); }
    int columnCountGrid() const { return static_cast<int>(m_columns.size()); }
    void insertColumn(int position, const TColumn& col);
    void removeColumnOf(const QString& fieldName);
    int indexOfField(const QString& fieldName) const;

    // The editing option (dgEditing).
    void setEditing(bool on);
    bool editing() const;

    // True while a cell editor is open.
    bool cellEditorOpen() const { return state() == QAbstractItemView::EditingState; }
    // Closes an open cell editor, storing what it holds or dropping it.
    void finishCellEditor(bool keep);

    int SelectedIndex() const { return m_selectedCol; }
    void setSelectedIndex(int col);
    Field* SelectedField() const;

    std::function<void(TDBGrid&)> OnColEnter;
    std::function<void(TDBGrid&)> OnColExit;
    std::function<void(TDBGrid&)> OnEditButtonClick;
    std::function<void(TDBGrid&, const TColumn&, Field&, CellStyle&)> OnDrawColumnCell;
    // Without a handler a title click sorts by the column's field.
    std::function<void(TDBGrid&, TColumn&)> OnTitleClick;
    // Set key to 0 to consume it.
    std::function<void(TDBGrid&, int& key, Qt::KeyboardModifiers)> OnKeyDown;

    // Esc on a line being typed gives the whole line up through this
    // handler (the screen's Cancelar); without one the line is cancelled.
    std::function<void(TDBGrid&)> OnCancelLine;
    // Ctrl+Delete asks and deletes through this handler (the screen's
    // Excluir) when there is one.
    std::function<void(TDBGrid&)> OnDeleteLine;

    // Runs the edit-button handler of the current column (Ctrl+Enter, F9,
    // or the ellipsis button).
    void editButtonClick();

    // The first count columns stay in view when the grid scrolls sideways.
    void setFrozenColumns(int count);

    // Opens the current cell's editor with its text selected once the
    // events under way are done: after a refusal the user retypes at once.
    void reopenCell();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mousePressEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    friend class GridDelegate;
    void applyColumns();
    void titleClicked(int section);
    void keepCell(int col);
    void cancelLine();
    void openCurrentCell();
    // The search button painted on the current cell of a button column.
    bool showsCellButton(const QModelIndex& index) const;
    QRect cellButtonRect(const QRect& cell) const;
    void syncFrozen();
    void updateFrozen();
    int frozenWidth() const;
    bool lineEditing() const;
    bool columnReadOnly(int col) const;
    DataSourceRef m_ds;
    std::vector<TColumn> m_columns;
    bool m_explicitColumns = false;
    int m_selectedCol = -1;
    bool m_reverting = false;
    bool m_applying = false;
    bool m_editing = true;
    // An exit was refused: the view's own follow-up edit of the cell it
    // was moving to must not open there.
    bool m_holdEdits = false;
    bool m_reopenQueued = false;
    QTableView* m_frozen = nullptr;
    int m_frozenCount = 0;
    QMetaObject::Connection m_frozenReset;
};

// Column helpers as the screens call them.
void CriaColuna(TDBGrid& grid, const QString& fieldName, int position);
void DestroiColuna(TDBGrid& grid, const QString& fieldName);
int IndiceCol(const TDBGrid& grid, const QString& fieldName);

// Finishes the open cell editors of the grids under root that show rs: a
// post must see what is still being typed, and a cancel must not have it
// stored afterwards.
void FinishCellEditors(QWidget* root, const RecordSet* rs, bool keep);

} // namespace fw
