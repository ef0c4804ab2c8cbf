// SPDX-License-Identifier: MIT
#include "engine/mib/mibload.h"

#include "engine/mib/mibcheck.h"
#include "engine/mib/mibcheckcache.h"
#include "engine/mib/mibfiles.h"
#include "engine/mib/mibsetup.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>

namespace {

// No MIB module comes near this; a larger file is some other file chosen by mistake.
constexpr qint64 MaxMibFileSize = 64 * 1024 * 1024;

bool g_startupRead = false;
std::map<std::string, MibModuleErrors> g_errors; // by module

bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// A token as Net-SNMP's parser reads the head of a file: blanks and "--"
// comments (to the line's end or the next "--") skipped, a run of label
// characters, or one other character.
struct Token
{
    std::string text;
    int line = 1;
    bool label = false;
};

class HeadReader
{
public:
    explicit HeadReader(const QByteArray &bytes) : m_bytes(bytes) {}

    std::optional<Token> next()
    {
        for (;;) {
            while (m_pos < m_bytes.size() && std::isspace(static_cast<unsigned char>(m_bytes[m_pos]))) {
                m_line += m_bytes[m_pos] == '\n';
                ++m_pos;
            }
            if (m_bytes.mid(m_pos, 2) != "--")
                break;
            m_pos += 2;
            while (m_pos < m_bytes.size() && m_bytes[m_pos] != '\n' && m_bytes.mid(m_pos, 2) != "--")
                ++m_pos;
            if (m_bytes.mid(m_pos, 2) == "--")
                m_pos += 2;
        }
        if (m_pos >= m_bytes.size())
            return std::nullopt;
        Token token;
        token.line = m_line;
        const qsizetype start = m_pos;
        while (m_pos < m_bytes.size() && isLabelChar(m_bytes[m_pos]))
            ++m_pos;
        token.label = m_pos > start;
        if (!token.label)
            ++m_pos;
        token.text = m_bytes.mid(start, m_pos - start).toStdString();
        return token;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
    int m_line = 1;
};

MibError fileError(const std::string &file, int line, const std::string &message)
{
    MibError error;
    error.file = file;
    error.line = line;
    error.message = message;
    return error;
}

// The module's name when the file starts as a module does ("NAME DEFINITIONS"),
// as Net-SNMP recognises a MIB file; otherwise the error at the first token
// that is not where it should be.
std::string moduleNameOf(const QByteArray &bytes, const std::string &file, std::vector<MibError> &errors)
{
    constexpr const char *Expected = "Not a MIB module: expected a module's name and DEFINITIONS ::= BEGIN";
    if (bytes.contains('\0')) {
        errors.push_back(fileError(file, 1, std::string(Expected) + ", found binary data"));
        return {};
    }
    HeadReader reader(bytes);
    const std::optional<Token> name = reader.next();
    const std::optional<Token> definitions = name && name->label ? reader.next() : std::nullopt;
    const bool isDefinitions = definitions && strcasecmp(definitions->text.c_str(), "DEFINITIONS") == 0;
    if (name && name->label && std::isalpha(static_cast<unsigned char>(name->text[0])) && isDefinitions)
        return name->text;
    const std::optional<Token> &wrong = !name || !name->label || !std::isalpha(static_cast<unsigned char>(name->text[0]))
        ? name
        : definitions;
    if (!wrong)
        errors.push_back(fileError(file, name ? name->line : 1, std::string(Expected) + ", found the end of the file"));
    else
        errors.push_back(fileError(file, wrong->line, std::string(Expected) + ", found '" + wrong->text + "'"));
    return {};
}

// Creates the folder and every missing one above it, each 0700.
bool makePrivateFolder(const std::string &path, std::string &failure)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        struct stat status {};
        if (::stat(partial.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode)) {
                failure = "'" + partial + "' is not a folder";
                return false;
            }
            continue;
        }
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            failure = "Cannot create the folder '" + partial + "': " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// The module's file as Net-SNMP has it noted; empty when it knows no such module.
std::string noteFileOf(const std::string &module)
{
    const int id = which_module(module.c_str());
    const struct module *record = id >= 0 ? find_module(id) : nullptr;
    return record && record->file ? std::string(record->file) : std::string();
}

std::map<std::string, std::string> moduleFiles()
{
    std::map<std::string, std::string> byFile;
    for (int id = 0;; ++id) {
        const struct module *record = find_module(id);
        if (!record)
            break;
        if (record->file && record->name)
            byFile[record->file] = record->name;
    }
    return byFile;
}

// The errors grouped by the module they belong to, that of `firstModule` first.
std::vector<MibModuleErrors> groupByModule(std::vector<MibError> errors, const std::string &firstModule,
                                           const std::string &firstFile)
{
    const std::map<std::string, std::string> modules = moduleFiles();
    std::vector<MibModuleErrors> groups;
    for (MibError &error : errors) {
        if (error.module.empty() && !error.file.empty()) {
            const auto found = modules.find(error.file);
            error.module = found != modules.end() ? found->second : QFileInfo(QString::fromStdString(error.file)).fileName().toStdString();
        }
        // A module of the start-up list that no folder holds is no file's failure.
        if (error.module.empty() && !error.missingImport.empty() && firstModule.empty())
            continue;
        if (error.module.empty())
            error.module = firstModule;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const MibModuleErrors &g) { return g.module == error.module; });
        if (group == groups.end()) {
            MibModuleErrors added;
            added.module = error.module;
            added.file = error.module == firstModule && !firstFile.empty() ? firstFile : error.file;
            if (added.file.empty()) {
                for (const auto &[file, module] : modules)
                    if (module == error.module)
                        added.file = file;
            }
            group = groups.insert(groups.end(), std::move(added));
        }
        group->errors.push_back(std::move(error));
    }
    std::stable_partition(groups.begin(), groups.end(), [&](const MibModuleErrors &g) { return g.module == firstModule; });
    // Net-SNMP reports a module's unlinked nodes from its last line up: by
    // line, those without one last.
    const auto lineKey = [](const MibError &e) { return e.line > 0 ? e.line : std::numeric_limits<int>::max(); };
    for (MibModuleErrors &group : groups)
        std::stable_sort(group.errors.begin(), group.errors.end(),
                         [&](const MibError &a, const MibError &b) { return lineKey(a) < lineKey(b); });
    return groups;
}

