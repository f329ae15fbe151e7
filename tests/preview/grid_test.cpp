// The previews' arithmetic: where the cells lie, the frames of the nine-grid, the list pages.
#include "preview/grid.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/error.h"

namespace {

TEST(GridArithmetic, CellsCoverThePlayerRowByRowWithFivePixelGaps) {
    const auto cells = lanfeng::gridCellRects(QRect(16, 24, 396, 250));
    const int lefts[] = {16, 149, 282}, tops[] = {24, 109, 194};
    for (int n = 0; n < 9; ++n)
        EXPECT_EQ(cells[n], QRect(lefts[n % 3], tops[n / 3], 128, 80)) << "cell " << n + 1;
    // The two pixels the division leaves over stay empty at the right.
    EXPECT_EQ(16 + 396 - (cells[2].right() + 1), 2);
    // A player too small for the gaps gives empty cells, never cells of negative size.
    for (const QRect& c : lanfeng::gridCellRects(QRect(0, 0, 5, 4)))
        EXPECT_TRUE(c.width() == 0 && c.height() == 0) << c.width() << "x" << c.height();
}

TEST(GridArithmetic, EachCellShowsTheLastFrameOfItsNinth) {
    struct Case {
        int frames;
        std::vector<int> cells2to9;
    };
    const Case cases[] = {
        {90, {9, 19, 29, 39, 49, 59, 69, 79}}, {100, {10, 21, 32, 43, 54, 65, 76, 87}},
        {8, {-1, -1, -1, -1, -1, -1, -1, -1}},  // fewer than nine frames: below the first
        {1, {-1, -1, -1, -1, -1, -1, -1, -1}}, {9, {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases)
        for (int n = 2; n <= 9; ++n)
            EXPECT_EQ(lanfeng::gridCellFrame(c.frames, n), c.cells2to9[n - 2])
                << c.frames << " frames, cell " << n;
}

TEST(PageArithmetic, PagesHoldNineEntriesAndTheLastOneTheRest) {
    struct Case {
        int entries, pages;
        int page;
        std::vector<int> cells;  // list index per cell, -1 for none
        const char* label;
    };
    const Case cases[] = {
        {1, 1, 0, {0, -1, -1, -1, -1, -1, -1, -1, -1}, "共1页；第1页"},
        {8, 1, 0, {0, 1, 2, 3, 4, 5, 6, 7, -1}, "共1页；第1页"},
        {9, 2, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8}, "共2页；第1页"},
        {9, 2, 1, {-1, -1, -1, -1, -1, -1, -1, -1, -1}, "共2页；第2页"},
        {20, 3, 1, {9, 10, 11, 12, 13, 14, 15, 16, 17}, "共3页；第2页"},
        {20, 3, 2, {18, 19, -1, -1, -1, -1, -1, -1, -1}, "共3页；第3页"},
        {12, 2, 2, {-1, -1, -1, -1, -1, -1, -1, -1, -1}, "共2页；第3页"},  // the list shrank
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lanfeng::pageCount(c.entries), c.pages) << c.entries;
        EXPECT_EQ(lanfeng::pageLabel(c.page, c.entries), QString::fromUtf8(c.label));
        for (int n = 1; n <= 9; ++n)
            EXPECT_EQ(lanfeng::pageEntry(c.page, n, c.entries).value_or(-1), c.cells[n - 1])
                << c.entries << " entries, page " << c.page << ", cell " << n;
    }
    // Back stops at the first page, on stops at the last.
    EXPECT_EQ(lanfeng::previousPage(0), 0);
    EXPECT_EQ(lanfeng::previousPage(1), 0);
    EXPECT_EQ(lanfeng::previousPage(2), 1);
    EXPECT_EQ(lanfeng::nextPage(0, 20), 1);
    EXPECT_EQ(lanfeng::nextPage(2, 20), 2);
    EXPECT_EQ(lanfeng::nextPage(2, 12), 1);  // past the end of a shrunk list: its last page
}

TEST(PageArithmetic, PageNumbersAreDecimalIntegersOrAConversionError) {
    EXPECT_EQ(lanfeng::pageNumber("2"), 2);
    EXPECT_EQ(lanfeng::pageNumber("-1"), -1);
    EXPECT_EQ(lanfeng::pageNumber("007"), 7);
    for (const char* bad : {"a", "2a", "1.5", "", "99999999999"}) {
        try {
            lanfeng::pageNumber(QString::fromLatin1(bad));
            ADD_FAILURE() << bad << " was read as a number";
        } catch (const lanfeng::Error& e) {
            EXPECT_EQ(e.text(), QStringLiteral("'%1' is not a valid integer value").arg(bad));
        }
    }
}

}  // namespace
