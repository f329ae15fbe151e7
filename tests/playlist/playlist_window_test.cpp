#include <QDropEvent>
#include <QMimeData>
#include <QStringEncoder>
#include <QUrl>

#include "panel/tform2.h"
#include "playlist/list_file.h"
#include "playlist/tform6.h"
#include "tests/playlist/playlist_fixture.h"
#include "ui/error.h"

namespace {

const QString kMissing = QStringLiteral("已不存在！");
const QString kNotSwf = QStringLiteral("这不是一个swf格式的flash文件！！！！");

TEST_F(PlaylistWindow, DocksBelowThePanelWithItsMenuInOrder) {
    start();
    EXPECT_EQ(Form4->geometry(), QRect(94, 295, 295, 180));
    EXPECT_EQ(Form4->ListBox1->geometry(), QRect(16, 20, 295 - 32, 180 - 20 - 27));
    EXPECT_EQ(Form4->rb->geometry().bottomRight(), QPoint(294, 179));
    EXPECT_EQ(Form4->Label1->x(), (295 - Form4->Label1->width()) / 2);
    QStringList captions;
    for (QAction* a : Form4->PopupMenu1->actions())
        captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(
        captions.join(' '),
        QStringLiteral("添加文件 添加目录 - 动画另存 - 删除全部 删除选择 - 保存清单 打开清单"));
}

TEST_F(PlaylistWindow, ResizingSnapsBackToThePanelsWidthAnd100High) {
    start();
    Form4->resize(120, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(Form4->size(), QSize(295, 100));
    // Dragging the grip grows the window and the list follows.
    Form4->rbMouseDown(Qt::LeftButton, {5, 5});
    Form4->rbMouseMove({45, 65});
    Form4->rbMouseUp(Qt::LeftButton, {45, 65});
    EXPECT_EQ(Form4->size(), QSize(335, 160));
    EXPECT_EQ(Form4->ListBox1->size(), QSize(335 - 32, 160 - 20 - 27));
    Form4->rbMouseMove({-500, -500});  // no longer sizing
    EXPECT_EQ(Form4->size(), QSize(335, 160));
    Form4->top1MouseDown(Qt::LeftButton, {10, 10});
    Form4->top1MouseMove({30, 5});
    Form4->top1MouseUp(Qt::LeftButton, {30, 5});
    EXPECT_EQ(Form4->pos(), QPoint(94 + 20, 295 - 5));
}

TEST_F(PlaylistWindow, DoubleClickSkipsAMissingEntryAndPlaysTheOthers) {
    start();
    const QString a = makeMovie("a.swf");
    Form4->setEntries({root + "gone.swf", a, root + "other.swf"});
    select({0, 1});
    Form4->ListBox1DblClick();
    EXPECT_EQ(messageTexts(), QStringList{root + "gone.swf" + kMissing});
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), a);
    EXPECT_TRUE(Form2->Timer1.isActive());
    EXPECT_EQ(listed().size(), 3);

    // Only a missing entry: the player keeps its movie.
    select({2});
    Form4->ListBox1DblClick();
    EXPECT_EQ(prompt->messages.size(), 2u);
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), a);
}

TEST_F(PlaylistWindow, DoubleClickLeavesTheGridAndHidesThePageBar) {
    start();
    const QString a = makeMovie("a.swf");
    const QString b = makeMovie("b.swf");
    for (PlayerControl* cell : Form1->gridCells) {
        cell->Movie(b);
        cell->show();
    }
    Form1->ShockwaveFlash1->hide();
    Form1->ToolBar2->show();
    Form4->setEntries({a});
    select({0});
    Form4->ListBox1DblClick();
    for (PlayerControl* cell : Form1->gridCells) {
        EXPECT_FALSE(cell->isVisibleTo(Form1));
        EXPECT_EQ(cell->Movie(), root + "bin/sample.swf");
    }
    EXPECT_TRUE(Form1->ShockwaveFlash1->isVisibleTo(Form1));
    EXPECT_EQ(Form1->ShockwaveFlash1->Movie(), a);
    EXPECT_FALSE(Form1->ToolBar2->isVisibleTo(Form1));
}

TEST_F(PlaylistWindow, DropsTakeExactSwfFilesOnlyAndIgnoreFolders) {
    start();
    const QString a = makeMovie("a.swf");
    const QString caps = makeMovie("B.SWF");
    QDir().mkpath(root + "folder.swf");
    testmovies::writeFile(root + "noext", "x");
    // A real drop on the list, as the window system delivers it.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(caps),
                  QUrl::fromLocalFile(root + "folder.swf"), QUrl::fromLocalFile(root + "noext"),
                  QUrl::fromLocalFile(root + "gone.swf")});
    QWidget* target = Form4->ListBox1->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(listed(), QStringList{a});
    EXPECT_EQ(messageTexts(), QStringList(2, kNotSwf));
}