void readStartupErrors()
{
    if (std::exchange(g_startupRead, true))
        return;
    for (MibModuleErrors &group : groupByModule(readMibErrors(mibsetup::startupMessages()), {}, {}))
        g_errors[group.module] = std::move(group);
    for (MibModuleErrors &refused : mibsetup::refusedFiles())
        g_errors[refused.module] = std::move(refused);
}

// The errors of the modules read by the load (it and its imports) replace
// what they had; other modules' stay.
void remember(const MibLoadResult &result)
{
    readStartupErrors();
    if (!result.module.empty())
        g_errors.erase(result.module);
    for (const MibModuleErrors &group : result.errors)
        g_errors[group.module] = group;
}

MibError readFailure(const std::string &path, int err)
{
    return fileError(path, 0, "Cannot read the file: " + std::string(std::strerror(err)));
}

// The file's bytes, if it is a regular one: opened without waiting (a FIFO
// would wait for a writer), then looked at.
bool readRegularFile(const std::string &path, QByteArray &bytes, MibError &failure)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = readFailure(path, errno);
        return false;
    }
    QFile input;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        failure = readFailure(path, errno);
    } else if (!S_ISREG(st.st_mode)) {
        failure = fileError(path, 0, examineMibFile(path).problem);
        if (failure.message.empty())
            failure.message = "Cannot read the file: it is no regular file";
    } else if (st.st_size > MaxMibFileSize) {
        failure = fileError(path, 0, "Not a MIB module: the file is larger than 64 MiB");
    } else if (!input.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        failure = fileError(path, 0, "Cannot read the file: " + input.errorString().toStdString());
    } else {
        bytes = input.read(MaxMibFileSize + 1);
        return true;
    }
    ::close(fd);
    return false;
}

// The modules Net-SNMP has read, by name.
std::set<std::string> modulesRead()
{
    std::set<std::string> names;
    for (int id = 0;; ++id) {
        const struct module *record = find_module(id);
        if (!record)
            break;
        if (record->name && record->no_imports != -1)
            names.insert(record->name);
    }
    return names;
}

