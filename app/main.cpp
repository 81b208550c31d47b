// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BrivaneApp.h"

int main(int argc, char *argv[])
{
    return BrivaneApp::run(argc, argv);
}
