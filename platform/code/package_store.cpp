#include "package_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "data_file.h"
#include "file_services.h"

namespace {

constexpr char kMagic[8] = {'V', 'O', 'R', 'N', 'P', 'K', 'G', '\0'};
constexpr uint16_t kVersion = 1;
constexpr uint32_t kHeaderFieldsAt = 10;
constexpr uint32_t kRecordFields = 16;     // first, last, next, size
constexpr uint32_t kDirectoryFields = 20;  // first, last, three reserved words
constexpr uint32_t kBlockFields = 8;       // next before the data, used behind it
// Positions are u32 and the file carries the order byte in front of them,
// so nothing may end beyond this package position.
constexpr uint64_t kArchiveLimit = 0xFFFFFFFEull;
// Records are small and lie apart by their files' blocks: a modest buffer
// keeps record walks cheap, and longer runs of blocks bypass it.
constexpr int32_t kArchiveBuffer = 65536;
// Consecutive blocks of a file are read in pieces of about this size.
constexpr uint64_t kRunBytes = 262144;
// Past this many names the look-up table is dropped and records are walked.
constexpr size_t kIndexLimit = size_t{1} << 20;
constexpr uint8_t kOrderByte = 255;

uint32_t get_u32(const uint8_t* bytes, bool swap) {
  if (swap)
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           bytes[3];
  return (uint32_t{bytes[3]} << 24) | (uint32_t{bytes[2]} << 16) | (uint32_t{bytes[1]} << 8) |
         bytes[0];
}

void put_u32(uint8_t* bytes, uint32_t value, bool swap) {
  for (int i = 0; i < 4; i++) {
    uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    bytes[swap ? 3 - i : i] = byte;
  }
}

}  // namespace

struct PACKAGE_INDEX {
  struct PLACE {
    uint32_t position;
    PACKAGE_FILE_RECORD* entry;  // kept list only
  };
  std::unordered_map<std::string, PLACE> names;
};

// The stored form itself: every position that comes from the file is
// checked before it is used, every write is checked, and a walk along a
// chain is bounded by what the file can hold.
struct PACKAGE_STORE::IO {
  static const char* shown(PACKAGE& p) { return p.name.get_text() ? p.name.get_text() : ""; }
  static uint32_t size(PACKAGE& p) { return p.file->get_size(); }
  static bool swapped(PACKAGE& p) { return p.file->swap != 0; }

  static bool broken(PACKAGE& p, int line, const char* detail) {
    package_failure(kErrorRead, shown(p), line, detail);
    return false;
  }
  static bool write_failed(PACKAGE& p, int line, const char* detail = nullptr) {
    package_failure(kErrorWrite, shown(p), line, detail);
    return false;
  }

  // DATA_FILE::seek takes a signed offset; positions in the upper half are
  // reached from the end, which is never more than 2 GiB away from them.
  static bool seek_to(PACKAGE& p, uint32_t position) {
    if (position <= 0x7FFFFFFFu) return p.file->seek(static_cast<int32_t>(position), false);
    int64_t from_end = static_cast<int64_t>(position) - size(p);
    if (from_end < INT32_MIN || from_end > INT32_MAX) return false;
    return p.file->seek(static_cast<int32_t>(from_end), true);
  }

  static bool read_at(PACKAGE& p, uint32_t position, void* bytes, uint32_t count) {
    return seek_to(p, position) &&
           p.file->read(bytes, static_cast<int32_t>(count)) == static_cast<int32_t>(count);
  }

  static bool read_u32_at(PACKAGE& p, uint32_t position, uint32_t& value) {
    uint8_t bytes[4];
    if (!read_at(p, position, bytes, 4)) return false;
    value = get_u32(bytes, swapped(p));
    return true;
  }

  static bool write_at(PACKAGE& p, uint32_t position, const void* bytes, uint32_t count) {
    if (p.read_only || static_cast<uint64_t>(position) + count > kArchiveLimit ||
        position < kHeaderFieldsAt)
      return false;
    return seek_to(p, position) &&
           p.file->write(bytes, static_cast<int32_t>(count)) == static_cast<int32_t>(count);
  }

