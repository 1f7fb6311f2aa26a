#pragma once
// File calls of the photo path (stat, open, read) belong on workers. The window's thread marks
// itself after start-up, so a call that slips onto it is counted, or stops the program in tests.

namespace kps {

// What a file call made on the calling thread does.
enum class FileCallRule {
    Allowed, // nothing: the default of every thread
    Counted, // counted in fileCallsOnThisThread()
    Fatal,   // counted, then the program stops with the call's name
};

// Sets the rule for the calling thread only.
void setFileCallRule(FileCallRule rule);
// File calls noted on the calling thread while its rule was Counted or Fatal.
int fileCallsOnThisThread();
// Called by each entry point that touches a photo file, naming it.
void noteFileCall(const char* what);

// Lets the calling thread make file calls while it lives, for files that are no photo's (the
// settings file): they are not where a stalled card can hold the window.
class FileCallsAllowed {
  public:
    FileCallsAllowed();
    ~FileCallsAllowed();
    FileCallsAllowed(const FileCallsAllowed&) = delete;
    FileCallsAllowed& operator=(const FileCallsAllowed&) = delete;

  private:
    FileCallRule saved_;
};

} // namespace kps
