#pragma once

#include <vector>

#include "DataGrid.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QSet>

class QLabel;
class QLineEdit;
class QComboBox;
class QTableView;

namespace fw {

// Text folded for searching: case and accents ignored ("José" finds "jose").
QString foldForSearch(const QString& text);

// The "Procurar" of a picker: the first row where any visible column holds
// the typed text, in part, ignoring case and accents. The rows' texts are
// folded once, on the first search.
class RowSearch {
public:
    explicit RowSearch(RecordSet& rs) : m_rs(rs) {}
    int find(const QString& text);

private:
    RecordSet& m_rs;
    std::vector<QString> m_rows;
};

// Single pick from a record set: incremental search on every visible column,
// Enter or a double click picks, Esc cancels.
class TPesquisaDialog : public QDialog {
    Q_OBJECT
public:
    TPesquisaDialog(RecordSet& source, const QString& caption, QWidget* parent = nullptr);
    TDBGrid* grid() const { return m_grid; }
    QLineEdit* searchEdit() const { return m_search; }
    QLabel* searchStatus() const { return m_status; }

private:
    void search(const QString& text);
    RecordSet& m_rs;
    DataSource m_ds;
    RowSearch m_finder{m_rs};
    TDBGrid* m_grid;
    QLineEdit* m_search;
    QLabel* m_status;
};

// The rows of a record set with a check column in front.
class CheckListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CheckListModel(RecordSet& rs, const QString& keyField, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void toggle(int row);
    void setAll(bool on);
    void preselect(const QStringList& keys);
    // The marked keys, in row order.
    QStringList checkedKeys() const;

private:
    QString keyOf(int row) const;
    RecordSet& m_rs;
    RecordSetModel m_source;
    QString m_keyField;
    std::vector<char> m_checked;
    QString m_checkTitle;
};

// Multi-selection picker; the list text goes into the selection on OK.
class TPesquisaListaDialog : public QDialog {
    Q_OBJECT
public:
    TPesquisaListaDialog(RecordSet& source, const QString& keyField, const QString& caption, const QString& selection,
                         QWidget* parent = nullptr);
    QTableView* view() const { return m_view; }
    CheckListModel* model() const { return m_model; }
    QLineEdit* searchEdit() const { return m_search; }
    QLabel* searchStatus() const { return m_status; }
    QString selection() const;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void search(const QString& text);
    RecordSet& m_rs;
    RowSearch m_finder{m_rs};
    CheckListModel* m_model;
    QTableView* m_view;
    QLineEdit* m_search;
    QLabel* m_status;
};

// Finds a record by a field's text (contains, ignoring case and accents), from the
// record after the current one on.
class TProcuraDialog : public QDialog {
    Q_OBJECT
public:
    TProcuraDialog(RecordSet& source, QWidget* parent = nullptr);
    bool findNext();

private:
    RecordSet& m_rs;
    QComboBox* m_field;
    QLineEdit* m_text;
    QLabel* m_status;
};

} // namespace fw
