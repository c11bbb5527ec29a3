// The contacts as an Office Open XML workbook (.xlsx), written with
// libxlsxwriter: full Unicode, birthday and anniversary as real dates, the
// title row bold and frozen.
#pragma once

#include "excel/Sheet.h"

#include <memory>

namespace velloquin::excel {

std::unique_ptr<Sheet> MakeXlsxSheet();

} // namespace velloquin::excel
