#include "Pickers.h"

#include "Events.h"
#include "core/Context.h"
#include "core/Services.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace fw {

namespace {

// The "Procurar" edit at the top of a picker, with the line that says when
// nothing matches.
QLineEdit* addSearchEdit(QDialog* dialog, QVBoxLayout* lay, QLabel*& status)
{
    auto* form = new QFormLayout;
    auto* search = new QLineEdit(dialog);
    search->setObjectName(QStringLiteral("edtProcura"));
    search->setAccessibleName(QStringLiteral("Procurar"));
    search->setPlaceholderText(QStringLiteral("parte do código ou do nome"));
    form->addRow(QStringLiteral("&Procurar:"), search);
    status = new QLabel(dialog);
    status->setObjectName(QStringLiteral("lblProcura"));
    form->addRow(status);
    lay->addLayout(form);
    return search;
}

// Runs a search and says when nothing matched; the row found, or -1.
int searchAndSay(RowSearch& finder, QLabel* status, const QString& text)
{
    const int r = finder.find(text);
    status->setText(r < 0 && !text.trimmed().isEmpty()
                        ? QStringLiteral("Nenhum registro contém \"%1\".").arg(text.trimmed())
                        : QString());
    return r;
}

QLabel* emptyLabel(const QString& caption, QWidget* parent)
{
    auto* l = new QLabel(captionEmptyText(caption).isEmpty() ? QStringLiteral("Não há registros.") : captionEmptyText(caption), parent);
    l->setObjectName(QStringLiteral("lblVazio"));
    l->setAlignment(Qt::AlignCenter);
    return l;
}

} // namespace

QString foldForSearch(const QString& text)
{
    QString out;
    const QString d = text.normalized(QString::NormalizationForm_D);
    out.reserve(d.size());
    for (QChar c : d)
        if (c.category() != QChar::Mark_NonSpacing)
            out.append(c);
    return out.toCaseFolded();
}

int RowSearch::find(const QString& text)
{
    const QString needle = foldForSearch(text.trimmed());
    if (needle.isEmpty())
        return -1;
    if (m_rows.empty()) {
        std::vector<Field*> visible;
        for (int i = 0; i < m_rs.fieldCount(); ++i)
            if (m_rs.field(i).visible && m_rs.field(i).fieldName().compare(QLatin1String("IDMARCADO"), Qt::CaseInsensitive) != 0)
                visible.push_back(&m_rs.field(i));
        m_rows.reserve(static_cast<size_t>(m_rs.recordCount()));
        for (int r = 0; r < m_rs.recordCount(); ++r)
            m_rows.push_back(m_rs.withRow(r, [&] {
                QStringList cells;
                for (Field* f : visible)
                    cells << f->displayText();
                // a separator no typed text holds keeps columns apart
                return foldForSearch(cells.join(QChar(0x1F)));
            }));
    }
    for (size_t r = 0; r < m_rows.size(); ++r)
        if (m_rows[r].contains(needle))
            return static_cast<int>(r);
    return -1;
}

TPesquisaDialog::TPesquisaDialog(RecordSet& source, const QString& caption, QWidget* parent)
    : QDialog(parent), m_rs(source), m_ds(&source)
{
    setObjectName(QStringLiteral("frmPesquisa"));
    setWindowTitle(QStringLiteral("Pesquisa - %1").arg(captionTitle(caption)));
    auto* lay = new QVBoxLayout(this);
    m_search = addSearchEdit(this, lay, m_status);
    m_grid = new TDBGrid(this, QStringLiteral("dbgPesquisa"));
    m_grid->setEditing(false);
    m_grid->setDataSource(&m_ds);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setAccessibleName(captionTitle(caption));
    lay->addWidget(m_grid, 1);
    if (source.isEmpty())
        lay->addWidget(emptyLabel(caption, this));
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    ok->setEnabled(!source.isEmpty());
    lay->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this] { if (!m_rs.isEmpty()) accept(); });
    connect(m_search, &QLineEdit::textChanged, this, &TPesquisaDialog::search);
    setTabOrder(m_search, m_grid);
    resize(640, 420);
}

void TPesquisaDialog::search(const QString& text)
{
    if (const int r = searchAndSay(m_finder, m_status, text); r >= 0)
        guarded([&] { m_rs.moveTo(r); });
}

CheckListModel::CheckListModel(RecordSet& rs, const QString& keyField, QObject* parent)
    : QAbstractTableModel(parent), m_rs(rs), m_source(&rs), m_keyField(keyField)
{
    QStringList cols;
    for (int i = 0; i < rs.fieldCount(); ++i) {
        const Field& f = rs.field(i);
        if (f.fieldName().compare(QLatin1String("IDMARCADO"), Qt::CaseInsensitive) == 0) {
            m_checkTitle = f.displayLabel;
            continue; // the check column stands for it
        }
        if (f.visible)
            cols << f.fieldName();
    }
    if (m_checkTitle.isEmpty())
        m_checkTitle = QStringLiteral("Marcar");
    m_source.setColumns(cols);
    m_checked.assign(static_cast<size_t>(rs.recordCount()), 0);
}

int CheckListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_checked.size());
}

int CheckListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_source.columnCount() + 1;
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole)
            return m_checked[static_cast<size_t>(index.row())] ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    return m_source.data(m_source.index(index.row(), index.column() - 1), role);
}

