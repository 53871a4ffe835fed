#include "model/format_table.h"

namespace {
using enum FormatIcon;
}  // namespace

#define FORMAT_ROW(label, name, image, icon, ...) {label, name, image, icon, {__VA_ARGS__}},
constinit const FormatRow kFormatTable[kFormatRowCount] = {
#include "model/format_rows.inc"
};
#undef FORMAT_ROW
