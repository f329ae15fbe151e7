#pragma once
// The application object: catches what commands throw and shows it in the general error box,
// and turns SIGTERM, SIGINT and the session manager's quit into an orderly close.

#include <QApplication>

class QSocketNotifier;

namespace lanfeng {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    ~Application() override;
    bool notify(QObject* receiver, QEvent* event) override;

signals:
    // Asked to end from outside: a signal or the session manager.
    void quitRequested();

private:
    QSocketNotifier* signalNotifier_ = nullptr;
};

}  // namespace lanfeng
