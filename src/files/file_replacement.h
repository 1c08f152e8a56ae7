#pragma once
// Saving a file so that it is either the old or the new file, whole, whatever happens during the
// save (a crash, a kill, a power cut, a full disk), and never leaves the folder littered.
//
// The new bytes go into a hidden temporary file beside the file (".TITLE.kvr-XXXXXX"), which is
// flushed, renamed over the file and made durable by flushing the folder too. A save whose file
// is a symbolic link updates the file the link names and leaves the link as it is. While a save
// holds its temporary file it keeps it locked; a temporary file that nobody holds was left by a
// killed or failed save and is removed at start-up and after a failed write.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvr {

// How putting a new file in place ended.
enum class NewFile { Created, Exists, Failed };

// A file written in full beside its final name and then renamed over it, so that the old file
// stays whole until the new one is complete on disk: a crash, a full disk or a refused write
// leaves the old file, and another instance reading the file sees the old or the new bytes,
// never a half-written file. The temporary file is removed unless a commit succeeds.
class FileReplacement {
  public:
    explicit FileReplacement(const std::string& host);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the temporary file could not be created (missing folder, no permission).
    bool opened() const { return fd_ >= 0; }
    // Descriptor of the temporary file, for writers that write in pieces.
    int fd() const { return fd_; }
    // Flushes the data to disk and renames the file over the old one.
    bool commit();
    // The same for a file that must not replace anything: Exists, with nothing changed, when
    // the name is taken (also by a dangling link) by the time the file is complete.
    NewFile commit_new();

  private:
    bool open_temporary();
    NewFile put_in_place(bool replace);

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool placed_ = false;  // renamed into place, or found its name taken: not a failure
};

// A scratch file the display rewrites at every refresh, replaced as safely for its readers as a
// FileReplacement: the new bytes go into a hidden spare file beside it (".NAME.spare"), which then
// trades places with the file in one step, so a reader sees the old or the new bytes, never a
// half-written file. The spare keeps the previous bytes and their pages for the next rewrite: no
// file is created, deleted or flushed to disk per refresh (a scratch file is rebuilt from memory
// at the next refresh, so it need not outlive a crash). A reader keeps the bytes it opened
// through the next rewrite; one that holds the file open through two rewrites sees the second.
// Where the spare cannot serve (another instance holds it, or the file system cannot exchange two
// names) a FileReplacement does. A failed write removes the spare, so that on a full disk it
// does not keep the space it took.
class ScratchReplacement {
  public:
    explicit ScratchReplacement(const std::string& host);
    ~ScratchReplacement();
    ScratchReplacement(const ScratchReplacement&) = delete;
    ScratchReplacement& operator=(const ScratchReplacement&) = delete;

    // False when no file could be created (missing folder, no permission, a folder in the way).
    bool opened() const { return fd_ >= 0; }
    // Writes the parts one after the other from the start of the file; `written` is how many
    // bytes went in before a failure. False when the system refuses part of them.
    bool write(const void* const* parts, const size_t* sizes, int count, size_t& written);
    // Puts the written bytes in place of the old file.
    bool commit();

  private:
    std::string target_;
    std::string spare_;
    std::optional<FileReplacement> fallback_;
    int fd_ = -1;
    bool use_spare_ = false;
    uint64_t length_ = 0;
};

// Writes `bytes` as the whole new content of the file through a FileReplacement. False when the
// file cannot be created or written; the old file is then left as it was.
bool replace_file(const std::string& host, const uint8_t* bytes, size_t count);
// Writes `bytes` as a new file that replaces nothing (see FileReplacement::commit_new).
NewFile create_new_file(const std::string& host, const uint8_t* bytes, size_t count);

// Whether a name in a folder is a temporary file of a save: ".TITLE.kvr-" and six letters or
// digits, or the older ".TITLE.XXXXXX" of the program's own kinds of file (TITLE ending in .FIT,
// .INI, .BMP or .TIF in any case, or a native image's "~NAME").
bool is_save_temporary(std::string_view name);
// Removes the temporary files in `host_folder` that no save holds; how many went.
int remove_stale_temporaries(const std::string& host_folder);

}  // namespace kvr