  static bool write_u32_at(PACKAGE& p, uint32_t position, uint32_t value) {
    uint8_t bytes[4];
    put_u32(bytes, value, swapped(p));
    // Links and fields are only ever written behind the header.
    return position >= PACKAGE::HEADER_SIZE && write_at(p, position, bytes, 4);
  }

  static bool block_fits(PACKAGE& p, uint32_t position) {
    return position >= PACKAGE::HEADER_SIZE &&
           static_cast<uint64_t>(position) + p.header.block_size + kBlockFields <= size(p);
  }
  static bool record_fits(PACKAGE& p, uint32_t position, uint32_t fields) {
    return position >= PACKAGE::HEADER_SIZE &&
           static_cast<uint64_t>(position) + 4 + fields <= size(p);
  }
  // Both 0, or both inside the file.
  static bool block_pair_fits(PACKAGE& p, uint32_t first, uint32_t last) {
    if (first == 0 || last == 0) return first == last;
    return block_fits(p, first) && block_fits(p, last);
  }

  // Position where n more bytes can be appended, or false (4104) when the
  // archive would outgrow its 32-bit positions.
  static bool reserve_end(PACKAGE& p, uint64_t count, uint32_t& position) {
    position = size(p);
    if (position + count > kArchiveLimit)
      return write_failed(p, __LINE__, "the archive would grow past 4 GiB");
    return true;
  }

  // ---- header and directory ------------------------------------------

  static bool write_header(PACKAGE& p) {
    uint8_t bytes[16];
    put_u32(bytes, p.header.block_size, swapped(p));
    put_u32(bytes + 4, p.header.directory, swapped(p));
    put_u32(bytes + 8, p.header.first_free, swapped(p));
    put_u32(bytes + 12, p.header.last_free, swapped(p));
    if (!write_at(p, p.header.position, bytes, sizeof bytes)) return write_failed(p, __LINE__);
    return true;
  }

  static bool write_directory_fields(PACKAGE& p) {
    uint8_t bytes[kDirectoryFields] = {};
    put_u32(bytes, p.directory.first_file, swapped(p));
    put_u32(bytes + 4, p.directory.last_file, swapped(p));
    uint32_t at = p.directory.position + 4 + p.directory.name_length;
    if (p.directory.position < PACKAGE::HEADER_SIZE || !write_at(p, at, bytes, sizeof bytes))
      return write_failed(p, __LINE__);
    return true;
  }

  static bool read_header(PACKAGE& p) {
    uint8_t magic[8];
    if (!read_at(p, 0, magic, sizeof magic)) return broken(p, __LINE__, "no header");
    if (memcmp(magic, kMagic, 7) != 0) {
      package_failure(kErrorNotPackage, shown(p), __LINE__);
      return false;
    }
    uint16_t version = 0;
    if (!p.file->read_u16(version)) return broken(p, __LINE__, "no version");
    if (version > kVersion) {
      package_failure(kErrorVersion, shown(p), __LINE__);
      return false;
    }
    uint8_t fields[16];
    if (!read_at(p, kHeaderFieldsAt, fields, sizeof fields))
      return broken(p, __LINE__, "header cut short");
    p.header.position = kHeaderFieldsAt;
    p.header.block_size = get_u32(fields, swapped(p));
    p.header.directory = get_u32(fields + 4, swapped(p));
    p.header.first_free = get_u32(fields + 8, swapped(p));
    p.header.last_free = get_u32(fields + 12, swapped(p));
    if (p.header.block_size == 0 || p.header.block_size > PACKAGE::MAX_BLOCK_SIZE) {
      package_failure(kErrorNotPackage, shown(p), __LINE__, "block size 0 or above 50 MiB");
      return false;
    }
    if (!block_pair_fits(p, p.header.first_free, p.header.last_free))
      return broken(p, __LINE__, "free list outside the archive");
    return read_directory(p);
  }

