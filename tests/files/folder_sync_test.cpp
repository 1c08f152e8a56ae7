// A save reported done is on disk under its name: the folder is flushed after the rename. The
// system's fsync is wrapped here to see what each folder flush made durable.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "core/drive_paths.h"
#include "files/file_io.h"
#include "files/settings_file.h"
#include "support/test_program.h"

namespace kvr::test {
namespace {

// Called with the folder's path on every flush of a folder.
std::function<void(const std::string&)> on_folder_sync;

}  // namespace
}  // namespace kvr::test

extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static const auto system_fsync = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    struct stat st {};
    if (kvr::test::on_folder_sync && fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        char folder[4096];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t n = readlink(link.c_str(), folder, sizeof folder - 1);
        if (n > 0) kvr::test::on_folder_sync(std::string(folder, static_cast<size_t>(n)));
    }
    return system_fsync(fd);
}

namespace kvr::test {
namespace {

namespace fs = std::filesystem;

using FolderSyncTest = ProgramTest;

TEST_F(FolderSyncTest, SavesAreDurableUnderTheirNamesWhenReportedDone) {
    // Every file's size as each folder flush found it.
    std::vector<std::map<std::string, uintmax_t>> flushed;
    on_folder_sync = [&](const std::string& folder) {
        std::map<std::string, uintmax_t> sizes;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) sizes[entry.path().string()] = entry.file_size();
        flushed.push_back(sizes);
    };
    const std::string out = run_script("command 24336\n");
    on_folder_sync = nullptr;
    ASSERT_EQ(out, "");
    for (const char* drive_path : {"c:\\AUTOSAVE\\IMG1.FIT", "c:\\autosave\\KVR_Q4.INI"}) {
        const std::string file = fs::canonical(map_drive_path(p.drive_root, drive_path)).string();
        bool durable = false;
        for (const auto& sizes : flushed)
            durable |= sizes.count(file) && sizes.at(file) == fs::file_size(file);
        EXPECT_TRUE(durable) << file;
    }
}

}  // namespace
}  // namespace kvr::test
