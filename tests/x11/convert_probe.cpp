// Makes a projector with "swf->exe" and a screen saver with "屏幕保护" as a user would, the
// dialogs answered by the scripted prompt: convert_probe PROGRAM_DIR MOVIE OUTPUT_BASE.
// The screen saver goes to LANFENG_SCREENSAVER_DIR.
#include <QFile>

#include "app/application.h"
#include "app/forms.h"
#include "app/paths.h"
#include "panel/tform2.h"
#include "ui/prompt.h"
#include "video/tform1.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    lanfeng::Application app(argc, argv);
    lanfeng::setProgramDir(QString::fromLocal8Bit(argv[1]));
    auto prompt = std::make_unique<lanfeng::ScriptedPrompt>();
    lanfeng::ScriptedPrompt* scripted = prompt.get();
    lanfeng::installPrompt(std::move(prompt));
    lanfeng::setCommandLineArguments({QStringLiteral("lanfeng")});
    lanfeng::createForms();
    const QString movie = QString::fromLocal8Bit(argv[2]);
    scripted->fileAnswers = {{movie}, {QString::fromLocal8Bit(argv[3])}};
    int code = 0;
    try {
        Form2->swf2exe1Click();
        Form1->ShockwaveFlash1->Movie(movie);
        Form2->Timer1Timer();  // the player's hint: the movie's title
        Form1->N29Click();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "convert_probe: %s\n", e.what());
        code = 1;
    }
    for (const auto& m : scripted->messages) std::printf("%s\n", qPrintable(m.text));
    lanfeng::destroyForms();
    return code;
}