TEST_F(PlaylistWindow, AFolderAddsItsOwnSwfFilesEachTimeItIsChosen) {
    start();
    const QString a = makeMovie("movies/a.swf");
    const QString hidden = makeMovie("movies/.hidden.swf");
    makeMovie("movies/deeper/c.swf");
    testmovies::writeFile(root + "movies/notes.txt", "x");
    QDir().mkpath(root + "movies/dir.swf");
    Form6->ShellTreeView1->setCurrentIndex(Form6->folders->index(root + "movies"));
    Form6->ShellTreeView1DblClick();
    QStringList once = listed();
    once.sort();
    EXPECT_EQ(once, (QStringList{hidden, a}));
    Form6->ShellTreeView1DblClick();
    EXPECT_EQ(listed().size(), 4);
    EXPECT_TRUE(prompt->messages.empty());

    // No folder chosen, or one without movies: nothing, and nothing said.
    Form6->ShellTreeView1->setCurrentIndex({});
    Form6->ShellTreeView1DblClick();
    QDir().mkpath(root + "empty");
    Form6->ShellTreeView1->setCurrentIndex(Form6->folders->index(root + "empty"));
    Form6->ShellTreeView1DblClick();
    EXPECT_EQ(listed().size(), 4);
    EXPECT_TRUE(prompt->messages.empty());

    Form4->N8Click();
    EXPECT_TRUE(Form6->isVisible());
    Form6->Button1->click();
    EXPECT_FALSE(Form6->isVisible());
}

TEST_F(PlaylistWindow, AddFilesAppendsTheChosenMoviesInOrder) {
    start();
    Form4->setEntries({"/x.swf"});
    prompt->fileAnswers.push_back({root + "b.swf", root + "a.swf"});
    Form4->N1Click();
    Form4->N1Click();  // cancelled
    EXPECT_EQ(listed(), (QStringList{"/x.swf", root + "b.swf", root + "a.swf"}));
    ASSERT_EQ(prompt->fileRequests.size(), 2u);
    const lanfeng::FileRequest& r = prompt->fileRequests[0];
    EXPECT_EQ(r.mode, lanfeng::FileRequest::OpenMany);
    EXPECT_EQ(r.title, QStringLiteral("请添加flash文件"));
    EXPECT_EQ(r.filter, QStringLiteral("flash动画(*.swf)|*.swf"));
    EXPECT_TRUE(r.fileName.isEmpty());
}

