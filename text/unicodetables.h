// The data of the built-in code page tables: the upper half (bytes 0x80-0xFF) of each page,
// in the order of the code page list. The lower halves are ASCII everywhere.
#pragma once

#include <cstdint>

namespace unicodetables {

constexpr int TABLE_PAGES = 10;
constexpr int UPPER_HALF = 128;

extern const uint16_t UPPER_HALVES[TABLE_PAGES][UPPER_HALF];

} // namespace unicodetables
