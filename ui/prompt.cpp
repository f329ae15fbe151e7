#include "ui/prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace lanfeng {

namespace {
std::unique_ptr<Prompt>& current() {
    static std::unique_ptr<Prompt> p = std::make_unique<QtPrompt>();
    return p;
}

// "Text (*.a)|*.a|All|*.*" pairs -> Qt's ";;" name filters.
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QStringLiteral("%1 (%2)").arg(parts[i].section('(', 0, 0).trimmed(), patterns);
    }
    return out.join(QStringLiteral(";;"));
}
}  // namespace

Prompt& prompt() { return *current(); }

std::unique_ptr<Prompt> installPrompt(std::unique_ptr<Prompt> next) {
    std::unique_ptr<Prompt> previous = std::move(current());
    current() = next ? std::move(next) : std::make_unique<QtPrompt>();
    return previous;
}

bool QtPrompt::message(const QString& text, const QString& caption, MessageKind kind,
                       QWidget* parent) {
    switch (kind) {
        case MessageKind::Question:
            return QMessageBox::question(parent, caption, text) == QMessageBox::Yes;
        case MessageKind::Error:
            QMessageBox::critical(parent, caption, text, QMessageBox::Ok);
            return true;
        case MessageKind::Warning:
            QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
            return true;
        case MessageKind::Information:
            break;
    }
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    return true;
}

QStringList QtPrompt::chooseFiles(const FileRequest& r, QWidget* parent) {
    QString start = r.fileName.isEmpty() ? r.directory : r.fileName;
    switch (r.mode) {
        case FileRequest::Open: {
            QString f = QFileDialog::getOpenFileName(parent, r.title, start, qtFilter(r.filter));
            return f.isEmpty() ? QStringList{} : QStringList{f};
        }
        case FileRequest::OpenMany:
            return QFileDialog::getOpenFileNames(parent, r.title, start, qtFilter(r.filter));
        case FileRequest::Save: {
            const auto options = r.confirmOverwrite ? QFileDialog::Options()
                                                    : QFileDialog::DontConfirmOverwrite;
            QString f = QFileDialog::getSaveFileName(parent, r.title, start, qtFilter(r.filter),
                                                     nullptr, options);
            return f.isEmpty() ? QStringList{} : QStringList{f};
        }
        case FileRequest::Folder: {
            QString d = QFileDialog::getExistingDirectory(parent, r.title, start);
            return d.isEmpty() ? QStringList{} : QStringList{d};
        }
    }
    return {};
}

bool ScriptedPrompt::message(const QString& text, const QString& caption, MessageKind kind,
                             QWidget*) {
    messages.push_back({text, caption, kind});
    if (messageAnswers.empty()) return true;
    bool answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

QStringList ScriptedPrompt::chooseFiles(const FileRequest& request, QWidget*) {
    fileRequests.push_back(request);
    if (fileAnswers.empty()) return {};
    QStringList answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

void showMessage(const QString& text, QWidget* parent) {
    prompt().message(text, QApplication::applicationDisplayName(), MessageKind::Information,
                     parent);
}

void showError(const QString& text, QWidget* parent) {
    prompt().message(text, QApplication::applicationDisplayName(), MessageKind::Error, parent);
}

}  // namespace lanfeng
