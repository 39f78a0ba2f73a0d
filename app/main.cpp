// TarvelReset: rebuilds a last-price history table of the point-of-sale
// database from its document lines.
#include "Startup.h"

int main(int argc, char** argv) { return tarvel::runProgram(argc, argv); }
