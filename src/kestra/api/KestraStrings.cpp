#include "KestraStrings.h"

#include "ORVEXCMS.h"

namespace {

void* gModule = nullptr;

__attribute__((constructor)) void attachModule() { gModule = VxGetModuleHandle("Kestra.dll"); }
__attribute__((destructor)) void detachModule() { gModule = nullptr; }

} // namespace

extern "C" {
// Read by the colour library's VxGetCString, so it is exported under the
// name that the string calls look for.
extern __attribute__((visibility("default"))) const VxStringEntry VxStringTable[];
const VxStringEntry VxStringTable[] = {
    {1999, "PSFAPI Status: "},
    {2000, "Operation Failed."},
    {2001, "The operation is in progress."},
    {2002, "Operation completed successfully."},
    {2003, "one or more of the arguments is out of range."},
    {2004, "There is not enough memory."},
    {2005, "The precision sharpening processor is not present."},
    {2006, "The blurring filter does not exist."},
    {2007, "API was called with inonsistent arguments."},
    {2008, "All needed processing has already been completed."},
    {2009, "All needed processing have not been completed."},
    {2010, "The sharpening filter does not exist."},
    {2011, "The scale filter does not exist."},
    {2012, "General Filter Processor failure."},
    {2013, "The filter is unusable."},
    {2014, "The filter is already in use."},
    {2015, "The filter has not been initailzed."},
    {2016, "Proper initialization has not yet been completed."},
    {2017, "Initialization has already been completed."},
    {2018, "The scaling factor is too small for best results."},
    {2019, "The user has canceled the operation."},
    {2020, "The thread memory could not be found."},
    {2021, "The caller id is invalid."},
    {2022, "The data buffer is the wrong size."},
    {2023, "error in the filter processor component"},
    {2024, "An invalid filter attribute was referenced."},
    {2025, "A picture parameter is not valid."},
    {2026, "An attribute value could not be found in the filter."},
    {2027, "The filter file is bad or missing."},
    {2028, "The function is not implemented."},
    {2029, "The sample type of all the images must be the same."},
    {0, nullptr}};
}

namespace kestra {

void* KestraModule() {
    if (!gModule) gModule = VxGetModuleHandle("Kestra.dll");
    return gModule;
}

} // namespace kestra
