#include "ScannerMemory.h"

#include <stdlib.h>

/* The header in front of each block; the alignment member keeps the caller's
   part as aligned as malloc's. */
union ScannerBlock {
    struct {
        ScannerBlock* previous;
        ScannerBlock* next;
    } links;
    max_align_t alignment;
};

static ScannerBlock* HeaderOf(void* block)
{
    return (ScannerBlock*)block - 1;
}

static void Link(ScannerBlock** list, ScannerBlock* header)
{
    header->links.previous = NULL;
    header->links.next = *list;
    if (*list) {
        (*list)->links.previous = header;
    }
    *list = header;
}

static void Unlink(ScannerBlock** list, ScannerBlock* header)
{
    if (header->links.previous) {
        header->links.previous->links.next = header->links.next;
    } else {
        *list = header->links.next;
    }
    if (header->links.next) {
        header->links.next->links.previous = header->links.previous;
    }
}

void* ScannerMemoryAlloc(ScannerBlock** list, size_t size)
{
    if (size > (size_t)-1 - sizeof(ScannerBlock)) {
        return NULL;
    }
    ScannerBlock* header = malloc(sizeof(ScannerBlock) + size);
    if (!header) {
        return NULL;
    }
    Link(list, header);
    return header + 1;
}

void* ScannerMemoryResize(ScannerBlock** list, void* block, size_t size)
{
    if (!block) {
        return ScannerMemoryAlloc(list, size);
    }
    if (size > (size_t)-1 - sizeof(ScannerBlock)) {
        return NULL;
    }
    ScannerBlock* header = HeaderOf(block);
    Unlink(list, header);
    ScannerBlock* moved = realloc(header, sizeof(ScannerBlock) + size);
    if (!moved) {
        Link(list, header);
        return NULL;
    }
    Link(list, moved);
    return moved + 1;
}

void ScannerMemoryFree(ScannerBlock** list, void* block)
{
    if (!block) {
        return;
    }
    ScannerBlock* header = HeaderOf(block);
    Unlink(list, header);
    free(header);
}

void ScannerMemoryFreeAll(ScannerBlock** list)
{
    while (*list) {
        ScannerBlock* header = *list;
        *list = header->links.next;
        free(header);
    }
}
