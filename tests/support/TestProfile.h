#pragma once

#include <QString>
#include <memory>

#include "shell/settings/QtProfileStore.h"
#include "tests/support/TempDir.h"

namespace tkw::test {

// A real settings store in a fresh temporary folder, installed as the program's store for the
// lifetime of the object.
class TestProfile {
public:
    TestProfile();
    ~TestProfile();

    CQtProfileStore& store() { return m_store; }
    const TempDir& folder() const { return m_folder; }
    // The INI file the store writes.
    QString FileName() { return m_store.Location(); }

private:
    TempDir m_folder;
    CQtProfileStore m_store;
};

}  // namespace tkw::test
