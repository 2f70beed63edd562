#pragma once
// The package archive's block store: the header, the directory record
// "root", the chain of file records with its name index, the data blocks
// and the free list. Every position and length read from the archive is
// checked before it is used, every write is checked, and a failure is
// reported (last error and platform stream) before false comes back.
#include <cstdint>
#include <functional>

#include "failure_report.h"
#include "package.h"

inline constexpr uint16_t kErrorReopen = 4101;
inline constexpr uint16_t kErrorCreate = 4102;
inline constexpr uint16_t kErrorRead = 4103;
inline constexpr uint16_t kErrorWrite = 4104;
inline constexpr uint16_t kErrorNotPackage = 4105;
inline constexpr uint16_t kErrorVersion = 4106;
inline constexpr uint16_t kErrorMemory = 4107;
inline constexpr uint16_t kErrorMissing = 4108;
inline constexpr uint16_t kErrorClosed = 4109;
inline constexpr uint16_t kErrorSource = 4110;
inline constexpr uint16_t kErrorOutput = 4111;
inline constexpr uint16_t kErrorNotFound = 4112;

// Failures of the archive, reported under its own source location.
inline void package_failure(uint16_t code, const char* argument, int line,
                            const char* detail = nullptr) {
  report_failure("code/package", line, code, argument, detail);
}

struct PACKAGE_STORE {
  enum : int { FOUND = 1, NOT_FOUND = 0, BROKEN = -1 };

  // Opens the archive named by the package (creating it when allowed) and
  // reads its header, directory and, with the kept list, its records.
  static bool open(PACKAGE& p, bool create_missing, int32_t block_size);
  // Closes the archive and forgets the records, index and block buffer.
  static void close(PACKAGE& p);
  // Writes the header, the directory and the changed kept records.
  static bool flush(PACKAGE& p);

  static const char* shown(PACKAGE& p);                          // the archive's name for messages
  static bool broken(PACKAGE& p, int line, const char* detail);  // 4103, false

  // FOUND with the record, NOT_FOUND, or BROKEN with the error reported.
  static int lookup(PACKAGE& p, const char* wanted, PACKAGE_FILE_RECORD& record);
  // A new, empty record for a stored name, chained behind the last one.
  static bool append_record(PACKAGE& p, const char* stored, PACKAGE_FILE_RECORD& record);
  // Returns the record's blocks to the free list and empties it.
  static bool free_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record);
  // Kept entry: changed in memory; otherwise written through.
  static bool update_record(PACKAGE& p, PACKAGE_FILE_RECORD& record);

  // Hands each block's used bytes to sink (with the running total), in
  // chain order; false when the chain is damaged (reported) or sink said so.
  using BLOCK_SINK = std::function<bool(const uint8_t* bytes, uint32_t count, uint32_t done)>;
  static bool read_blocks(PACKAGE& p, const PACKAGE_FILE_RECORD& record, const BLOCK_SINK& sink);
  // Fills blocks from source until it reports the end, each block taken
  // from the free list or appended, written, then linked to the record.
  // source fills at most capacity bytes, sets count and end; false stops.
  using BLOCK_SOURCE =
      std::function<bool(uint8_t* bytes, uint32_t capacity, uint32_t& count, bool& end)>;
  static bool write_blocks(PACKAGE& p, PACKAGE_FILE_RECORD& record, const BLOCK_SOURCE& source);

private:
  struct IO;
};
