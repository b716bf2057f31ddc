#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace fw {

class RecordSet;
class DataSource;

// Single pick; caption is "title|text shown when the list is empty". True
// when a record was picked; the record set then stands on it.
bool Pesquisar(RecordSet& source, const QString& caption, bool incremental = false, bool emptyError = true);
bool Pesquisar(DataSource& source, const QString& caption, bool incremental = false, bool emptyError = true);

// Multi-selection of keyField values; writes the list text into selection
// when confirmed, leaves it unchanged when cancelled.
bool PesquisaLista(RecordSet& source, const QString& keyField, const QString& caption, bool incremental,
                   QString& selection);
bool PesquisaLista(DataSource& source, const QString& keyField, const QString& caption, bool incremental,
                   QString& selection);

// The find dialog.
void Procura(RecordSet& source);

// The busy animation over the main window: kind 1 while sending, 6 while
// reading. Prefer BusyGuard, which stops on every path.
void ActiveShowAvi(QObject* mainWindow, int kind);
void DeactiveShowAvi();

// List texts: keys joined by commas, no blanks or quotes.
QString joinListText(const QStringList& keys);
// The keys of a list text (blanks and single quotes trimmed, empties dropped).
QStringList splitListText(const QString& list);

// The caption's title and its empty-list text.
QString captionTitle(const QString& caption);
QString captionEmptyText(const QString& caption);

} // namespace fw
