// A module the loader tests load by name from the program folder.
extern "C" int LumoraTestModuleAnswer() { return 42; }