  // What read_named_record says when a record lies outside the file, names
  // more bytes than the file holds, or ends early.
  struct NAMED_RECORD_ERRORS {
    const char* outside;
    const char* too_long;
    const char* cut_short;
  };

  // Reads a record made of a u32 name length, the name and field_count
  // bytes of fields at position, checking every size against the archive.
  static bool read_named_record(PACKAGE& p, uint32_t position,
                                char (&text)[PACKAGE::MAX_NAME_LENGTH + 1], uint8_t* fields,
                                uint32_t field_count, uint32_t& length,
                                const NAMED_RECORD_ERRORS& errors) {
    if (!record_fits(p, position, field_count) || !read_u32_at(p, position, length))
      return broken(p, __LINE__, errors.outside);
    if (length > PACKAGE::MAX_NAME_LENGTH ||
        static_cast<uint64_t>(position) + 4 + length + field_count > size(p))
      return broken(p, __LINE__, errors.too_long);
    if (p.file->read(text, static_cast<int32_t>(length)) != static_cast<int32_t>(length) ||
        p.file->read(fields, static_cast<int32_t>(field_count)) !=
            static_cast<int32_t>(field_count))
      return broken(p, __LINE__, errors.cut_short);
    text[length] = '\0';
    return true;
  }

  static bool read_directory(PACKAGE& p) {
    uint32_t at = p.header.directory;
    uint32_t length = 0;
    char text[PACKAGE::MAX_NAME_LENGTH + 1];
    uint8_t fields[kDirectoryFields];
    static constexpr NAMED_RECORD_ERRORS kErrors = {"directory outside the archive",
                                                    "directory name longer than the archive allows",
                                                    "directory cut short"};
    if (!read_named_record(p, at, text, fields, kDirectoryFields, length, kErrors)) return false;
    p.directory.position = at;
    p.directory.name_length = length;
    if (!p.directory.name.set(text)) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    p.directory.first_file = get_u32(fields, swapped(p));
    p.directory.last_file = get_u32(fields + 4, swapped(p));
    for (int i = 0; i < 3; i++) p.directory.reserved[i] = get_u32(fields + 8 + 4 * i, swapped(p));
    uint32_t first = p.directory.first_file, last = p.directory.last_file;
    if ((first == 0) != (last == 0) || (first != 0 && (!record_fits(p, first, kRecordFields) ||
                                                       !record_fits(p, last, kRecordFields))))
      return broken(p, __LINE__, "file records outside the archive");
    return true;
  }

  // ---- opening and creating ------------------------------------------

  static bool open_archive(PACKAGE& p, uint32_t mode) {
    DATA_FILE* data = new (std::nothrow) DATA_FILE(kArchiveBuffer);
    if (!data) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    if (!data->open(p.folder, shown(p), mode, kOrderByte, false)) {
      delete data;
      return false;
    }
    p.file = data;
    return true;
  }

  static void close_archive(PACKAGE& p) {
    if (p.file) FOLDER::close_data_file(p.file);
  }

