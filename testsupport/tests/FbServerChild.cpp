// A test program's stand-in: starts a private server, says where it is, and
// waits to be killed, so a test can see the server go with it.
#include "testsupport/TFbServer.h"

#include <cstdio>

#include <unistd.h>

int main() {
    TFbServer server;
    server.start();
    std::printf("%d %s\n", server.port(), server.root().toLocal8Bit().constData());
    std::fflush(stdout);
    for (;;)
        ::pause();
}
