#pragma once

#include "TableFile.h"

namespace zpp::services {

// The first sheet of an XLSX workbook as a table (OpenTable opens a workbook through it).
std::unique_ptr<TableReader> OpenXlsxTable(const QString& path);

} // namespace zpp::services