  static bool create(PACKAGE& p, int32_t block_size) {
    if (!open_archive(p, 1)) {
      package_failure(kErrorCreate, shown(p), __LINE__);
      return false;
    }
    uint32_t data_size =
        block_size < 1 ? PACKAGE::DEFAULT_BLOCK_SIZE : static_cast<uint32_t>(block_size);
    if (data_size > PACKAGE::MAX_BLOCK_SIZE) data_size = PACKAGE::MAX_BLOCK_SIZE;
    if (p.file->write(kMagic, sizeof kMagic) != static_cast<int32_t>(sizeof kMagic) ||
        !p.file->write_u16(kVersion))
      return write_failed(p, __LINE__);
    p.header = PACKAGE_HEADER();
    p.header.position = p.file->tell();
    p.header.block_size = data_size;
    if (!write_header(p)) return false;
    p.header.directory = p.file->tell();
    if (!write_header(p)) return false;

    static const char kRoot[] = "root";
    p.directory.position = p.header.directory;
    p.directory.name_length = sizeof kRoot - 1;
    p.directory.first_file = p.directory.last_file = 0;
    if (!p.directory.name.set(kRoot)) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    uint8_t record[4 + sizeof kRoot - 1 + kDirectoryFields] = {};
    put_u32(record, p.directory.name_length, swapped(p));
    memcpy(record + 4, kRoot, p.directory.name_length);
    if (!write_at(p, p.directory.position, record, sizeof record)) return write_failed(p, __LINE__);
    bool closed = FOLDER::close_data_file(p.file);
    if (!closed) return write_failed(p, __LINE__);
    if (!open_archive(p, 2)) {
      package_failure(kErrorReopen, shown(p), __LINE__);
      return false;
    }
    return read_header(p);
  }

  static bool open(PACKAGE& p, bool create_missing, int32_t block_size) {
    if (open_archive(p, 0)) {
      // The header is checked before the file is opened for writing, so
      // that a file that is no package is never touched.
      if (!read_header(p)) return false;
      if (!p.read_only) {
        close_archive(p);
        if (!open_archive(p, 2)) {
          package_failure(kErrorReopen, shown(p), __LINE__);
          return false;
        }
        if (!read_header(p)) return false;
      }
    } else {
      if (get_file_kind(p.folder, shown(p)) != FILE_KIND::MISSING) {
        // There but unreadable: never replaced by an empty archive.
        return broken(p, __LINE__, "the file cannot be opened");
      }
      if (!create_missing) {
        package_failure(kErrorMissing, shown(p), __LINE__);
        return false;
      }
      p.read_only = 0;
      if (!create(p, block_size)) {
        // Nothing was there before: leave nothing half-made behind.
        close_archive(p);
        remove_file(p.folder, shown(p));
        return false;
      }
    }
    return !p.keep_list || load_entries(p);
  }

  // ---- file records ---------------------------------------------------

  // Reads the record at position; name receives the exact stored bytes.
  static bool read_record(PACKAGE& p, uint32_t position, PACKAGE_FILE_RECORD& record,
                          std::string* name = nullptr) {
    uint32_t length = 0;
    char text[PACKAGE::MAX_NAME_LENGTH + 1];
    uint8_t fields[kRecordFields];
    static constexpr NAMED_RECORD_ERRORS kErrors = {"file record outside the archive",
                                                    "file name longer than the archive allows",
                                                    "file record cut short"};
    if (!read_named_record(p, position, text, fields, kRecordFields, length, kErrors)) return false;
    record.position = position;
    record.name_length = length;
    record.first_block = get_u32(fields, swapped(p));
    record.last_block = get_u32(fields + 4, swapped(p));
    record.next_file = get_u32(fields + 8, swapped(p));
    record.size = get_u32(fields + 12, swapped(p));
    record.next_entry = nullptr;
    record.kept = nullptr;
    record.dirty = 0;
    // Block positions are checked where they are used, so that one damaged
    // file does not hide the others.
    // Records are appended in the order they are chained, so a chain that
    // does not move forward is broken (and could not end).
    if (record.next_file != 0 && record.next_file <= position)
      return broken(p, __LINE__, "file record chain runs backwards");
    if (!record.name.set(text)) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    if (name) name->assign(text, length);
    return true;
  }

  static bool write_record_fields(PACKAGE& p, const PACKAGE_FILE_RECORD& record) {
    uint8_t fields[kRecordFields];
    put_u32(fields, record.first_block, swapped(p));
    put_u32(fields + 4, record.last_block, swapped(p));
    put_u32(fields + 8, record.next_file, swapped(p));
    put_u32(fields + 12, record.size, swapped(p));
    if (record.position < PACKAGE::HEADER_SIZE ||
        !write_at(p, record.position + 4 + record.name_length, fields, sizeof fields))
      return write_failed(p, __LINE__);
    return true;
  }

