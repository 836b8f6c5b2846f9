#pragma once

#include <stddef.h>

/* The scanner's own blocks (its state, buffer stack and input buffers), kept
   on a list so that an import the scanner abandons half-way still frees every
   one of them. */
typedef union ScannerBlock ScannerBlock;

void* ScannerMemoryAlloc(ScannerBlock** list, size_t size);

/* Like realloc: on failure the old block stays valid and on the list. */
void* ScannerMemoryResize(ScannerBlock** list, void* block, size_t size);

void ScannerMemoryFree(ScannerBlock** list, void* block);

void ScannerMemoryFreeAll(ScannerBlock** list);
