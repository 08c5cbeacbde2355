#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it at the end of
// the test. Paths are handed out as UTF-8, the form the file calls take.
class ScratchFolder {
public:
    // `name` may hold letters outside any ANSI code page (UTF-8).
    explicit ScratchFolder(const std::string& name = "tonolot-test") {
        static std::atomic<int> serial{0};
        auto base = std::filesystem::temp_directory_path();
        for (;;) {
            folder = base / FromUtf8(name + "-" + std::to_string(Stamp()) + "-" +
                                     std::to_string(serial++));
            std::error_code error;
            if (std::filesystem::create_directories(folder, error) && !error) {
                break;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code error;
        // Files made read-only by a test must not stay behind.
        for (auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, error);
        }
        std::filesystem::remove_all(folder, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The UTF-8 path of a file in the folder.
    std::string Path(const std::string& file) const { return ToUtf8(folder / FromUtf8(file)); }
    std::filesystem::path Native(const std::string& file) const { return folder / FromUtf8(file); }

    void Write(const std::string& file, const std::string& bytes) const {
        std::ofstream out(Native(file), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(const std::string& file) const {
        std::ifstream in(Native(file), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& file) const { return std::filesystem::exists(Native(file)); }
    // Every file name in the folder.
    std::size_t FileCount() const {
        std::size_t count = 0;
        for (auto& entry : std::filesystem::directory_iterator(folder)) {
            (void)entry;
            ++count;
        }
        return count;
    }

    static std::filesystem::path FromUtf8(const std::string& text) {
        return std::filesystem::path(std::u8string(text.begin(), text.end()));
    }
    static std::string ToUtf8(const std::filesystem::path& path) {
        std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

private:
    static long long Stamp() {
        return static_cast<long long>(
                   std::filesystem::file_time_type::clock::now().time_since_epoch().count()) %
               1000000007LL;
    }

    std::filesystem::path folder;
};
