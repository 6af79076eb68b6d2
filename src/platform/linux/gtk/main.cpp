#include "platform/linux/gtk/programm.h"

int main(int argc, char** argv) { return tw::Programm::main(argc, argv); }
