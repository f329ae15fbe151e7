#pragma once
// The program's windows in a temporary program folder with the scripted prompt; a test may
// write bin/default.lfl and choose the command line before the windows are made.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/forms.h"
#include "app/paths.h"
#include "playlist/tform4.h"
#include "tests/app/test_movies.h"
#include "ui/prompt.h"
#include "video/tform1.h"

class PlaylistWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + '/';
        lanfeng::setProgramDir(root);
        QDir().mkpath(root + "bin");
        auto scripted = std::make_unique<lanfeng::ScriptedPrompt>();
        prompt = scripted.get();
        previous = lanfeng::installPrompt(std::move(scripted));
    }
    void TearDown() override {
        stop();
        lanfeng::installPrompt(std::move(previous));
        lanfeng::setProgramDir(QString());
        lanfeng::setCommandLineArguments(QStringList{QStringLiteral("lanfeng")});
    }
    void start(const QStringList& params = {}) {
        lanfeng::setCommandLineArguments(QStringList{QStringLiteral("lanfeng")} + params);
        lanfeng::createForms();
        QCoreApplication::processEvents();
    }
    // Ends the run as the program does: the default list is written when the windows go.
    void stop() {
        if (Form1) Form1->close();
        lanfeng::destroyForms();
    }
    QString makeMovie(const QString& relative, int frames = 10) {
        const QString path = root + relative;
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(testmovies::writeFile(path, testmovies::movingSquare(frames)));
        return path;
    }
    QStringList messageTexts() const {
        QStringList out;
        for (const auto& m : prompt->messages) out << m.text;
        return out;
    }
    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QStringList listed() const { return Form4->entries(); }
    void select(std::initializer_list<int> rows) {
        Form4->ListBox1->clearSelection();
        for (int r : rows) Form4->ListBox1->item(r)->setSelected(true);
    }

    QTemporaryDir dir;
    QString root;
    lanfeng::ScriptedPrompt* prompt = nullptr;
    std::unique_ptr<lanfeng::Prompt> previous;
};
