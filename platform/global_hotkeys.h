#pragma once
// System-wide hot keys without modifiers. On X11 the keys are grabbed on the root window, so
// they reach us while another program has the keyboard and no other client can grab them;
// elsewhere they fall back to application-wide shortcuts.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <vector>

class QShortcut;
class QWidget;

namespace lanfeng {

class GlobalHotKeys : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // window receives the fallback shortcuts when there is no X server.
    explicit GlobalHotKeys(QWidget* window);
    ~GlobalHotKeys() override;

    // Registers a Windows-style virtual key (27 Esc, 121 F10). Returns false when the key is
    // held by another client; callers are free to ignore that.
    bool registerKey(int virtualKey);
    void releaseAll();
    bool usesX11() const { return display_ != nullptr; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void hotKey(int virtualKey);

private:
    struct Grab {
        int virtualKey;
        unsigned keycode;
        QShortcut* shortcut;
    };
    QWidget* window_;
    void* display_ = nullptr;  // Display*, kept opaque so Xlib's macros stay out of headers
    unsigned long root_ = 0;
    std::vector<Grab> grabs_;
};

}  // namespace lanfeng
