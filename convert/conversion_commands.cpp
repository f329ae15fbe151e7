// The conversion commands: a SWF into a projector and back (the panel's "格式转换" menu), the
// current movie into a projector or a screen saver (the main player's menu).
#include <QFile>

#include "app/forms.h"
#include "app/paths.h"
#include "convert/projector_files.h"
#include "panel/tform2.h"
#include "platform/screensaver_folder.h"
#include "ui/prompt.h"
#include "video/tform1.h"

namespace {

// The end of both projector-making commands: the container under the chosen name + ".exe",
// the message naming it, and the stub gone. A failure raises before the message, and the stub
// stays until the program ends.
void makeProjector(const QString& movie, const QString& chosen, QWidget* parent) {
    const QString exe = chosen + QStringLiteral(".exe");
    lanfeng::packProjector(movie, exe, lanfeng::stubPath());
    lanfeng::showMessage(QStringLiteral("转换完毕！存放在") + exe, parent);
    QFile::remove(lanfeng::stubPath());
}

bool chose(lanfeng::FileDialog& dialog, bool ran) { return ran && !dialog.FileName.isEmpty(); }

}  // namespace

void TForm2::swf2exe1Click() {
    OpenDialog1.Filter = QStringLiteral("flash动画文件(*.swf)|*.swf");
    OpenDialog1.Title = QStringLiteral("请选择swf格式动画文件");
    lanfeng::prepareStub();
    if (!chose(OpenDialog1, OpenDialog1.Execute(this))) return;
    const QString swf = OpenDialog1.Files.value(0, OpenDialog1.FileName);
    SaveDialog1.Filter = QStringLiteral("flash动画文件（*.exe）|*.exe");
    SaveDialog1.Title = QStringLiteral("保存转换后的文件");
    SaveDialog1.FileName = lanfeng::proposedOutputName(swf);
    if (!chose(SaveDialog1, SaveDialog1.Execute(this))) return;
    makeProjector(swf, SaveDialog1.FileName, this);
}

void TForm2::exeswf1Click() {
    OpenDialog1.Filter = QStringLiteral("flash动画文件(*.exe)|*.exe");
    OpenDialog1.Title = QStringLiteral("请选择exe格式动画文件");
    SaveDialog1.Filter = QStringLiteral("flash动画文件（*.swf）|*.swf");
    SaveDialog1.Title = QStringLiteral("保存转换后的文件");
    if (!chose(OpenDialog1, OpenDialog1.Execute(this))) return;
    const QString exe = OpenDialog1.Files.value(0, OpenDialog1.FileName);
    SaveDialog1.FileName = lanfeng::proposedOutputName(exe);
    if (!chose(SaveDialog1, SaveDialog1.Execute(this))) return;
    // Success goes without a word; a file without a movie must not look like one.
    if (!lanfeng::unpackProjector(exe, SaveDialog1.FileName))
        lanfeng::showMessage(QStringLiteral("该文件中没有找到flash动画！"), this);
}

void Tform1::exe1Click() {
    if (!Form2) return;
    lanfeng::prepareStub();
    lanfeng::SaveDialog& save = Form2->SaveDialog1;
    save.Filter = QStringLiteral("flash动画文件(*.exe)|*.exe");
    save.Title = QStringLiteral("请保存生成的exe动画文件");
    const QString movie = ShockwaveFlash1->Movie();
    save.FileName = lanfeng::proposedOutputName(movie);
    if (!chose(save, save.Execute(this))) return;
    makeProjector(movie, save.FileName, this);
}

void Tform1::N29Click() {
    lanfeng::installScreenSaver(lanfeng::shippedFile(QStringLiteral("screen.dll")),
                                ShockwaveFlash1->Movie(), lanfeng::screenSaverFolder(),
                                ShockwaveFlash1->toolTip());
    lanfeng::showMessage(QStringLiteral("屏保已转换成功，请进入屏保设置！"), this);
}
