#pragma once

#include <atomic>
#include <string>

#include "engine/HeadlessHost.h"

namespace tkw {

// The engine host of the command-line tool: no prompts (the runs take their choices from the
// command line), messages and the status on the terminal, the progress line on standard error
// when that is a terminal, and Cancel by SIGINT or SIGTERM.
class CCliHost : public CHeadlessHost {
public:
    CCliHost();

    // Makes the first SIGINT or SIGTERM cancel the run at its next file; a second one ends the
    // program at once.
    static void InstallCancelSignals();
    static bool CancelRequested();

    void OpenProgress(std::string_view title, int flags) override;
    void CloseProgress() override;
    bool HasUserCancelled() override { return CancelRequested(); }
    void SetProgressLine(std::string_view text) override;
    Answer ShowMessage(std::string_view text, Icon icon, Buttons buttons) override;
    void ShowStatus(std::string_view caption, std::string_view text) override;

private:
    bool m_terminal;
    bool m_lineShown = false;
};

// Shortens a text to `width` characters by replacing its middle with "...".
std::string ElideMiddle(std::string_view text, std::size_t width);

}  // namespace tkw
