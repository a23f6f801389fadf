// Process entry: hands over to the start-up of the engine.
#include "engine/startup/startup.h"

int main(int argc, char** argv) { return PibboMain(argc, argv); }
