#include "app/forms.h"

#include <QApplication>

#include "about/taboutbox.h"
#include "banner/tform5.h"
#include "panel/tform2.h"
#include "panel/tform7.h"
#include "playlist/tform4.h"
#include "playlist/tform6.h"
#include "ui/error.h"
#include "ui/prompt.h"
#include "video/tform1.h"

Tform1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TAboutBox* AboutBox = nullptr;
TForm4* Form4 = nullptr;
TForm6* Form6 = nullptr;
TForm5* Form5 = nullptr;
TForm7* Form7 = nullptr;

namespace lanfeng {

namespace {
// A creation handler that fails is reported once by the general error box; the window
// stays with whatever it had done so far, as a failed command would.
template <typename F>
void guarded(F&& step) {
    try {
        step();
    } catch (const Error& e) {
        reportError(e.what());
    } catch (const std::exception& e) {
        reportError(e.what());
    }
}
}  // namespace

void reportError(const char* what) { showError(QString::fromUtf8(what)); }

void createForms() {
    Form1 = new Tform1;
    guarded([] { Form1->FormCreate(); });
    Form2 = new TForm2;
    guarded([] { Form2->FormCreate(); });
    AboutBox = new TAboutBox;
    Form4 = new TForm4;
    guarded([] { Form4->FormCreate(); });
    Form6 = new TForm6;
    Form5 = new TForm5;
    guarded([] { Form5->FormCreate(); });
    Form7 = new TForm7;
    Form1->show();
    Form2->show();
    Form4->show();
}

void destroyForms() {
    // Reverse order of creation; the video window goes last, as the main window.
    delete Form7;
    Form7 = nullptr;
    delete Form5;
    Form5 = nullptr;
    delete Form6;
    Form6 = nullptr;
    delete Form4;
    Form4 = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
}

}  // namespace lanfeng
