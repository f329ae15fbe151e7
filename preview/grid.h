#pragma once
// The arithmetic of the two previews, without widgets: where the nine cells lie, which frame
// each cell of the nine-grid shows, and which playlist entry each cell of a list page holds.

#include <QRect>
#include <QString>
#include <array>
#include <optional>

namespace lanfeng {

constexpr int kGridCells = 9;

// The nine cells over a player rectangle, row by row, 5 pixels apart; the 0 to 2 pixels the
// divisions leave over stay empty at the right and bottom.
std::array<QRect, kGridCells> gridCellRects(const QRect& player);

// The frame cell n (1 to 9) of the nine-grid is sent to: the last frame of the (n - 1)-th
// ninth of a movie of totalFrames frames. Below zero for movies shorter than nine frames.
int gridCellFrame(int totalFrames, int cell);

// Pages of the list preview: always one more than the full pages, so a list whose length is
// a multiple of nine ends on an empty page.
int pageCount(int entries);
int lastPage(int entries);
// "共3页；第2页" for page index 1 of 20 entries.
QString pageLabel(int page, int entries);
// The list index cell n (1 to 9) of page shows; none past the end of the list.
std::optional<int> pageEntry(int page, int cell, int entries);
int previousPage(int page);
int nextPage(int page, int entries);

// The page number typed into the jump box, as the run-time's integer conversion reads it:
// optional sign, decimal digits, surrounding blanks allowed. Throws lanfeng::Error otherwise.
int pageNumber(const QString& text);

}  // namespace lanfeng
