#pragma once
// The desktop's wastebasket: files deleted from a contact sheet go there, so
// the user can still take them back. The program asks the desktop; tests
// record what would have gone.
#include <string>
#include <vector>

class Trash {
public:
    // A file that stayed where it was, and why.
    struct Failure {
        std::string path;
        std::string reason;
    };

    virtual ~Trash() = default;
    // Moves each file to the wastebasket, in order; a file that cannot go
    // stays where it is and is listed, and the others still go. An empty
    // list moves nothing and fails nothing.
    virtual std::vector<Failure> MoveToTrash(const std::vector<std::string>& paths) = 0;

    // The process-wide wastebasket; until one is set, none: every file stays
    // where it is.
    static Trash& Current();
    static void SetCurrent(Trash* trash);
};
