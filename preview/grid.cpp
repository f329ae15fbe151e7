#include "preview/grid.h"

#include <algorithm>

#include "ui/error.h"

namespace lanfeng {

std::array<QRect, kGridCells> gridCellRects(const QRect& player) {
    // A player smaller than the gaps gives cells of no size, as a widget cannot be smaller.
    const int w = std::max(0, (player.width() - 10) / 3);
    const int h = std::max(0, (player.height() - 10) / 3);
    std::array<QRect, kGridCells> cells;
    for (int n = 0; n < kGridCells; ++n)
        cells[n] = QRect(player.x() + (n % 3) * (w + 5), player.y() + (n / 3) * (h + 5), w, h);
    return cells;
}

int gridCellFrame(int totalFrames, int cell) { return (totalFrames / 9) * (cell - 1) - 1; }

int lastPage(int entries) { return entries / 9; }

int pageCount(int entries) { return lastPage(entries) + 1; }

QString pageLabel(int page, int entries) {
    return QStringLiteral("共%1页；第%2页").arg(pageCount(entries)).arg(page + 1);
}

std::optional<int> pageEntry(int page, int cell, int entries) {
    const int index = 9 * page + cell - 1;
    if (page < 0 || cell < 1 || cell > kGridCells || index >= entries) return std::nullopt;
    return index;
}

int previousPage(int page) { return page > 1 ? page - 1 : 0; }

int nextPage(int page, int entries) {
    return page < lastPage(entries) ? page + 1 : lastPage(entries);
}

int pageNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) throw Error(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

}  // namespace lanfeng
