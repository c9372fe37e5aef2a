// The data archive and file resolution: the one way every loader finds a file
// by name, on disk first and then as an LZO1X entry of the data archive,
// unpacked into a temporary file.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// Types

// One archive record. The runtime keeps two in `engine.dataArchives`
// (element 0 the primary, element 1 the secondary); loaders use the primary.
struct DataArchive {
    uint8_t enabled;              // the archive may be consulted
    char archivePath[260];        // zero-terminated path of the archive file
    char lastTemporaryFile[263];  // temporary file last unpacked; empty when none
};

// Longest name (and longest resolved path) the records and buffers hold,
// without the terminating zero.
constexpr int kDataPathMax = 259;

// ---------------------------------------------------------------------------
// Lifecycle

// Allocates the two records into `engine.dataArchives`, enabled, with empty
// paths. Does nothing when they already exist.
void DataArchivesCreate();
// Deletes each record's temporary file and frees both records;
// `engine.dataArchives` is null afterwards. Safe to call when none exist.
void DataArchivesRelease();

// ---------------------------------------------------------------------------
// Resolution

// Points the primary record at `primary` and the secondary at `secondary`:
// each is enabled again and its temporary file deleted. Null counts as the
// empty text; a path longer than kDataPathMax leaves the record with an empty
// path (so it is disabled at its next use). Does nothing before
// DataArchivesCreate.
void SetDataArchives(const char* primary, const char* secondary);

// Finds where the file `name` can be read. Deletes the record's previous
// temporary file first. Tries `name` on disk, then the entry named like the
// part of `name` after its last '/' or '\\' (case-insensitive) in the record's
// archive, unpacked into a temporary file. `outPath` is a buffer of at least
// 260 bytes and may be the same buffer as `name`. Returns non-zero when the
// file can be read at `outPath`; 0 otherwise (then `outPath` is empty, or
// untouched when the record is disabled). Never raises a runtime error. The
// caller must read the file completely before the next resolution.
int ResolveDataFile(DataArchive* record, const char* name, char* outPath);

// Deletes the record's temporary file now, for a loader that has read it whole
// and keeps nothing of it. Safe when there is none or the record is null.
void ReleaseDataFile(DataArchive* record);
