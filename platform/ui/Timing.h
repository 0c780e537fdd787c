#pragma once

namespace zpp::timing {

// Start-up marks for the start-up benchmark. With ZPP_TIMING set (and not 0) each Mark prints
// "TIMING <label> <ms since process start>" to stderr; with ZPP_TIMING=exit the program also
// runs unattended: the filter dialog confirms itself and the process leaves once the list has
// painted its first rows. Unset, every call is one test of a flag read once.
bool Enabled();
bool Unattended();
void Mark(const char* label);
// Called as the grid paints a cell: once the first frame with rows is out, marks
// "rows-painted" and, when unattended, leaves.
void RowsPainting();

} // namespace zpp::timing
