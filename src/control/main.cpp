#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "control/run.h"
#include "control/startup.h"

namespace {

// A standard descriptor that was closed at exec would be taken by the next
// file opened, the X connection among them, and the console would then
// read the server's replies as commands. /dev/null fills such holes.
void FillStandardDescriptors() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) close(null);   // lower holes were filled first
    }
}

}  // namespace

int main(int argc, char** argv) {
    FillStandardDescriptors();
    // Output to a reader that went away is lost, not the end of the program
    // (and of its promise to restore the screens).
    signal(SIGPIPE, SIG_IGN);
    // Run as a background job of a shell, it must not be stopped for reading
    // or writing its terminal: a stopped program neither keeps the tint nor
    // restores on SIGTERM. A read then fails and counts as no input.
    signal(SIGTTIN, SIG_IGN);
    signal(SIGTTOU, SIG_IGN);
    int status = 0;
    if (StartUp(argc, argv, status) != 0) return status;
    return Run();
}
