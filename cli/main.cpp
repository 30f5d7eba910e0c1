#include "ctlapp.h"

#include <csignal>

int main(int argc, char **argv)
{
    // A peer that closes the connection, or a reader that closes the output, makes the write fail
    // with a message rather than end the program without one.
    std::signal(SIGPIPE, SIG_IGN);
    return CtlApp().run(argc, argv);
}
