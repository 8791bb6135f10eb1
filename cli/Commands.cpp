#include "cli/Commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "cli/CliHost.h"
#include "components/utils/StringUtils.h"
#include "components/utils/UserFolders.h"
#include "engine/BackupLaunch.h"
#include "engine/BackupRestoreManager.h"
#include "engine/BackupTarget.h"
#include "engine/OperationEdge.h"
#include "engine/StatusTexts.h"
#include "engine/TreeOrder.h"
#include "shell/logger/Logger.h"
#include "shell/profile/FileTypeList.h"
#include "shell/profile/ProfileKeys.h"
#include "shell/profile/ProfileStore.h"

namespace tkw::cli {
namespace fs = std::filesystem;
namespace {

using Args = std::vector<std::string>;

const std::map<std::string, std::string> kUsage = {
    {"backup",
     "usage: tarnwick-cli backup [--to FOLDER] [--name NAME] [--append | --overwrite] PATH...\n"
     "  Backs up the files and folders into FOLDER/NAME.tkw (by default the stored backup\n"
     "  folder and name). An existing backup file is appended to with --append or replaced\n"
     "  with --overwrite. SIGINT or SIGTERM cancels at the next file (or inside a large one).\n"},
    {"list",
     "usage: tarnwick-cli list [-0] FILE\n"
     "  Prints one line per item: index, size in bytes, name, separated by tabs. Control\n"
     "  characters and backslashes in names are escaped (\\t, \\n, \\\\, \\xHH); with -0 the\n"
     "  names alone are printed as they are, each ended by a NUL byte.\n"},
    {"restore",
     "usage: tarnwick-cli restore FILE [--under FOLDER] [--on-exists overwrite|skip] "
     "(--all | INDEX...)\n"
     "  Restores items to their original paths, or below FOLDER. Existing files are skipped\n"
     "  unless --on-exists overwrite is given.\n"},
    {"verify",
     "usage: tarnwick-cli verify FILE\n"
     "  Reads every item and checks its checksum. Exit code 3 when any item is damaged or can\n"
     "  no longer be found, or the file is damaged (a damaged index, bytes skipped or cut off).\n"},
    {"settings",
     "usage: tarnwick-cli settings list\n"
     "       tarnwick-cli settings get SECTION KEY\n"
     "       tarnwick-cli settings set SECTION KEY VALUE\n"
     "       tarnwick-cli settings set-file-types [EXT...]\n"},
};

std::string AllUsage() {
    std::string text;
    for (const char* command : {"backup", "list", "restore", "verify", "settings"}) {
        text += kUsage.at(command);
    }
    return text;
}

int UsageError(const std::string& command, const std::string& problem) {
    std::fprintf(stderr, "tarnwick-cli: %s\n%s", problem.c_str(),
                 (command.empty() ? AllUsage() : kUsage.at(command)).c_str());
    return kExitUsage;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "tarnwick-cli: %s\n", message.c_str());
    return kExitFailed;
}

bool WantsHelp(const Args& args) {
    return std::find(args.begin(), args.end(), "--help") != args.end();
}

// A finished run that left out files it was asked for is not a success.
int ExitCodeOf(int result, bool leftOut) {
    switch (result) {
        case CBackupRestoreManager::kFinished:
            return leftOut ? kExitLeftOut : kExitOk;
        case CBackupRestoreManager::kCancelled:
            return kExitCancelled;
        default:
            return kExitFailed;
    }
}

int LoadFailure(const CBackupRestoreManager& engine, const std::string& file) {
    return Failure("cannot load " + file + ": " + engine.LastError());
}

// Whether standard output and standard error go to the same file, as with `> out 2>&1`.
bool OutputSharesErrorFile() {
    struct stat out {};
    struct stat err {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && ::fstat(STDERR_FILENO, &err) == 0 &&
           out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

// Every log line is also printed, without its line break. Lines are written out as the standard
// output buffers them (each at once on a terminal): a restore prints tens of thousands. Only when
// errors go to the same file is each line written at once, so that they stay in order there.
void PrintLogLines() {
    const bool eachAtOnce = OutputSharesErrorFile();
    SetLogSink([eachAtOnce](const std::string& entry) {
        std::printf("%s\n", entry.c_str());
        if (eachAtOnce) {
            std::fflush(stdout);
        }
    });
}

// Absolute, without trailing separators, without repeats, in the order given.
std::vector<fs::path> SelectionFrom(const Args& paths) {
    std::vector<fs::path> selection;
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        std::string absolute = fs::absolute(path).lexically_normal().native();
        while (absolute.size() > 1 && absolute.back() == '/') {
            absolute.pop_back();
        }
        if (seen.insert(absolute).second) {
            selection.emplace_back(absolute);
        }
    }
    return selection;
}

int Backup(const Args& args) {
    std::optional<std::string> folder, name;
    bool append = false, overwrite = false;
    Args paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if ((arg == "--to" || arg == "--name") && i + 1 < args.size()) {
            (arg == "--to" ? folder : name) = args[++i];
        } else if (arg == "--append") {
            append = true;
        } else if (arg == "--overwrite") {
            overwrite = true;
        } else if (arg.rfind("--", 0) == 0) {
            return UsageError("backup", "unknown or incomplete option " + arg);
        } else {
            paths.push_back(arg);
        }
    }
    if (append && overwrite) {
        return UsageError("backup", "--append and --overwrite exclude each other");
    }
    if (paths.empty()) {
        return UsageError("backup", "no PATH to back up");
    }
    // Stored values as the program fills them in on its first start, without storing them here.
    const std::string storedFolder = GetProfileString(profile::kBrowseForFolderPath);
    const std::string storedName = GetProfileString(profile::kBackupFilename);
    const BackupTarget target = ResolveBackupTarget(
        folder.value_or(storedFolder.empty() ? GetMyDocumentsDirectory().native() : storedFolder),
        name.value_or(storedName.empty() ? "Backup" : storedName),
        GetProfileInt(profile::kBackupStorageType));
    const fs::path backupFile = target.backupFile;

    CCliHost host;
    CCliHost::InstallCancelSignals();
    CBackupRestoreManager engine;
    engine.SetHost(&host);
    PrintLogLines();
    struct stat status {};
    if (::stat(backupFile.c_str(), &status) == 0) {
        if (append && target.storageType != 0) {
            return Failure("only a .tkw backup file can be appended to");
        }
        if (append) {
            if (!engine.LoadBackupFile(backupFile)) {
                return LoadFailure(engine, backupFile.native());
            }
        } else if (overwrite) {
            OverwriteBackupFile(engine, backupFile);
        } else {
            return Failure(backupFile.native() +
                           " exists: give --append to add to it or --overwrite to replace it");
        }
    }
    BackupCounters counters;
    const int result = engine.RunBackup(target.basePath, target.storageType, SelectionFrom(paths),
                                        counters, append);
    host.ShowStatus(BackupStatusCaption(result), BackupStatusText(counters));
    std::printf("%u failed\n", counters.failed);
    if (!engine.LastError().empty()) {
        std::fprintf(stderr, "tarnwick-cli: %s\n", engine.LastError().c_str());
    }
    return ExitCodeOf(result, counters.failed > 0 || counters.leftOut > 0);
}

// A name as one field of a line: control characters, DEL and the backslash escaped, so that a
// name cannot break the line into others or into more fields.
std::string EscapedName(const std::string& name) {
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '\t') {
            text += "\\t";
        } else if (c == '\n') {
            text += "\\n";
        } else if (byte < 0x20 || byte == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        } else {
            text += c;
        }
    }
    return text;
}

