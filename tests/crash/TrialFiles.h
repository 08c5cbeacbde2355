#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// What the trial drivers share: the data file's bytes and the names of the copies saves write.

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A data file of `count` records in the form the program writes them.
inline std::string DataFileOf(int count) {
    std::string content;
    for (int record = 0; record < count; ++record) {
        content += (record ? "\r\nPerson " : "Person ") + std::to_string(record) + "\xF7 L";
        for (int i = 0; i < 10; ++i) {
            content.append(" ").append(std::to_string(10 + (record + i) % 90));
        }
        content += " R";
        for (int i = 0; i < 10; ++i) {
            content.append(" ").append(std::to_string(10 + (record * 7 + i) % 90));
        }
    }
    return content;
}

// "<data file>.lock", empty: the lock file of the saves into a data file, which a save killed
// while it held it leaves behind (the next save removes it).
inline bool IsLeftLock(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return name.size() > 9 && name.compare(name.size() - 9, 9, ".def.lock") == 0 &&
           std::filesystem::is_regular_file(file) && std::filesystem::file_size(file) == 0;
}

// ".tonolot-<16 hex digits>.tmp", the copy a save writes (written out here, independently of
// the program's own pattern).
inline bool IsCopy(const std::string& name) {
    const std::string prefix = ".tonolot-";
    const std::string suffix = ".tmp";
    if (name.size() != prefix.size() + 16 + suffix.size() ||
        name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return false;
    }
    return std::all_of(name.begin() + static_cast<long>(prefix.size()),
                       name.end() - static_cast<long>(suffix.size()),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}
