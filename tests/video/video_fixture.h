#pragma once
// The running program's windows in a temporary program folder, with the scripted prompt, and
// mouse events sent straight to a widget.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "app/forms.h"
#include "app/paths.h"
#include "tests/app/mouse_events.h"
#include "tests/app/test_movies.h"
#include "ui/prompt.h"
#include "video/tform1.h"

class VideoWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + '/';
        lanfeng::setProgramDir(root);
        auto scripted = std::make_unique<lanfeng::ScriptedPrompt>();
        prompt = scripted.get();
        previous = lanfeng::installPrompt(std::move(scripted));
        lanfeng::setCommandLineArguments(QStringList{QStringLiteral("lanfeng")});
        lanfeng::createForms();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        if (Form1) Form1->close();
        lanfeng::destroyForms();
        lanfeng::installPrompt(std::move(previous));
        lanfeng::setProgramDir(QString());
    }
    QString makeMovie(const QString& name) {
        const QString path = root + name;
        EXPECT_TRUE(testmovies::writeFile(path, testmovies::movingSquare(10)));
        return path;
    }
    static void mouse(QWidget* w, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::LeftButton) {
        testmouse::send(w, type, pos, button);
    }
    static void press(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        mouse(w, QEvent::MouseButtonPress, pos, b);
    }
    static void moveTo(QWidget* w, QPoint pos) { mouse(w, QEvent::MouseMove, pos); }
    static void release(QWidget* w, QPoint pos, Qt::MouseButton b = Qt::LeftButton) {
        mouse(w, QEvent::MouseButtonRelease, pos, b);
    }

    QTemporaryDir dir;
    QString root;
    lanfeng::ScriptedPrompt* prompt = nullptr;
    std::unique_ptr<lanfeng::Prompt> previous;
};
