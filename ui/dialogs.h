#pragma once
// The common file dialogs as objects a window owns: each keeps its filter, title and file name
// between uses, and commands of other windows may set them and run the same dialog. Running
// one goes through the prompt seam.

#include <QFlags>
#include <QString>
#include <QStringList>

class QWidget;

namespace lanfeng {

class FileDialog {
public:
    enum Option {
        HideReadOnly = 0x1,
        AllowMultiSelect = 0x2,
        FileMustExist = 0x4,
        PathMustExist = 0x8,
        EnableSizing = 0x10,
        OverwritePrompt = 0x20,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // "Text|*.ext|Text|*.ext" pairs.
    QString Filter;
    QString Title;
    // The chosen name after Execute(); set beforehand, it is the name proposed.
    QString FileName;
    // Every chosen name, in the dialog's order.
    QStringList Files;
    QString InitialDir;
    Options options;

protected:
    FileDialog() = default;
    ~FileDialog() = default;
    // Cancelled: false, FileName and Files as they were.
    bool run(bool save, QWidget* parent);
};

class OpenDialog : public FileDialog {
public:
    bool Execute(QWidget* parent = nullptr) { return run(false, parent); }
};

class SaveDialog : public FileDialog {
public:
    bool Execute(QWidget* parent = nullptr) { return run(true, parent); }
};

}  // namespace lanfeng

Q_DECLARE_OPERATORS_FOR_FLAGS(lanfeng::FileDialog::Options)