  // Kept entry: changed in memory; otherwise written through.
  static bool update_record(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
    if (!record.kept) return write_record_fields(p, record);
    PACKAGE_FILE_RECORD& entry = *record.kept;
    entry.first_block = record.first_block;
    entry.last_block = record.last_block;
    entry.size = record.size;  // the link to the next entry is the list's own
    entry.dirty = 1;
    return true;
  }

  // Calls visit for each record from the directory's first; stops when it
  // answers true. The chain moves strictly forward, so it ends by itself.
  // A walk to the end notes the chain's last record.
  template <typename VISIT>
  static int walk(PACKAGE& p, VISIT visit) {
    uint32_t at = p.directory.first_file;
    uint32_t previous = 0;
    PACKAGE_FILE_RECORD record;
    std::string name;
    while (at != 0) {
      if (!read_record(p, at, record, &name)) return BROKEN;
      if (visit(record, name)) return FOUND;
      previous = at;
      at = record.next_file;
    }
    p.tail_record = previous;
    return NOT_FOUND;
  }

  static bool index_name(PACKAGE& p, const std::string& name, uint32_t position,
                         PACKAGE_FILE_RECORD* entry) {
    if (!p.index) return true;
    if (p.index->names.size() >= kIndexLimit) {
      delete p.index;
      p.index = nullptr;
      p.index_disabled = 1;
      return true;
    }
    try {
      p.index->names.emplace(name,
                             PACKAGE_INDEX::PLACE{position, entry});  // the first keeps its place
    } catch (const std::bad_alloc&) {
      delete p.index;
      p.index = nullptr;
      p.index_disabled = 1;
    }
    return true;
  }

  static bool build_index(PACKAGE& p) {
    p.index = new (std::nothrow) PACKAGE_INDEX;
    if (!p.index) {
      p.index_disabled = 1;
      return true;
    }
    int result = walk(p, [&p](PACKAGE_FILE_RECORD& record, const std::string& name) {
      index_name(p, name, record.position, nullptr);
      return false;
    });
    if (result == BROKEN) {
      delete p.index;
      p.index = nullptr;
      return false;
    }
    return true;
  }

  static bool load_entries(PACKAGE& p) {
    p.index = new (std::nothrow) PACKAGE_INDEX;
    if (!p.index) p.index_disabled = 1;
    bool out_of_memory = false;
    int result =
        walk(p, [&p, &out_of_memory](PACKAGE_FILE_RECORD& record, const std::string& name) {
          PACKAGE_FILE_RECORD* entry = new (std::nothrow) PACKAGE_FILE_RECORD(record);
          if (!entry || !p.entries.add(entry)) {
            delete entry;
            out_of_memory = true;
            return true;
          }
          if (p.list_tail)
            p.list_tail->next_entry = entry;
          else
            p.list_head = entry;
          p.list_tail = entry;
          index_name(p, name, record.position, entry);
          return false;
        });
    if (out_of_memory) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    return result != BROKEN;
  }

  // FOUND with the record, NOT_FOUND, or BROKEN with the error reported.
  static int lookup(PACKAGE& p, const char* wanted, PACKAGE_FILE_RECORD& record) {
    std::string key(wanted);
    if (p.keep_list) {
      PACKAGE_FILE_RECORD* entry = nullptr;
      if (p.index) {
        auto place = p.index->names.find(key);
        if (place != p.index->names.end()) entry = place->second.entry;
      } else {
        for (PACKAGE_FILE_RECORD* e = p.list_head; e && !entry; e = e->next_entry)
          if (e->name_length == key.size() && e->name.get_text() && key == e->name.get_text())
            entry = e;
      }
      if (!entry) return NOT_FOUND;
      record = *entry;
      record.next_entry = nullptr;
      record.kept = entry;
      return FOUND;
    }
    if (!p.index && !p.index_disabled && !build_index(p)) return BROKEN;
    if (p.index) {
      auto place = p.index->names.find(key);
      if (place == p.index->names.end()) return NOT_FOUND;
      return read_record(p, place->second.position, record) ? FOUND : BROKEN;
    }
    return walk(p, [&](PACKAGE_FILE_RECORD& found, const std::string& name) {
      if (name != key) return false;
      record = found;
      return true;
    });
  }