int List(const Args& args) {
    const bool nulSeparated = !args.empty() && args[0] == "-0";
    if (args.size() != (nulSeparated ? 2u : 1u)) {
        return UsageError("list", "give exactly one FILE");
    }
    const std::string& file = args.back();
    CCliHost host;
    CBackupRestoreManager engine;
    engine.SetHost(&host);
    if (!engine.LoadBackupFile(file)) {
        return LoadFailure(engine, file);
    }
    if (CZipEx* archive = engine.LoadedArchive()) {
        for (int i = 0; i < archive->GetNrOfFiles(); ++i) {
            const std::string name = archive->GetItemFileName(i);
            if (nulSeparated) {
                std::fwrite(name.c_str(), 1, name.size() + 1, stdout);
            } else {
                std::printf("%d\t%llu\t%s\n", i,
                            static_cast<unsigned long long>(archive->GetItemFileSize(i)),
                            EscapedName(name).c_str());
            }
        }
    }
    return kExitOk;
}

std::optional<int> ParseIndex(const std::string& text) {
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

int Restore(const Args& args) {
    std::optional<std::string> under;
    std::int32_t policy = IRestoreOptions::kSkip;
    bool all = false;
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--under" && i + 1 < args.size()) {
            under = args[++i];
        } else if (arg == "--on-exists" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value != "overwrite" && value != "skip") {
                return UsageError("restore", "--on-exists takes overwrite or skip");
            }
            policy = value == "overwrite" ? IRestoreOptions::kOverwrite : IRestoreOptions::kSkip;
        } else if (arg == "--all") {
            all = true;
        } else if (arg.rfind("--", 0) == 0) {
            return UsageError("restore", "unknown or incomplete option " + arg);
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.empty()) {
        return UsageError("restore", "no FILE given");
    }
    const std::string file = rest.front();
    rest.erase(rest.begin());
    if (all == !rest.empty()) {
        return UsageError("restore", "give either --all or item INDEXes");
    }
    std::vector<int> indexes;
    for (const std::string& text : rest) {
        const auto index = ParseIndex(text);
        if (!index) {
            return UsageError("restore", "not an item index: " + text);
        }
        indexes.push_back(*index);
    }
    std::string folder;
    if (under) {
        std::error_code error;
        if (fs::exists(*under, error) && !fs::is_directory(*under, error)) {
            return UsageError("restore", *under + " is not a folder");
        }
        fs::create_directories(*under, error);
        if (error) {
            return Failure("cannot create the folder " + *under + ": " + error.message());
        }
        folder = fs::absolute(*under).native();
    }

    CCliHost host;
    CCliHost::InstallCancelSignals();
    CBackupRestoreManager engine;
    engine.SetHost(&host);
    PrintLogLines();
    if (!engine.LoadBackupFile(file)) {
        return LoadFailure(engine, file);
    }
    if (CZipEx* archive = engine.LoadedArchive()) {
        for (const int index : indexes) {
            if (index >= archive->GetNrOfFiles()) {
                return UsageError("restore", "no item " + std::to_string(index) + " in " + file);
            }
        }
        if (all) {
            std::vector<std::string> names;
            for (int i = 0; i < archive->GetNrOfFiles(); ++i) {
                names.push_back(archive->GetItemFileName(i));
            }
            indexes = ItemsInTreeOrder(names);
        }
    }
    const CFixedRestoreOptions options(
        under ? IRestoreOptions::kUnderFolder : IRestoreOptions::kOriginalPaths, folder, policy);
    RestoreCounters counters;
    const int result = engine.RestoreItems(indexes, counters, options);
    host.ShowStatus(RestoreStatusCaption(result), RestoreStatusText(counters));
    return ExitCodeOf(result, counters.failed > 0 || counters.leftOut > 0);
}