TEST_F(PlaylistWindow, SaveMoviesAsProposesTheTitleAndAppendsSwf) {
    start();
    const QString ab = makeMovie("in/a.b.swf");
    const QString plain = makeMovie("in/plain");
    QDir().mkpath(root + "out");
    Form4->setEntries({ab, plain, ab});
    select({0, 1, 2});
    prompt->fileAnswers.push_back({root + "out/x"});
    prompt->fileAnswers.push_back({});  // cancelled
    prompt->fileAnswers.push_back({root + "out/y.swf"});
    Form4->N10Click();
    ASSERT_EQ(prompt->fileRequests.size(), 3u);
    EXPECT_EQ(prompt->fileRequests[0].fileName, QStringLiteral("a"));
    EXPECT_EQ(prompt->fileRequests[0].title, QStringLiteral("flash动画另存为"));
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("flash动画文件(*.swf)|*.swf"));
    EXPECT_EQ(prompt->fileRequests[0].mode, lanfeng::FileRequest::Save);
    EXPECT_EQ(prompt->fileRequests[1].fileName, QString());
    EXPECT_EQ(readAll(root + "out/x.swf"), readAll(ab));
    EXPECT_EQ(readAll(root + "out/y.swf.swf"), readAll(ab));
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("你不保存了！")});
    EXPECT_EQ(QDir(root + "out").entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(PlaylistWindow, SaveMovieAsOntoItselfKeepsTheMovie) {
    start();
    const QString a = makeMovie("a.swf");
    const QByteArray before = readAll(a);
    Form4->setEntries({a});
    select({0});
    prompt->fileAnswers.push_back({root + "a"});
    Form4->N10Click();
    EXPECT_EQ(messageTexts(), QStringList{QStringLiteral("目标文件与原文件相同！")});
    EXPECT_EQ(readAll(a), before);

    // A source that has gone: the command ends with the file error.
    Form4->setEntries({root + "gone.swf", a});
    select({0, 1});
    prompt->fileAnswers.push_back({root + "copy"});
    prompt->fileAnswers.push_back({root + "copy2"});
    EXPECT_THROW(Form4->N10Click(), lanfeng::Error);
    EXPECT_FALSE(QFile::exists(root + "copy.swf"));
    EXPECT_FALSE(QFile::exists(root + "copy2.swf"));
}

TEST_F(PlaylistWindow, RemoveSelectedAndRemoveAll) {
    start();
    QStringList many;
    for (int i = 0; i < 200; ++i) many << QStringLiteral("/m/%1.swf").arg(i);
    Form4->setEntries(many);
    select({1, 3});
    Form4->N4Click();
    EXPECT_EQ(listed().mid(0, 3), (QStringList{"/m/0.swf", "/m/2.swf", "/m/4.swf"}));
    Form4->ListBox1->selectAll();
    Form4->ListBox1->item(5)->setSelected(false);
    Form4->N4Click();  // many at once
    EXPECT_EQ(listed(), QStringList{"/m/7.swf"});
    Form4->N3Click();
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(PlaylistWindow, SaveListAppendsLflAndRemembersTheName) {
    start();
    Form4->setEntries({"/a.swf", "", "/b.swf"});
    prompt->fileAnswers.push_back({root + "mine"});
    Form4->N6Click();
    EXPECT_EQ(readAll(root + "mine.lfl"), QByteArray("/a.swf\r\n\r\n/b.swf\r\n"));
    Form4->N6Click();  // cancelled: nothing written, the name is proposed again
    ASSERT_EQ(prompt->fileRequests.size(), 2u);
    EXPECT_EQ(prompt->fileRequests[0].title, QStringLiteral("保存flash列表"));
    EXPECT_EQ(prompt->fileRequests[0].filter, QStringLiteral("flash列表(*.lfl)|*.lfl"));
    EXPECT_EQ(prompt->fileRequests[1].fileName, root + "mine");

    Form4->N3Click();
    prompt->fileAnswers.push_back({root + "empty.lfl"});
    Form4->N6Click();
    EXPECT_TRUE(QFile::exists(root + "empty.lfl.lfl"));
    EXPECT_EQ(readAll(root + "empty.lfl.lfl"), QByteArray());
}

TEST_F(PlaylistWindow, OpenListReplacesTheListOrLeavesItOnError) {
    start();
    testmovies::writeFile(root + "l.lfl", "/x.swf\n\n/y.swf");
    testmovies::writeFile(root + "e.lfl", "");
    Form4->setEntries({"/old.swf"});
    prompt->fileAnswers.push_back({root + "gone.lfl"});
    EXPECT_THROW(Form4->N7Click(), lanfeng::Error);
    EXPECT_EQ(listed(), QStringList{"/old.swf"});
    prompt->fileAnswers.push_back({root + "l.lfl", root + "e.lfl"});
    Form4->N7Click();
    EXPECT_EQ(listed(), (QStringList{"/x.swf", "", "/y.swf"}));
    prompt->fileAnswers.push_back({root + "e.lfl"});
    Form4->N7Click();
    EXPECT_TRUE(listed().isEmpty());
    const lanfeng::FileRequest& r = prompt->fileRequests.back();
    EXPECT_EQ(r.title, QStringLiteral("请选择flash文件列表"));
    EXPECT_EQ(r.filter, QStringLiteral("flash文件列表(*.lfl)|*.lfl"));
    EXPECT_TRUE(r.fileName.isEmpty());
}

TEST_F(PlaylistWindow, NoArgumentAndNoDefaultListStartsEmptyAndLeavesAnEmptyFile) {
    start();
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_FALSE(QFile::exists(root + "bin/default.lfl"));
    stop();
    EXPECT_TRUE(QFile::exists(root + "bin/default.lfl"));
    EXPECT_EQ(readAll(root + "bin/default.lfl"), QByteArray());
    EXPECT_TRUE(prompt->messages.empty());
}

TEST_F(PlaylistWindow, TheDefaultListComesBackAndTheCommandLineMovieJoinsItOnce) {
    const QString a = makeMovie("a.swf");
    const QString c = makeMovie("c.swf");
    testmovies::writeFile(root + "bin/default.lfl", ("/m/x.swf\r\n\r\n" + a + "\r\n").toUtf8());
    start({c});
    EXPECT_EQ(listed(), (QStringList{"/m/x.swf", "", a, c}));
    stop();
    EXPECT_EQ(readAll(root + "bin/default.lfl"),
              ("/m/x.swf\r\n\r\n" + a + "\r\n" + c + "\r\n").toUtf8());

    // Named again in other letters (a file of its own here): already listed.
    start({makeMovie("C.swf")});
    EXPECT_EQ(listed().size(), 4);
    stop();
    // A path that names no file: just the default list.
    start({root + "gone.swf"});
    EXPECT_EQ(listed(), (QStringList{"/m/x.swf", "", a, c}));
}

TEST_F(PlaylistWindow, ADefaultListFromTheOriginalPlatformKeepsItsChinesePaths) {
    const QString path = QStringLiteral("D:\\岚枫\\动画.swf");
    testmovies::writeFile(root + "bin/default.lfl",
                          QByteArray(QStringEncoder("GB18030").encode(path)) + "\r\n");
    start();
    EXPECT_EQ(listed(), QStringList{path});
    stop();
    EXPECT_EQ(readAll(root + "bin/default.lfl"), (path + "\r\n").toUtf8());
}

TEST_F(PlaylistWindow, AnUnreadableDefaultListIsReportedAndNotOverwritten) {
    {
        QFile f(root + "bin/default.lfl");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(lanfeng::kMaxListFileBytes + 1));
    }
    start();
    ASSERT_EQ(prompt->messages.size(), 1u);
    EXPECT_EQ(prompt->messages[0].kind, lanfeng::MessageKind::Error);
    EXPECT_TRUE(listed().isEmpty());
    stop();
    EXPECT_EQ(QFileInfo(root + "bin/default.lfl").size(), lanfeng::kMaxListFileBytes + 1);
}

}  // namespace
