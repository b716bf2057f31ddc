#pragma once

#include <QString>

class QPrinter;

namespace fw {

class TDBGrid;

// Prints a grid's visible columns with their captions and formatted values,
// page by page, with a title and page numbers.
void printGrid(QPrinter& printer, const TDBGrid& grid, const QString& title);

} // namespace fw
