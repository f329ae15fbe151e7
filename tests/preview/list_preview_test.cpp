// The list preview: the playlist nine entries a page, the page bar's commands and messages,
// and a list that changes under an open page.
#include <QTest>

#include "preview_fixture.h"

namespace {

using ListPreview = Preview;

const QString kWrongNumber = QStringLiteral("请输入正确的数字！");
const QString kDigitsOnly = QStringLiteral("请输入数字!");

QString label() { return Form1->Label1->text(); }

class Pages : public Preview {
protected:
    // Cell n shows list index entry (stopped), or the sample movie (playing) for -1.
    void expectCells(const QStringList& list, std::initializer_list<int> indexes) {
        int n = 1;
        for (int index : indexes) {
            SCOPED_TRACE(n);
            PlayerControl* c = cell(n++);
            EXPECT_TRUE(c->isVisibleTo(Form1));
            EXPECT_TRUE(c->BGColor().isEmpty());
            if (index < 0) {
                EXPECT_EQ(c->Movie(), sample());
                EXPECT_TRUE(c->isPlaying());
            } else {
                EXPECT_EQ(c->Movie(), list.at(index));
                EXPECT_FALSE(c->isPlaying());
            }
        }
    }
};

TEST_F(Pages, ShortListsFillTheFirstCellsWithoutAPageBar) {
    for (int count : {1, 8}) {
        SCOPED_TRACE(count);
        const QStringList list = makeEntries(count);
        Form2->Timer1.start();
        Form1->N30Click();
        EXPECT_TRUE(Form1->gridShown());
        EXPECT_FALSE(Form1->ToolBar2->isVisibleTo(Form1));
        EXPECT_FALSE(Form2->Timer1.isActive());
        EXPECT_FALSE(player()->isVisibleTo(Form1));
        EXPECT_EQ(player()->Movie(), sample());
        EXPECT_EQ(Form2->Label3->text(), QStringLiteral("岚枫flash播放器"));
        EXPECT_EQ(Form1->cellMenu(1)->parent(), Form1);
        if (count == 1) expectCells(list, {0, -1, -1, -1, -1, -1, -1, -1, -1});
        if (count == 8) expectCells(list, {0, 1, 2, 3, 4, 5, 6, 7, -1});
        const auto places = lanfeng::gridCellRects(player()->geometry());
        for (int n = 1; n <= 9; ++n) EXPECT_EQ(cell(n)->geometry(), places[n - 1]);
        Form1->Button1Click();
    }
}

TEST_F(Pages, NineEntriesEndOnAnEmptyPage) {
    const QStringList list = makeEntries(9);
    Form1->N30Click();
    EXPECT_TRUE(Form1->ToolBar2->isVisibleTo(Form1));
    EXPECT_EQ(label(), "共2页；第1页");
    expectCells(list, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    Form1->ToolButton9Click();
    EXPECT_EQ(label(), "共2页；第2页");
    expectCells(list, {-1, -1, -1, -1, -1, -1, -1, -1, -1});
    Form1->ToolButton9->click();  // the last page reloads itself
    EXPECT_EQ(Form1->PreviewPage, 1);
    EXPECT_EQ(label(), "共2页；第2页");
    Form1->ToolButton8->click();
    EXPECT_EQ(label(), "共2页；第1页");
    expectCells(list, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    Form1->ToolButton8Click();  // the first page reloads itself
    EXPECT_EQ(Form1->PreviewPage, 0);
    expectCells(list, {0, 1, 2, 3, 4, 5, 6, 7, 8});
}

TEST_F(Pages, TwentyEntriesByPageButtonsAndJumps) {
    const QStringList list = makeEntries(20);
    Form1->N30Click();
    EXPECT_EQ(label(), "共3页；第1页");
    Form1->ToolButton9Click();
    Form1->ToolButton9Click();
    EXPECT_EQ(label(), "共3页；第3页");
    expectCells(list, {18, 19, -1, -1, -1, -1, -1, -1, -1});

    // 2: the number stays in the box; next goes on to page 3.
    Form1->Edit1->setText("2");
    Form1->Button2->click();
    EXPECT_EQ(label(), "共3页；第2页");
    expectCells(list, {9, 10, 11, 12, 13, 14, 15, 16, 17});
    EXPECT_EQ(Form1->Edit1->text(), "2");
    Form1->ToolButton9Click();
    EXPECT_EQ(label(), "共3页；第3页");
    // 3, the last page: the box empties.
    Form1->Edit1->setText("3");
    Form1->Button2->click();
    expectCells(list, {18, 19, -1, -1, -1, -1, -1, -1, -1});
    EXPECT_TRUE(Form1->Edit1->text().isEmpty());
    EXPECT_TRUE(prompt->messages.empty());

    // Outside 1 to 3 and the empty box: told, nothing changes.
    Form1->Edit1->setText("2");
    Form1->Button2->click();
    for (const char* wrong : {"4", "0", "", "-1"}) {
        SCOPED_TRACE(wrong);
        prompt->messages.clear();
        Form1->Edit1->setText(QString::fromLatin1(wrong));
        Form1->Button2->click();
        ASSERT_EQ(messageTexts(), QStringList{kWrongNumber});
        EXPECT_EQ(Form1->PreviewPage, 1);
        EXPECT_EQ(label(), "共3页；第2页");
        expectCells(list, {9, 10, 11, 12, 13, 14, 15, 16, 17});
    }
    // A new entry of the list preview starts on the first page again.
    Form1->Button1Click();
    EXPECT_EQ(Form1->PreviewPage, 1);
    Form1->N30Click();
    EXPECT_EQ(Form1->PreviewPage, 0);
    EXPECT_EQ(label(), "共3页；第1页");
}

TEST_F(Pages, EveryNonDigitTypedIsToldAndStillEnteredAndALetterIsAConversionError) {
    const QStringList list = makeEntries(20);
    Form1->N30Click();
    Form1->ToolButton9Click();
    Form1->activateWindow();
    Form1->Edit1->setFocus();
    QTest::keyClicks(Form1->Edit1, "1a");
    EXPECT_EQ(messageTexts(), QStringList{kDigitsOnly});
    EXPECT_EQ(Form1->Edit1->text(), "1a");
    QTest::keyClick(Form1->Edit1, Qt::Key_Backspace);
    EXPECT_EQ(messageTexts(), QStringList(2, kDigitsOnly));
    EXPECT_EQ(Form1->Edit1->text(), "1");
    QTest::keyClicks(Form1->Edit1, "x");
    prompt->messages.clear();

    // The click goes through the application, whose general error box shows the conversion.
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].kind, lanfeng::MessageKind::Error);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("'1x' is not a valid integer value"));
    EXPECT_EQ(Form1->PreviewPage, 1);
    EXPECT_EQ(label(), "共3页；第2页");
    expectCells(list, {9, 10, 11, 12, 13, 14, 15, 16, 17});
}

