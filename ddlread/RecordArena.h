#pragma once

#include <stddef.h>

/* Where the records handed to the caller live: slabs of 4 MiB, aligned to
   their size so that a record finds its slab from its own address. A column
   record is over 1 KB, so a large script's records run to a hundred MB; taking
   them in slabs that may use huge pages spares a page fault every few records,
   which otherwise costs more than the whole parse. A slab goes back to the
   system when its last record is released and no import fills it any more. */
typedef struct RecordSlab RecordSlab;

typedef struct RecordArena {
    RecordSlab* filling;
    int slabCount;
} RecordArena;

/* A zeroed record of size bytes, or null when memory runs out. */
void* RecordArenaAlloc(RecordArena* arena, size_t size);

/* Ends the arena's claim on the slab it fills; the records stay valid. */
void RecordArenaClose(RecordArena* arena);

/* Releases one record of size bytes from any arena; null does nothing. */
void RecordRelease(void* record, size_t size);
