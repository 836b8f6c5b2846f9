#include "RecordArena.h"

#include <stdint.h>
#include <sys/mman.h>

/* Memory checkers see each record as a block of its own, so a record that is
   never released, or used after release, is reported like a malloc block. */
#if defined(__has_include)
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define RECORD_VALGRIND 1
#endif
#endif
#ifndef RECORD_VALGRIND
#define VALGRIND_MALLOCLIKE_BLOCK(address, size, redzone, zeroed) ((void)0)
#define VALGRIND_FREELIKE_BLOCK(address, redzone) ((void)0)
#define VALGRIND_MAKE_MEM_NOACCESS(address, size) ((void)0)
#endif

#if defined(__SANITIZE_ADDRESS__)
#define RECORD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RECORD_ASAN 1
#endif
#endif
#ifdef RECORD_ASAN
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)0)
#endif

#define SLAB_SIZE ((size_t)4 << 20)
/* Records start one cache line into the slab, after the header. */
#define SLAB_HEADER 64
#define RECORD_ALIGNMENT 16

struct RecordSlab {
    size_t used;
    /* Records not yet released, plus one while an arena fills the slab. */
    size_t live;
};

static RecordSlab* MapSlab(int hugePages)
{
    /* Map twice the size and keep the aligned middle. */
    size_t span = 2 * SLAB_SIZE;
    char* base = mmap(NULL, span, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
        return NULL;
    }
    uintptr_t start =
        ((uintptr_t)base + SLAB_SIZE - 1) & ~(uintptr_t)(SLAB_SIZE - 1);
    size_t head = (size_t)(start - (uintptr_t)base);
    if (head > 0) {
        munmap(base, head);
    }
    size_t tail = span - head - SLAB_SIZE;
    if (tail > 0) {
        munmap((char*)start + SLAB_SIZE, tail);
    }
#ifdef MADV_HUGEPAGE
    if (hugePages) {
        madvise((void*)start, SLAB_SIZE, MADV_HUGEPAGE);
    }
#else
    (void)hugePages;
#endif
    RecordSlab* slab = (RecordSlab*)start;
    slab->used = SLAB_HEADER;
    slab->live = 1;
    VALGRIND_MAKE_MEM_NOACCESS((char*)slab + SLAB_HEADER, SLAB_SIZE - SLAB_HEADER);
    ASAN_POISON_MEMORY_REGION((char*)slab + SLAB_HEADER, SLAB_SIZE - SLAB_HEADER);
    return slab;
}

static void Unclaim(RecordSlab* slab)
{
    if (--slab->live == 0) {
        ASAN_UNPOISON_MEMORY_REGION(slab, SLAB_SIZE);
        munmap(slab, SLAB_SIZE);
    }
}

void* RecordArenaAlloc(RecordArena* arena, size_t size)
{
    size = (size + RECORD_ALIGNMENT - 1) & ~(size_t)(RECORD_ALIGNMENT - 1);
    if (size > SLAB_SIZE - SLAB_HEADER) {
        return NULL;
    }
    RecordSlab* slab = arena->filling;
    if (!slab || slab->used + size > SLAB_SIZE) {
        /* A small import stays on ordinary pages. */
        slab = MapSlab(arena->slabCount > 0);
        if (!slab) {
            return NULL;
        }
        ++arena->slabCount;
        RecordArenaClose(arena);
        arena->filling = slab;
    }
    /* Fresh anonymous pages are zero and no slab space is used twice. */
    char* record = (char*)slab + slab->used;
    slab->used += size;
    ++slab->live;
    ASAN_UNPOISON_MEMORY_REGION(record, size);
    VALGRIND_MALLOCLIKE_BLOCK(record, size, 0, 1);
    return record;
}

void RecordArenaClose(RecordArena* arena)
{
    if (arena->filling) {
        Unclaim(arena->filling);
        arena->filling = NULL;
    }
}

void RecordRelease(void* record, size_t size)
{
    if (!record) {
        return;
    }
    RecordSlab* slab =
        (RecordSlab*)((uintptr_t)record & ~(uintptr_t)(SLAB_SIZE - 1));
    VALGRIND_FREELIKE_BLOCK(record, 0);
    ASAN_POISON_MEMORY_REGION(record, size);
    Unclaim(slab);
}
