#pragma once

#include <cstdint>
#include <string>

namespace tkw {

// Where a restore run takes its options from, read again for each item. The GUI uses the stored
// settings; the command-line tool gives fixed values and leaves the store alone.
class IRestoreOptions {
public:
    // Where items go.
    static constexpr std::int32_t kOriginalPaths = 0;
    static constexpr std::int32_t kUnderFolder = 1;
    // What happens to a file that exists.
    static constexpr std::int32_t kOverwrite = 0;
    static constexpr std::int32_t kSkip = 1;
    static constexpr std::int32_t kAsk = 2;

    virtual ~IRestoreOptions() = default;
    virtual bool PromptSwitchedOff() const = 0;
    virtual std::int32_t Mode() const = 0;
    virtual std::string Folder() const = 0;
    virtual std::int32_t ExistingFilePolicy() const = 0;
};

// The options as stored in the settings.
class CStoredRestoreOptions : public IRestoreOptions {
public:
    bool PromptSwitchedOff() const override;
    std::int32_t Mode() const override;
    std::string Folder() const override;
    std::int32_t ExistingFilePolicy() const override;
};

// Fixed options; the prompt before the run is never shown.
class CFixedRestoreOptions : public IRestoreOptions {
public:
    CFixedRestoreOptions(std::int32_t mode, std::string folder, std::int32_t policy)
        : m_mode(mode), m_folder(std::move(folder)), m_policy(policy) {}
    bool PromptSwitchedOff() const override { return true; }
    std::int32_t Mode() const override { return m_mode; }
    std::string Folder() const override { return m_folder; }
    std::int32_t ExistingFilePolicy() const override { return m_policy; }

private:
    std::int32_t m_mode;
    std::string m_folder;
    std::int32_t m_policy;
};

// What the file-exists prompt stores when answered: the choice when "Don't ask me again" is
// ticked, "ask" again when it is not.
void StoreFileExistsAnswer(bool overwrite, bool dontAskAgain);

}  // namespace tkw