  static bool append_record(PACKAGE& p, const char* stored, PACKAGE_FILE_RECORD& record) {
    uint32_t length = static_cast<uint32_t>(strlen(stored));
    uint32_t at = 0;
    if (!reserve_end(p, 4ull + length + kRecordFields, at)) return false;
    uint8_t bytes[4 + PACKAGE::MAX_NAME_LENGTH + kRecordFields] = {};
    put_u32(bytes, length, swapped(p));
    memcpy(bytes + 4, stored, length);
    // On the disk before anything points at it.
    if (!write_at(p, at, bytes, 4 + length + kRecordFields) || !p.file->flush())
      return write_failed(p, __LINE__);

    record = PACKAGE_FILE_RECORD();
    record.position = at;
    record.name_length = length;
    if (!record.name.set(stored)) {
      package_failure(kErrorMemory, nullptr, __LINE__);
      return false;
    }
    PACKAGE_FILE_RECORD* entry = nullptr;
    if (p.keep_list) {
      entry = new (std::nothrow) PACKAGE_FILE_RECORD(record);
      if (!entry || !p.entries.add(entry)) {
        delete entry;
        package_failure(kErrorMemory, nullptr, __LINE__);
        return false;
      }
      if (p.list_tail) {
        p.list_tail->next_file = at;
        p.list_tail->next_entry = entry;
        p.list_tail->dirty = 1;
      } else {
        p.list_head = entry;
      }
      p.list_tail = entry;
      record.kept = entry;
    } else if (p.tail_record != 0) {
      // Link the chain's last record to the new one.
      uint32_t last = p.tail_record;
      uint32_t last_length = 0;
      if (!record_fits(p, last, kRecordFields) || !read_u32_at(p, last, last_length) ||
          last_length > PACKAGE::MAX_NAME_LENGTH ||
          static_cast<uint64_t>(last) + 4 + last_length + kRecordFields > size(p))
        return broken(p, __LINE__, "last file record outside the archive");
      if (!write_u32_at(p, last + 4 + last_length + 8, at)) return write_failed(p, __LINE__);
    }
    p.tail_record = at;
    p.directory.last_file = at;
    if (p.directory.first_file == 0) p.directory.first_file = at;
    if (!p.keep_list && !write_directory_fields(p)) return false;
    index_name(p, std::string(stored, length), at, entry);
    return true;
  }

  // ---- blocks ---------------------------------------------------------

  // Chooses where the next block goes: the first free block, else a new
  // one at the end (which the caller writes at once). Without the kept list
  // the header is rewritten before the block is used, so that a block is
  // never both free and in use on the disk.
  static bool choose_block(PACKAGE& p, uint32_t& at) {
    if (p.header.first_free == 0)
      return reserve_end(p, uint64_t{p.header.block_size} + kBlockFields, at);
    at = p.header.first_free;
    uint32_t next = 0;
    if (!block_fits(p, at) || !read_u32_at(p, at, next))
      return broken(p, __LINE__, "free block outside the archive");
    if (at == p.header.last_free || next == 0) {
      p.header.first_free = p.header.last_free = 0;
    } else {
      if (!block_fits(p, next)) return broken(p, __LINE__, "free list leaves the archive");
      p.header.first_free = next;
    }
    return p.keep_list || write_header(p);
  }

