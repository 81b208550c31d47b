#include "app/BrivaneApp.h"

int main(int argc, char *argv[])
{
    return BrivaneApp::run(argc, argv);
}
