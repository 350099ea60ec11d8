#include "demo/demoapp.h"

int main(int argc, char **argv)
{
    return demo::runDemo(argc, argv);
}
