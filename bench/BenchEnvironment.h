#pragma once

#include <unistd.h>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "shell/logger/Logger.h"
#include "shell/settings/QtProfileStore.h"

namespace tkw::bench {

// A folder of its own for one benchmark run, holding its settings and its logs; removed at the end.
class BenchEnvironment {
public:
    explicit BenchEnvironment(const char* name) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).native();
        folder = ::mkdtemp(pattern.data());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((folder / "config").native()));
        SetProfileStore(&m_store);
        SetLogEnvironment({folder / "logs", nullptr});
    }
    ~BenchEnvironment() {
        SetLogSink({});
        SetLogEnvironment({});
        SetProfileStore(nullptr);
        std::filesystem::remove_all(folder);
    }

    std::filesystem::path folder;

private:
    CQtProfileStore m_store;
};

}  // namespace tkw::bench
