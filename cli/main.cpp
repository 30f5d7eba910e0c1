#include "ctlapp.h"

int main(int argc, char **argv)
{
    return CtlApp().run(argc, argv);
}