const char* NameSourceText(CZipEx::LostItem::NameSource source) {
    switch (source) {
        case CZipEx::LostItem::NameSource::kIndex:
            return "named by the damaged index";
        case CZipEx::LostItem::NameSource::kItemHeader:
            return "named by its own header";
        case CZipEx::LostItem::NameSource::kDamagedHeader:
            return "name read from its damaged header, a best guess";
        case CZipEx::LostItem::NameSource::kNone:
            break;
    }
    return "no name left";
}

// What the scan of an archive without a usable index found: how the index was, every stretch it
// skipped, the cut tail and every item it can no longer find.
void PrintRecovery(const CZipEx::RecoveryReport& recovery) {
    using Bytes = unsigned long long;
    if (recovery.index == CZipEx::IndexState::kDamaged) {
        std::printf("index damaged: %zu complete items were found by reading the items\n",
                    recovery.completeItems);
    } else {
        std::printf(
            "note: the index is missing (the backup file was not closed properly); %zu complete "
            "items were found\n",
            recovery.completeItems);
    }
    for (const auto& region : recovery.skippedRegions) {
        std::printf("skipped\t%llu\t%llu\tdamaged bytes between items\n",
                    static_cast<Bytes>(region.offset), static_cast<Bytes>(region.length));
    }
    if (recovery.tornTailDropped) {
        std::printf("cut\t%llu\t%llu\tan item cut short at the end\n",
                    static_cast<Bytes>(recovery.tornTailOffset),
                    static_cast<Bytes>(recovery.tornTailBytes));
    }
    for (const auto& lost : recovery.lostItems) {
        std::printf("lost\t%llu\t%s\t%s\n", static_cast<Bytes>(lost.recordOffset),
                    lost.name.empty() ? "?" : EscapedName(lost.name).c_str(),
                    NameSourceText(lost.nameSource));
    }
    if (!recovery.lostItems.empty()) {
        const std::size_t count = recovery.lostItems.size();
        std::printf("%s%zu item%s can no longer be found\n",
                    recovery.lostItemsExact ? "" : "at least ", count, count == 1 ? "" : "s");
    }
}

