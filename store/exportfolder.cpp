// SPDX-License-Identifier: MIT
#include "store/exportfolder.h"

#include "store/filesafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <set>

namespace {

StoreError failed(const StoreError &failure, const QString &what, const QString &path)
{
    return failure.told(QStringLiteral("Cannot %1 '%2': %3").arg(what, path, failure.reasonText()));
}

} // namespace

StoreError writePrivateFile(const QString &folder, const QString &fileName, std::string_view text)
{
    if (const StoreError failure = ensureFolder(nativePath(folder)))
        return failed(failure, QStringLiteral("create the folder"), folder);
    const QString path = QDir(folder).filePath(fileName);
    TemporaryFile file;
    StoreError failure = file.create(nativePath(path));
    if (!failure)
        failure = writeAll(file.fd(), text.data(), text.size(), {});
    if (!failure)
        failure = file.replaceTarget();
    return failure ? failed(failure, QStringLiteral("write"), path) : StoreError();
}

StoreError copyModuleFiles(const QString &folder, const QString &subfolder, const std::vector<ModuleFile> &files,
                           QStringList *copied)
{
    const QString target = QDir(folder).filePath(subfolder);
    if (const StoreError failure = ensureFolder(nativePath(target)))
        return failed(failure, QStringLiteral("create the folder"), target);
    std::set<QString> sources;
    std::set<QString> names;
    for (const ModuleFile &module : files) {
        const QString source = QString::fromStdString(module.file);
        // One file may hold several modules.
        if (!sources.insert(source).second)
            continue;
        QString name = QFileInfo(source).fileName();
        if (!names.insert(name).second)
            names.insert(name = QString::fromStdString(module.module) + QStringLiteral(".mib"));
        const QString path = QDir(target).filePath(name);
        QFile::remove(path);
        QFile input(source);
        if (!input.copy(path)) {
            const int reason = input.error() == QFileDevice::OpenError && !QFileInfo::exists(source) ? ENOENT : EIO;
            return StoreError(reason).told(
                QStringLiteral("Cannot copy '%1' to '%2': %3").arg(source, path, input.errorString()));
        }
        if (copied)
            *copied << path;
    }
    return {};
}
