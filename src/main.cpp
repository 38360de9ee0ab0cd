// Process entry: hands the command line to the installer's start-up.
#include "Common/wWndMain.h"

int main(int argc, char** argv) { return RunInstallerProcess(argc, argv); }
