#include "app/Entry.h"

int main(int argc, char **argv) { return zanthorix::RunZanthorix(argc, argv); }
