#include "tests/support/TestProfile.h"

#include <QSettings>

namespace tkw::test {
namespace {

// Points every QSettings of the native format made from now on at the folder.
const TempDir& UseFolder(const TempDir& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(folder.path().native()));
    return folder;
}

}  // namespace

TestProfile::TestProfile() {
    UseFolder(m_folder);
    SetProfileStore(&m_store);
}

TestProfile::~TestProfile() {
    SetProfileStore(nullptr);
}

}  // namespace tkw::test
