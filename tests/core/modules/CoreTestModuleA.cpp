// A module the loadable-module tests load from a folder.
extern "C" int CoreTestModuleName() { return 'A'; }
