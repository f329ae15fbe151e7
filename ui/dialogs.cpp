#include "ui/dialogs.h"

#include "ui/prompt.h"

namespace lanfeng {

bool FileDialog::run(bool save, QWidget* parent) {
    FileRequest request;
    if (save)
        request.mode = FileRequest::Save;
    else
        request.mode =
            options.testFlag(AllowMultiSelect) ? FileRequest::OpenMany : FileRequest::Open;
    request.title = Title;
    request.filter = Filter;
    request.fileName = FileName;
    request.directory = InitialDir;
    request.confirmOverwrite = options.testFlag(OverwritePrompt);
    QStringList chosen = prompt().chooseFiles(request, parent);
    chosen.removeAll(QString());
    if (chosen.isEmpty()) return false;
    if (request.mode != FileRequest::OpenMany) chosen = chosen.mid(0, 1);
    Files = chosen;
    FileName = chosen.first();
    return true;
}

}  // namespace lanfeng