  // Makes a written block the file's last one and updates the record. The
  // link goes on the disk only after the block itself, and the record
  // after the link, so that the record never names a block that is not
  // there.
  static bool link_block(PACKAGE& p, PACKAGE_FILE_RECORD& record, uint32_t at) {
    if (record.last_block != 0 && !write_u32_at(p, record.last_block, at))
      return write_failed(p, __LINE__);
    if (record.first_block == 0) record.first_block = at;
    record.last_block = at;
    return update_record(p, record);
  }

  // Puts the file's chain at the end of the free list and empties the
  // record.
  static bool free_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
    if (!block_pair_fits(p, record.first_block, record.last_block))
      return broken(p, __LINE__, "data blocks outside the archive");
    if (record.first_block == 0) return true;  // an empty file has no chain to give
    if (p.header.first_free == 0) {
      p.header.first_free = record.first_block;
    } else if (!write_u32_at(p, p.header.last_free, record.first_block)) {
      return write_failed(p, __LINE__);
    }
    p.header.last_free = record.last_block;
    record.first_block = record.last_block = 0;
    if (!p.keep_list && !write_header(p)) return false;
    return update_record(p, record);
  }

  // The block buffer holds at least count bytes (whole blocks).
  static bool ensure_block_buffer(PACKAGE& p, uint64_t count) {
    if (p.block_buffer && p.block_buffer_size >= count) return true;
    free(p.block_buffer);
    p.block_buffer_size = 0;
    p.block_buffer = static_cast<uint8_t*>(malloc(count));
    if (p.block_buffer) {
      p.block_buffer_size = count;
      return true;
    }
    package_failure(kErrorMemory, nullptr, __LINE__);
    return false;
  }
};

// ---- the store's face ------------------------------------------------------

bool PACKAGE_STORE::open(PACKAGE& p, bool create_missing, int32_t block_size) {
  return IO::open(p, create_missing, block_size);
}

void PACKAGE_STORE::close(PACKAGE& p) {
  IO::close_archive(p);
  p.entries.remove_all();
  p.list_head = p.list_tail = nullptr;
  delete p.index;
  p.index = nullptr;
  free(p.block_buffer);
  p.block_buffer = nullptr;
  p.block_buffer_size = 0;
}

bool PACKAGE_STORE::flush(PACKAGE& p) {
  bool ok = IO::write_header(p) && IO::write_directory_fields(p);
  if (p.keep_list) {
    for (PACKAGE_FILE_RECORD* entry = p.list_head; entry && ok; entry = entry->next_entry) {
      if (!entry->dirty) continue;
      ok = IO::write_record_fields(p, *entry);
      if (ok) entry->dirty = 0;
    }
  }
  if (!p.file->flush()) {
    if (ok) IO::write_failed(p, __LINE__);
    ok = false;
  }
  return ok;
}

const char* PACKAGE_STORE::shown(PACKAGE& p) { return IO::shown(p); }

bool PACKAGE_STORE::broken(PACKAGE& p, int line, const char* detail) {
  return IO::broken(p, line, detail);
}

int PACKAGE_STORE::lookup(PACKAGE& p, const char* wanted, PACKAGE_FILE_RECORD& record) {
  return IO::lookup(p, wanted, record);
}

bool PACKAGE_STORE::append_record(PACKAGE& p, const char* stored, PACKAGE_FILE_RECORD& record) {
  return IO::append_record(p, stored, record);
}

bool PACKAGE_STORE::free_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
  return IO::free_blocks(p, record);
}

bool PACKAGE_STORE::update_record(PACKAGE& p, PACKAGE_FILE_RECORD& record) {
  return IO::update_record(p, record);
}

