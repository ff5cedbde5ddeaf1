// A second module the loadable-module tests load from a folder.
extern "C" int CoreTestModuleName() { return 'B'; }
