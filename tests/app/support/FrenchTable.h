#pragma once
// A translation file written by the program's own u16gen, with a French
// column for a few texts, loaded as the language table.
#include "LocalizedStrings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

class FrenchTable {
public:
    explicit FrenchTable(const std::vector<std::pair<std::string, std::string>>& rows) {
        dir_ = std::filesystem::temp_directory_path() / ("lumora-app-u16-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        const auto tsv = dir_ / "table.tsv";
        std::ofstream out(tsv);
        for (const auto& [key, french] : rows)
            // id, key, note, English, Chinese, French
            out << "-\t" << Escape(key) << "\t\t" << Escape(key) << "\t\t" << Escape(french) << "\n";
        out.close();
        const auto u16 = dir_ / "LumoraUIStrings.u16";
        const std::string command = std::string(LUMORA_U16GEN) + " " + tsv.string() + " " + u16.string();
        ok_ = std::system(command.c_str()) == 0;
        if (ok_) NimbalCore::LoadLocalizedStrings(NimbalCore::FilePathSpec(u16.string()), NimbalCore::kColumnFrench);
    }
    ~FrenchTable() {
        // Back to a table with no translations.
        std::ofstream(dir_ / "empty.tsv") << "";
        const std::string command =
            std::string(LUMORA_U16GEN) + " " + (dir_ / "empty.tsv").string() + " " + (dir_ / "empty.u16").string();
        if (std::system(command.c_str()) == 0)
            NimbalCore::LoadLocalizedStrings(NimbalCore::FilePathSpec((dir_ / "empty.u16").string()),
                                             NimbalCore::kColumnEnglish);
        std::filesystem::remove_all(dir_);
    }
    bool ok() const { return ok_; }

    static std::string Escape(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '\\') out += "\\\\";
            else if (c == '\t') out += "\\t";
            else if (c == '\n') out += "\\n";
            else out += c;
        }
        return out;
    }

private:
    std::filesystem::path dir_;
    bool ok_ = false;
};