MibLoadResult load(const std::string &path, RequestWait wait)
{
    MibLoadResult result;
    const QString source = QString::fromStdString(path);
    const std::string fileName = QFileInfo(source).fileName().toStdString();
    QByteArray bytes;
    MibError failure;
    if (!readRegularFile(path, bytes, failure)) {
        result.errors.push_back({fileName, path, {failure}});
        return result;
    }
    std::vector<MibError> headErrors;
    result.module = moduleNameOf(bytes, path, headErrors);
    if (result.module.empty()) {
        result.errors.push_back({fileName, path, std::move(headErrors)});
        return result;
    }

    mibsetup::ensureLoaded(wait);
    const std::string folder = mibsetup::userMibFolder();
    std::string problem;
    if (!makePrivateFolder(folder, problem)) {
        result.errors.push_back({result.module, path, {fileError(path, 0, problem)}});
        return result;
    }
    // Over the module's own file when the folder has one, so that the next
    // start does not find two of them; otherwise under the module's name.
    const std::string noted = noteFileOf(result.module);
    const bool notedHere = !noted.empty() && QFileInfo(QString::fromStdString(noted)).absolutePath()
        == QFileInfo(QString::fromStdString(folder)).absoluteFilePath();
    const std::string target = notedHere ? noted : folder + "/" + result.module + ".mib";

    // The bytes read are what is checked and installed: a copy beside the
    // target, hidden from the folder's listing, renamed over it once the
    // checker parsed it to its end.
    QTemporaryFile copy(QString::fromStdString(folder) + QStringLiteral("/.norvane-XXXXXX.mib"));
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        result.errors.push_back({result.module, path,
                                 {fileError(target, 0, "Cannot write the copy: " + copy.errorString().toStdString())}});
        return result;
    }
    copy.close();
    const std::string copied = QFile::encodeName(copy.fileName()).toStdString();
    std::vector<MibCheckEntry> entries;
    for (const std::string &file : mibsetup::notedFiles())
        entries.push_back({file, false});
    entries.push_back({copied, true});
    MibCheckRun check(std::move(entries));
    check.finish(wait);
    const auto verdict = check.verdicts().find(copied);
    if (verdict == check.verdicts().end() || verdict->second != MibCheckVerdict::Good) {
        const MibCheckVerdict why = verdict == check.verdicts().end() ? MibCheckVerdict::NotChecked : verdict->second;
        result.errors.push_back(
            {result.module, path, {fileError(path, 0, "Not installed: " + mibCheckReason(why, check.limits()))}});
        return result;
    }
    if (::rename(copied.c_str(), target.c_str()) != 0) {
        result.errors.push_back(
            {result.module, path, {fileError(target, 0, "Cannot write the copy: " + std::string(std::strerror(errno)))}});
        return result;
    }
    copy.setAutoRemove(false);
    ::chmod(target.c_str(), 0644);
    result.installedFile = target;
    MibCheckCache cache;
    cache.record(examineMibFile(target), MibCheckVerdict::Good);
    cache.save();

    // A module read before (a failed one too) is read again from the new
    // file, with the whole set: Net-SNMP would keep the old one's textual
    // conventions. Its own errors are what this load reports; the start-up
    // errors of the others are read again with them.
    const int id = which_module(result.module.c_str());
    const struct module *record = id >= 0 ? find_module(id) : nullptr;
    if (record && record->no_imports != -1) {
        if (!notedHere)
            mibsetup::noteFile(target);
        mibsetup::reloadAll();
        g_errors.clear();
        g_startupRead = false;
        for (MibModuleErrors &group : groupByModule(readMibErrors(mibsetup::startupMessages()), {}, {}))
            if (group.module == result.module)
                result.errors.push_back(std::move(group));
        return result;
    }
    std::vector<MibError> errors;
    std::set<std::string> before;
    {
        mibsetup::LogCapture capture;
        before = modulesRead();
        // Noted again: the module is the new file's.
        mibsetup::noteFile(target);
        netsnmp_read_module(result.module.c_str());
        adopt_orphans();
        errors = readMibErrors(capture.lines());
    }
    // adopt_orphans() reports again every node of every module still
    // waiting for its parent: those of modules this load did not read are
    // not its errors.
    const std::set<std::string> after = modulesRead();
    result.errors = groupByModule(std::move(errors), result.module, target);
    std::erase_if(result.errors, [&](const MibModuleErrors &group) {
        return group.module != result.module && (before.count(group.module) > 0 || after.count(group.module) == 0);
    });
    mibsetup::mibsChanged();
    return result;
}

} // namespace

MibLoadResult loadMibFile(const std::string &path, RequestWait wait)
{
    MibLoadResult result = load(path, wait);
    remember(result);
    return result;
}

std::vector<MibModuleErrors> mibLoadErrors()
{
    mibsetup::ensureLoaded();
    readStartupErrors();
    std::vector<MibModuleErrors> all;
    for (const auto &[module, group] : g_errors)
        all.push_back(group);
    return all;
}
