#include "engine/HeadlessHost.h"

namespace tkw {

IEngineHost::Answer CHeadlessHost::ShowMessage(std::string_view, Icon, Buttons buttons) {
    switch (buttons) {
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Answer::Yes;
        case Buttons::AbortRetryIgnore:
            return Answer::Abort;
        case Buttons::RetryCancel:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

}  // namespace tkw