int Verify(const Args& args) {
    if (args.size() != 1) {
        return UsageError("verify", "give exactly one FILE");
    }
    CZipEx archive;
    if (archive.Open(args[0]) == 0) {
        return Failure(archive.GetLastError());
    }
    const auto& recovery = archive.GetRecoveryReport();
    if (recovery.headerMissing) {
        std::printf("the backup file holds no complete header and no items\n");
    } else if (recovery.recovered) {
        PrintRecovery(recovery);
    }
    const auto failures = archive.Verify();
    for (const auto& failure : failures) {
        std::printf("damaged\t%d\t%s\t%s\n", failure.index,
                    EscapedName(archive.GetItemFileName(failure.index)).c_str(),
                    failure.error.c_str());
    }
    std::printf("%d items checked, %zu damaged\n", archive.GetNrOfFiles(), failures.size());
    return failures.empty() && !recovery.FoundDamage() ? kExitOk : kExitDamaged;
}

std::string ValueText(const profile::ProfileKey& key) {
    switch (key.kind) {
        case profile::KeyKind::Int:
            return std::to_string(GetProfileInt(key));
        case profile::KeyKind::String:
            return GetProfileString(key);
        case profile::KeyKind::Binary: {
            std::string text;
            for (const std::string& type : ReadFileTypeList()) {
                text += (text.empty() ? "" : " ") + type;
            }
            return text;
        }
    }
    return {};
}

int Settings(const Args& args) {
    if (args.empty()) {
        return UsageError("settings", "no settings command");
    }
    const std::string& command = args[0];
    if (command == "list" && args.size() == 1) {
        for (const profile::ProfileKey& key : profile::kAllProfileKeys) {
            std::printf("%.*s\t%.*s\t%s\n", static_cast<int>(key.section.size()),
                        key.section.data(), static_cast<int>(key.name.size()), key.name.data(),
                        ValueText(key).c_str());
        }
        return kExitOk;
    }
    if (command == "set-file-types") {
        WriteFileTypeList(Args(args.begin() + 1, args.end()));
        return kExitOk;
    }
    if ((command == "get" && args.size() == 3) || (command == "set" && args.size() == 4)) {
        const profile::ProfileKey* key = profile::FindProfileKey(args[1], args[2]);
        if (key == nullptr) {
            return Failure("no setting \"" + args[2] + "\" in section \"" + args[1] + "\"");
        }
        if (command == "get") {
            std::printf("%s\n", ValueText(*key).c_str());
            return kExitOk;
        }
        switch (key->kind) {
            case profile::KeyKind::Int: {
                std::int32_t value = 0;
                const std::string& text = args[3];
                const auto [end, error] =
                    std::from_chars(text.data(), text.data() + text.size(), value);
                if (error != std::errc() || end != text.data() + text.size()) {
                    return Failure(args[2] + " takes a whole number, not \"" + text + "\"");
                }
                WriteProfileInt(*key, value);
                return kExitOk;
            }
            case profile::KeyKind::String:
                WriteProfileString(*key, args[3]);
                return kExitOk;
            case profile::KeyKind::Binary:
                return Failure("the file-type list is set with: settings set-file-types [EXT...]");
        }
    }
    return UsageError("settings", "unknown settings command or wrong number of arguments");
}

int RunCommand(const Args& arguments) {
    if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "help") {
        std::fputs(AllUsage().c_str(), arguments.empty() ? stderr : stdout);
        return arguments.empty() ? kExitUsage : kExitOk;
    }
    const std::string command = arguments[0];
    const Args rest(arguments.begin() + 1, arguments.end());
    if (kUsage.count(command) == 0) {
        return UsageError("", "unknown command " + command);
    }
    if (WantsHelp(rest)) {
        std::fputs(kUsage.at(command).c_str(), stdout);
        return kExitOk;
    }
    if (command == "backup") {
        return Backup(rest);
    }
    if (command == "list") {
        return List(rest);
    }
    if (command == "restore") {
        return Restore(rest);
    }
    if (command == "verify") {
        return Verify(rest);
    }
    return Settings(rest);
}

}  // namespace

int Run(const Args& arguments) {
    try {
        return RunCommand(arguments);
    } catch (...) {
        // What a command did not expect ends it as a failure, said on standard error; a backup or
        // restore in progress has already closed its backup file with its index.
        ReportOperationFailure("tarnwick-cli " +
                               (arguments.empty() ? std::string() : arguments[0]));
        return kExitFailed;
    }
}

}  // namespace tkw::cli
