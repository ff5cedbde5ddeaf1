#include "Trash.h"

namespace {

class NoTrash final : public Trash {
public:
    std::vector<Failure> MoveToTrash(const std::vector<std::string>& paths) override {
        std::vector<Failure> failed;
        for (const std::string& path : paths) failed.push_back({path, "There is no wastebasket."});
        return failed;
    }
};

NoTrash gNone;
Trash* gTrash = nullptr;

} // namespace

Trash& Trash::Current() { return gTrash ? *gTrash : gNone; }

void Trash::SetCurrent(Trash* trash) { gTrash = trash; }
