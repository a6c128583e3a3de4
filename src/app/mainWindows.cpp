// SPDX-License-Identifier: GPL-3.0-or-later
// The program entry on Windows. There is always a desktop to show the window
// on, so nothing is checked first; Qt's entry point calls this from WinMain.
#include "app/Entry.h"

int main(int argc, char **argv) { return zanthorix::RunZanthorix(argc, argv); }
