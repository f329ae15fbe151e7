#include "app/application.h"
#include "app/forms.h"
#include "video/tform1.h"

int main(int argc, char** argv) {
    lanfeng::Application app(argc, argv);
    lanfeng::createForms();
    QObject::connect(Form1, &Tform1::closed, &app, &QCoreApplication::quit);
    QObject::connect(&app, &lanfeng::Application::quitRequested, Form1, &QWidget::close);
    const int code = app.exec();
    lanfeng::destroyForms();
    return code;
}
