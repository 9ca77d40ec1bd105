// Decimal numbers written as text inside map files.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvanel {

// Optional leading white space (space, tab, CR, LF, VT, FF) and sign, then
// digits up to the first non-digit; no digits gives 0. Values beyond the
// 32-bit range are clamped to it.
std::int32_t ReadDecimal(std::string_view text);

}  // namespace korvanel