QVariant CheckListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && section == 0)
        return role == Qt::DisplayRole ? QVariant(m_checkTitle) : QVariant();
    if (o == Qt::Horizontal)
        return m_source.headerData(section - 1, o, role);
    return m_source.headerData(section, o, role);
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    m_checked[static_cast<size_t>(index.row())] = value.toInt() == Qt::Checked ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void CheckListModel::toggle(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    setData(index(row, 0), m_checked[static_cast<size_t>(row)] ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void CheckListModel::setAll(bool on)
{
    std::fill(m_checked.begin(), m_checked.end(), on ? 1 : 0);
    if (!m_checked.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

QString CheckListModel::keyOf(int row) const
{
    const Field& key = m_rs.fieldByName(m_keyField);
    return m_rs.withRow(row, [&] { return key.asString().trimmed(); });
}

void CheckListModel::preselect(const QStringList& keys)
{
    const QSet<QString> want(keys.begin(), keys.end());
    for (int r = 0; r < rowCount(); ++r)
        m_checked[static_cast<size_t>(r)] = want.contains(keyOf(r)) ? 1 : 0;
    if (rowCount())
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

QStringList CheckListModel::checkedKeys() const
{
    QStringList out;
    for (int r = 0; r < rowCount(); ++r)
        if (m_checked[static_cast<size_t>(r)])
            out << keyOf(r);
    return out;
}

TPesquisaListaDialog::TPesquisaListaDialog(RecordSet& source, const QString& keyField, const QString& caption,
                                           const QString& selection, QWidget* parent)
    : QDialog(parent), m_rs(source)
{
    setObjectName(QStringLiteral("frmPesquisaLista"));
    setWindowTitle(QStringLiteral("Seleção - %1").arg(captionTitle(caption)));
    auto* lay = new QVBoxLayout(this);
    m_search = addSearchEdit(this, lay, m_status);
    m_model = new CheckListModel(source, keyField, this);
    m_model->preselect(splitListText(selection));
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("dbgLista"));
    m_view->setAccessibleName(captionTitle(caption));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->resizeColumnsToContents();
    m_view->installEventFilter(this);
    if (m_model->rowCount())
        m_view->setCurrentIndex(m_model->index(0, 0));
    lay->addWidget(m_view, 1);
    if (source.isEmpty())
        lay->addWidget(emptyLabel(caption, this));
    auto* buttons = new QDialogButtonBox(this);
    auto* all = buttons->addButton(QStringLiteral("&Marcar todos"), QDialogButtonBox::ActionRole);
    auto* none = buttons->addButton(QStringLiteral("&Desmarcar todos"), QDialogButtonBox::ActionRole);
    all->setObjectName(QStringLiteral("btnMarcarTodos"));
    none->setObjectName(QStringLiteral("btnDesmarcarTodos"));
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    lay->addWidget(buttons);
    connect(all, &QPushButton::clicked, this, [this] { m_model->setAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { m_model->setAll(false); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.column() != 0)
            m_model->toggle(i.row());
    });
    connect(m_search, &QLineEdit::textChanged, this, &TPesquisaListaDialog::search);
    setTabOrder(m_search, m_view);
    resize(640, 420);
}

QString TPesquisaListaDialog::selection() const
{
    return joinListText(m_model->checkedKeys());
}

bool TPesquisaListaDialog::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_view && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Space && m_view->currentIndex().isValid()) {
            m_model->toggle(m_view->currentIndex().row());
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

void TPesquisaListaDialog::search(const QString& text)
{
    if (const int r = searchAndSay(m_finder, m_status, text); r >= 0)
        m_view->setCurrentIndex(m_model->index(r, 1));
}

TProcuraDialog::TProcuraDialog(RecordSet& source, QWidget* parent) : QDialog(parent), m_rs(source)
{
    setObjectName(QStringLiteral("frmProcura"));
    setWindowTitle(QStringLiteral("Procurar"));
    auto* lay = new QFormLayout(this);
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("cmbCampo"));
    for (int i = 0; i < source.fieldCount(); ++i)
        if (source.field(i).visible)
            m_field->addItem(source.field(i).label(), source.field(i).fieldName());
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("edtTexto"));
    m_status = new QLabel(this);
    lay->addRow(QStringLiteral("&Campo:"), m_field);
    lay->addRow(QStringLiteral("&Texto:"), m_text);
    lay->addRow(m_status);
    auto* buttons = new QDialogButtonBox(this);
    auto* find = buttons->addButton(QStringLiteral("&Localizar"), QDialogButtonBox::ActionRole);
    find->setDefault(true);
    buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    lay->addRow(buttons);
    connect(find, &QPushButton::clicked, this, [this] { guarded([this] { findNext(); }); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool TProcuraDialog::findNext()
{
    const QString text = foldForSearch(m_text->text().trimmed());
    Field* f = m_rs.findField(m_field->currentData().toString());
    if (!f || text.isEmpty() || m_rs.isEmpty())
        return false;
    const int n = m_rs.recordCount();
    const int start = m_rs.recNo() < 0 ? 0 : m_rs.recNo() + 1;
    for (int k = 0; k < n; ++k) {
        const int r = (start + k) % n;
        if (m_rs.withRow(r, [&] { return foldForSearch(f->displayText()).contains(text); })) {
            m_rs.moveTo(r);
            m_status->setText(QStringLiteral("Registro %1 de %2.").arg(r + 1).arg(n));
            return true;
        }
    }
    m_status->setText(QStringLiteral("Texto não encontrado."));
    return false;
}

} // namespace fw
