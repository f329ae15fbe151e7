// The preview suite runs on Qt's offscreen platform with the scripted prompt installed, so
// nothing ever waits on a modal window.
#include <gtest/gtest.h>

#include "app/application.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    lanfeng::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
