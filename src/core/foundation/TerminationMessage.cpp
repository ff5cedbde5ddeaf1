#include "TerminationMessage.h"

namespace NimbalCore {

int TerminationMessage::Execute() {
    if (thread_) thread_->RequestStop();
    return 0;
}

} // namespace NimbalCore