TEST_F(Pages, AnEmptyPlaylistIsToldAndTheSingleViewStays) {
    const QString movie = makeMovie("one.swf", 20);
    play(movie);
    Form2->Timer1.start();
    Form4->setEntries({});
    Form1->N30Click();
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].text, QStringLiteral("播放列表为空，请添加文件！"));
    EXPECT_EQ(prompt->messages[0].caption, QStringLiteral("预览清单"));
    EXPECT_FALSE(Form1->gridShown());
    EXPECT_TRUE(player()->isVisibleTo(Form1));
    EXPECT_EQ(player()->Movie(), movie);
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_TRUE(Form2->Timer1.isActive());
}

TEST_F(Pages, AListThatShrankUnderThePageGivesTheSampleToPlacesPastItsEnd) {
    QStringList list = makeEntries(20);
    Form1->N30Click();
    Form1->Edit1->setText("3");
    Form1->Button2->click();
    list = list.mid(0, 12);
    Form4->setEntries(list);
    // Still on page 3 of a list that has two: "下一页" goes to its last page.
    Form1->ToolButton9Click();
    EXPECT_EQ(label(), "共2页；第2页");
    expectCells(list, {9, 10, 11, -1, -1, -1, -1, -1, -1});
    Form4->setEntries(list.mid(0, 4));
    Form1->ToolButton8Click();  // page 1, now past the end of the list
    EXPECT_EQ(label(), "共1页；第1页");
    expectCells(list, {0, 1, 2, 3, -1, -1, -1, -1, -1});
    Form4->setEntries(list.mid(0, 2));
    Form1->Edit1->setText("1");
    Form1->Button2->click();
    expectCells(list, {0, 1, -1, -1, -1, -1, -1, -1, -1});
}

TEST_F(ListPreview, ThePageBarLiesAsDesignedAndIsDraggedByItselfAndItsLabels) {
    EXPECT_EQ(Form1->ToolBar2->geometry(), QRect(8, 32, 313, 28));
    struct Item {
        QWidget* widget;
        int left, width;
    };
    const Item items[] = {{Form1->ToolButton7, 0, 8},    {Form1->ToolButton8, 8, -1},
                          {Form1->ToolButton9, 31, -1},  {Form1->Label1, 54, 105},
                          {Form1->Label2, 159, 39},      {Form1->Edit1, 198, 42},
                          {Form1->ToolButton10, 240, 8}, {Form1->Button2, 248, 36}};
    for (const Item& item : items) {
        EXPECT_EQ(item.widget->parent(), Form1->ToolBar2);
        EXPECT_EQ(item.widget->x(), item.left) << item.widget->objectName().toStdString();
        if (item.width > 0) EXPECT_EQ(item.widget->width(), item.width);
    }
    EXPECT_EQ(Form1->ToolButton8->toolTip(), "上一页");
    EXPECT_EQ(Form1->ToolButton9->toolTip(), "下一页");
    EXPECT_EQ(Form1->Label2->text(), " 跳至：");
    EXPECT_EQ(Form1->Button2->text(), "确定");
    EXPECT_EQ(Form1->Label1->size(), QSize(105, 22));

    // The grip stays under the pointer, whichever of the three took the press.
    press(Form1->Label1, {5, 5});
    moveTo(Form1->Label1, {25, 15});
    EXPECT_EQ(Form1->ToolBar2->pos(), QPoint(28, 42));
    release(Form1->Label1, {25, 15});
    moveTo(Form1->Label1, {60, 60});
    EXPECT_EQ(Form1->ToolBar2->pos(), QPoint(28, 42));
    press(Form1->ToolBar2, {300, 4});
    moveTo(Form1->ToolBar2, {280, -36});  // no bound keeps it in the window
    EXPECT_EQ(Form1->ToolBar2->pos(), QPoint(8, 2));
    release(Form1->ToolBar2, {280, -36});
    press(Form1->Label2, {0, 0}, Qt::RightButton);
    moveTo(Form1->Label2, {-20, -10});
    release(Form1->Label2, {-20, -10}, Qt::RightButton);
    EXPECT_EQ(Form1->ToolBar2->pos(), QPoint(-12, -8));
    EXPECT_FALSE(Form1->PageBarDragging);
}

}  // namespace
