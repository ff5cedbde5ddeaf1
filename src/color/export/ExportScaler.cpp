#include "ExportScaler.h"

#include <atomic>

namespace NimbalCore {

namespace {
std::atomic<ExportScalerFactory> gFactory{nullptr};
}

void SetExportScalerFactory(ExportScalerFactory factory) { gFactory.store(factory); }

std::unique_ptr<ExportScaler> MakeExportScaler() {
    ExportScalerFactory factory = gFactory.load();
    return factory ? factory() : nullptr;
}

}  // namespace NimbalCore
