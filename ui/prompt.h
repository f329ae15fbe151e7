#pragma once
// Every modal interaction goes through one replaceable object, so tests never block on a
// window: the program installs QtPrompt, tests install ScriptedPrompt.

#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace lanfeng {

enum class MessageKind { Information, Warning, Error, Question };

struct FileRequest {
    enum Mode { Open, OpenMany, Save, Folder } mode = Open;
    QString title;
    QString filter;  // "Flash movies (*.swf)|*.swf|All (*.*)|*.*" style pairs
    QString fileName;
    QString directory;
    bool confirmOverwrite = true;  // Save only: ask before replacing an existing file
};

class Prompt {
public:
    virtual ~Prompt() = default;
    // Returns true when the user accepted (OK/Yes).
    virtual bool message(const QString& text, const QString& caption, MessageKind kind,
                         QWidget* parent) = 0;
    // The chosen paths; empty when cancelled.
    virtual QStringList chooseFiles(const FileRequest& request, QWidget* parent) = 0;
};

// The prompt in force; never null.
Prompt& prompt();
// Installs a new prompt and returns the previous one.
std::unique_ptr<Prompt> installPrompt(std::unique_ptr<Prompt> next);

class QtPrompt : public Prompt {
public:
    bool message(const QString& text, const QString& caption, MessageKind kind,
                 QWidget* parent) override;
    QStringList chooseFiles(const FileRequest& request, QWidget* parent) override;
};

// Records every message and answers dialogs from queues.
class ScriptedPrompt : public Prompt {
public:
    struct Message {
        QString text, caption;
        MessageKind kind;
    };
    std::vector<Message> messages;
    std::vector<FileRequest> fileRequests;
    std::deque<bool> messageAnswers;       // default true when empty
    std::deque<QStringList> fileAnswers;  // default cancelled when empty

    bool message(const QString& text, const QString& caption, MessageKind kind,
                 QWidget* parent) override;
    QStringList chooseFiles(const FileRequest& request, QWidget* parent) override;
};

// The program's plain message box ("ShowMessage"): caption is the application name.
void showMessage(const QString& text, QWidget* parent = nullptr);
// An error-style box with a single OK button.
void showError(const QString& text, QWidget* parent = nullptr);

}  // namespace lanfeng
