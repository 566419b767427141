#include "command.h"

int main(int argc, char** argv) { return floatdump_main(argc, argv); }
