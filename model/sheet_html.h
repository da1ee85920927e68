#pragma once

#include "sheet.h"

#include <string>

namespace mx {

// The sheet as a page of its own: well-formed XML (XHTML), real table
// markup with header cells, styled to print in black and white as the
// painter draws it.
std::string sheetHtml(const Sheet& sheet);

} // namespace mx
