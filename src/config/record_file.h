// A file of fixed-size account records shared between the console and the
// gateway services: the users of the SMS gateway, the MM7/EAIF accounts and
// the outbound route accounts of the MMSC.
//
// Format: the records one after another, nothing else. The file is always
// written whole, beside itself, and renamed over the old one, so a crash
// leaves the old or the new file; read-modify-write is serialised between
// processes with flock() on a hidden lock file beside it. A file whose size is
// not a multiple of the record size (a truncated copy, a foreign file) is
// read as its whole records; the remaining bytes are ignored and dropped at
// the next write.
//
// Order: every write stores the records sorted by account name, letters
// compared without regard to case; indexes count in that order. Names are
// unique ignoring case: storing a record replaces the one of that name.
//
// A RecordFile sees changes made by other handles and other processes: before
// each operation it compares the file's identity (device, inode, size,
// modification and change times) with the one it last read, and re-reads only
// when they differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovr::config {

class RecordFile {
public:
    // Files larger than this are treated as unreadable: nothing is listed and
    // writes fail rather than replace a file that could not be read.
    static constexpr uint64_t kMaxFileBytes = 64u << 20;

    RecordFile(std::string path, size_t record_size, bool writable);

    const std::string& path() const { return path_; }
    size_t record_size() const { return record_size_; }
    bool writable() const { return writable_; }

    // False when the file exists but cannot be read as records (not a regular
    // file, unreadable, too large). A missing file reads as no records.
    bool readable();

    size_t count();
    // Copies record `index` into out (record_size bytes).
    bool get(size_t index, uint8_t* out);
    // The index of the first record with this name (ignoring case).
    std::optional<size_t> find(std::string_view name, uint8_t* out);
    // The index of the first record, in file order, whose name begins with
    // the prefix (ignoring case); an empty prefix matches the first record.
    std::optional<size_t> find_prefix(std::string_view prefix, uint8_t* out);

    // Stores the record (record_size bytes), replacing every record of the
    // same name; its name must not be empty. False on a read-only handle or
    // when the file cannot be written.
    bool put(const uint8_t* record);
    // Removes every record of that name. True when none is left afterwards
    // (also when there was none).
    bool remove(std::string_view name);
    // Removes every record of any of these names in one rewrite. True when
    // none of them is left afterwards.
    bool remove_all(const std::vector<std::string>& names);

private:
    struct Identity {
        uint64_t dev = 0, ino = 0, size = 0;
        int64_t mtime_sec = 0, mtime_nsec = 0, ctime_sec = 0, ctime_nsec = 0;
        bool present = false;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    enum class Load { kOk, kMissing, kBad };

    static Identity identity_of(const std::string& path, bool& ok);
    // Reads the file as it is now.
    Load load(std::string& data, Identity& id) const;
    void refresh();
    size_t name_length(const char* rec) const;
    // Locked read-modify-write of the records as they are on disk now.
    bool modify(const std::function<void(std::vector<std::string>&)>& change);

    std::string path_;
    size_t record_size_;
    bool writable_;
    bool valid_ = false;     // data_ matches id_
    bool bad_ = false;       // the file could not be read
    Identity id_;
    std::string data_;       // whole records only
};

}  // namespace ovr::config
