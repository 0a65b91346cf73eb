#include "FileSystem.h"

#include <QDir>
#include <QFileInfo>

SystemError makeFolders(const NativePath &folder)
{
    if (lookAtEntry(folder).exists)
        return {};
    const QString parent = QDir::toNativeSeparators(QFileInfo(folder.path()).path());
    if (parent != folder.path()) {
        if (const std::optional<NativePath> up = NativePath::from(parent)) {
            if (const SystemError error = makeFolders(*up))
                return error;
        }
    }
    return makeFolder(folder);
}
