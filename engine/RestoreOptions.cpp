#include "engine/RestoreOptions.h"

#include "shell/profile/ProfileKeys.h"

namespace tkw {

bool CStoredRestoreOptions::PromptSwitchedOff() const {
    return GetProfileInt(profile::kRestorePromptDontShowAgain) != 0;
}

std::int32_t CStoredRestoreOptions::Mode() const {
    return GetProfileInt(profile::kRestorePathOfFiles);
}

std::string CStoredRestoreOptions::Folder() const {
    return GetProfileString(profile::kRestorePath);
}

std::int32_t CStoredRestoreOptions::ExistingFilePolicy() const {
    return GetProfileInt(profile::kActionToTakeWhenFileAlreadyExists);
}

void StoreFileExistsAnswer(bool overwrite, bool dontAskAgain) {
    const std::int32_t choice = overwrite ? IRestoreOptions::kOverwrite : IRestoreOptions::kSkip;
    WriteProfileInt(profile::kActionToTakeWhenFileAlreadyExists,
                    dontAskAgain ? choice : IRestoreOptions::kAsk);
}

}  // namespace tkw
