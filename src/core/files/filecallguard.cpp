#include "core/files/filecallguard.h"

#include <QtGlobal>

namespace kps {

namespace {
// Per thread, so a worker never sees the window's rule; only the thread itself writes them.
thread_local FileCallRule tRule = FileCallRule::Allowed;
thread_local int tCalls = 0;
} // namespace

void setFileCallRule(FileCallRule rule) {
    tRule = rule;
}

int fileCallsOnThisThread() {
    return tCalls;
}

void noteFileCall(const char* what) {
    if (tRule == FileCallRule::Allowed) return;
    ++tCalls;
    if (tRule == FileCallRule::Fatal)
        qFatal("a file call on a thread that must not make one: %s", what);
}

FileCallsAllowed::FileCallsAllowed() : saved_(tRule) {
    tRule = FileCallRule::Allowed;
}

FileCallsAllowed::~FileCallsAllowed() {
    tRule = saved_;
}

} // namespace kps
