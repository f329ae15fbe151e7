#include "app/application.h"

#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "app/forms.h"
#include "ui/error.h"

namespace lanfeng {

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    // Only async-signal-safe work here; the event loop does the rest.
    char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}
}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("lanfeng"));
    setApplicationDisplayName(QStringLiteral("岚枫flash播放器"));
    setApplicationVersion(QStringLiteral("1.782"));
    setQuitOnLastWindowClosed(false);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        signalNotifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
        connect(signalNotifier_, &QSocketNotifier::activated, this, [this] {
            char byte;
            [[maybe_unused]] ssize_t n = ::read(signalPipe[1], &byte, 1);
            emit quitRequested();
        });
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }
    connect(this, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { emit quitRequested(); });
}

Application::~Application() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportError(e.what());
    }
    return false;
}

}  // namespace lanfeng
