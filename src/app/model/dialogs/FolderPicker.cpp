#include "FolderPicker.h"

#include "LocalizedText.h"
#include "StringIds.h"

#include <filesystem>

namespace {

constexpr size_t kLongName = 34;
constexpr size_t kCutName = 32;

// The first n characters of a UTF-8 text (a character is never split).
std::string FirstCharacters(const std::string& text, size_t n, size_t& count) {
    count = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (count == n) return text.substr(0, i);
        ++count;
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return text;
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    FirstCharacters(text, std::string::npos, count);
    return count;
}

std::string Format(int id, const std::string& a, const std::string& b = {}) {
    // The texts come from the resources: only their own %s are used.
    std::string text = LoadTranslatedString(id);
    std::string out;
    const std::string* args[] = {&a, &b};
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < 2) out += *args[next++];
            ++i;
        } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string TrackedFolder(const std::string& selection) {
    if (selection.empty()) return {};
    std::error_code ec;
    if (std::filesystem::is_directory(selection, ec)) return selection;
    const size_t slash = selection.rfind('/');
    if (slash == std::string::npos) return {};
    std::string folder = selection.substr(0, slash + 1);
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

FolderButtonState FolderButtonFor(FolderPickerKind kind, const std::string& folder) {
    const bool open = kind == FolderPickerKind::Open;
    FolderButtonState state;
    if (folder.empty()) {
        state.text = LoadTranslatedString(open ? IDS_OPEN_FOLDER_AS_CONTACT_SHEET : IDS_SAVE_FILES_IN_FOLDER);
        return state;
    }
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    state.enabled = true;
    if (last.empty()) {
        state.text = Format(open ? IDS_OPEN_ROOT_AS_CONTACT_SHEET : IDS_SAVE_FILES_IN_ROOT, "");
        return state;
    }
    const size_t dot = last.rfind('.');
    std::string name = dot == std::string::npos ? last : last.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : last.substr(dot);
    if (CharacterCount(name) > kLongName) {
        size_t count = 0;
        name = FirstCharacters(name, kCutName, count) + "...";
    }
    state.text = Format(open ? IDS_OPEN_NAME_AS_CONTACT_SHEET : IDS_SAVE_FILES_IN_NAME, name, extension);
    return state;
}

std::string AcceptedFolder(FolderPickerKind kind, const std::string& folder) {
    if (kind == FolderPickerKind::Open) return folder;
    std::string path = folder;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

FolderPickerState& FolderPickerState::Of(FolderPickerKind kind) {
    static FolderPickerState states[3];
    return states[static_cast<int>(kind)];
}
