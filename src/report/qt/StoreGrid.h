#pragma once
// The stored-data grids: the reading table's column names with an S in front, over an
// empty body. No table with these columns exists, so the grids never show rows.

#include <QStringList>
#include <array>

namespace vexal {

class ReadingGrid;

inline constexpr int kStoreColumnCount = 6;
using StoreColumnWidths = std::array<int, kStoreColumnCount>;

// The column widths of the main window's grid and of the stored-data window's grid.
inline constexpr StoreColumnWidths kMainStoreGridWidths{36, 47, 49, 42, 73, 70};
inline constexpr StoreColumnWidths kStoreWindowGridWidths{36, 67, 66, 71, 92, 77};

// "SNo", "STime", "SValue", "SUnit", "SV_Range", "SI_Range".
QStringList storeColumnTitles();

// Gives `grid` the stored-data columns at `widths`, no rows, and the grids' colours and fonts.
void setUpStoreGrid(ReadingGrid &grid, const StoreColumnWidths &widths);

}  // namespace vexal