bool PACKAGE_STORE::read_blocks(PACKAGE& p, const PACKAGE_FILE_RECORD& record,
                                const BLOCK_SINK& sink) {
  const uint32_t block_size = p.header.block_size;
  const uint64_t stride = uint64_t{block_size} + kBlockFields;
  const bool swap = IO::swapped(p);
  // A chain holds at most the blocks the file has room for, and at most
  // one more than its size needs (a trailing block may be empty).
  uint64_t cap = IO::size(p) / stride + 1;
  uint64_t needed = uint64_t{record.size} / block_size + 2;
  if (needed < cap) cap = needed;

  // A file stored in one go lies in consecutive blocks: as many as its
  // size still needs are read at once, and every block is still checked
  // on its own. A chain that jumps elsewhere starts a new read there.
  uint32_t run_start = 0;
  uint64_t run_blocks = 0;
  uint32_t done = 0;
  uint32_t at = record.first_block;
  for (uint64_t steps = 0; at != 0; steps++) {
    if (steps >= cap) return IO::broken(p, __LINE__, "block chain longer than the stored file");
    if (!IO::block_fits(p, at)) return IO::broken(p, __LINE__, "data block outside the archive");
    const uint64_t offset = uint64_t{at} - run_start;
    const bool in_run = at >= run_start && offset % stride == 0 && offset / stride < run_blocks;
    if (!in_run) {
      const uint64_t left = record.size - done;
      uint64_t count = left == 0 ? 1 : (left + block_size - 1) / block_size;
      count = std::min({count, std::max<uint64_t>(1, kRunBytes / stride),
                        (uint64_t{IO::size(p)} - at) / stride});
      // Made only once the blocks are known to be there, so that a lying
      // header cannot ask for a large buffer.
      if (!IO::ensure_block_buffer(p, count * stride)) return false;
      if (!IO::read_at(p, at, p.block_buffer, static_cast<uint32_t>(count * stride)))
        return IO::broken(p, __LINE__, "data block cut short");
      run_start = at;
      run_blocks = count;
    }
    const uint8_t* block = p.block_buffer + (uint64_t{at} - run_start);
    uint32_t next = get_u32(block, swap);
    uint32_t used = get_u32(block + 4 + block_size, swap);
    if (used > block_size) return IO::broken(p, __LINE__, "block holds more than the block size");
    if (used > record.size - done)
      return IO::broken(p, __LINE__, "blocks hold more than the stored file's size");
    if (used > 0) {
      done += used;
      if (!sink(block + 4, used, done)) return false;
    }
    // The record's last block ends the chain, whatever follows it.
    if (at == record.last_block) break;
    at = next;
  }
  if (done != record.size)
    return IO::broken(p, __LINE__, "blocks end before the stored file's size");
  return true;
}

bool PACKAGE_STORE::write_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record,
                                 const BLOCK_SOURCE& source) {
  if (!IO::ensure_block_buffer(p, uint64_t{p.header.block_size} + kBlockFields)) return false;
  const uint32_t block_size = p.header.block_size;
  const bool swap = IO::swapped(p);
  // Blocks handed out by the free list. A damaged list that comes back on
  // itself would hand one out twice, and the file would lose its data
  // while the store reported success.
  std::unordered_set<uint32_t> reused;
  for (;;) {
    uint32_t count = 0;
    bool end = false;
    if (!source(p.block_buffer + 4, block_size, count, end)) return false;
    memset(p.block_buffer + 4 + count, 0, block_size - count);
    put_u32(p.block_buffer, 0, swap);
    put_u32(p.block_buffer + 4 + block_size, count, swap);
    uint32_t at = 0;
    const bool from_free_list = p.header.first_free != 0;
    if (!IO::choose_block(p, at)) return false;
    if (from_free_list) {
      bool fresh = false;
      try {
        fresh = reused.insert(at).second;
      } catch (const std::bad_alloc&) {
        package_failure(kErrorMemory, nullptr, __LINE__);
        return false;
      }
      if (!fresh) return IO::broken(p, __LINE__, "the free list runs in a circle");
    }
    // The block is on the disk before the chain and the record name it.
    if (!IO::write_at(p, at, p.block_buffer, block_size + kBlockFields) || !p.file->flush())
      return IO::write_failed(p, __LINE__);
    if (!IO::link_block(p, record, at)) return false;
    // An empty source still gets its one block: the end shows only after
    // the first read.
    if (end) return true;
  }
}
