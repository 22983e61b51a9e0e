// Heap blocks and intrusive doubly linked lists, shared by every subsystem.
//
// Any thread may call these; a list is owned by whoever owns its head and tail
// and must not be changed by two threads at once. Blocks come from the C heap:
// free them with freeBlock (or free). Portable: no platform headers.
#pragma once

#include <stddef.h>

// Every list node begins with these two pointers; node records put a ListNode
// as their first member, so a record pointer converts to a ListNode pointer.
struct ListNode {
    ListNode* previous;
    ListNode* next;
};

// Links node behind *tail (or makes it the only node of an empty list).
// Returns 1, or 0 when any argument is missing (nothing changes then).
int listAppend(ListNode** head, ListNode** tail, ListNode* node);

// Unlinks node from the list and frees it with free(). The node must be a heap
// block that belongs to this list. Returns 1, or 0 when any argument is missing.
int listRemove(ListNode** head, ListNode** tail, ListNode* node);

// Stores a new block of size bytes at *out; with fillFlag nonzero every byte is
// set to fillByte. Returns 0 when out is missing or size is not positive
// (nothing is allocated); otherwise 1, even when memory ran out: *out is then
// null, so callers test the stored pointer.
int allocBlock(void** out, int size, int fillFlag, unsigned char fillByte);

// Frees the block stored at *out and stores null. Returns 0 when *out is null.
int freeBlock(void** out);

// Bounded copy: copies source into dest (capacity bytes, terminator included).
// Returns 1, or 0 when it does not fit (dest then holds an empty string).
int copyText(char* dest, size_t capacity, const char* source);

// Bounded append: appends source behind the text in dest. Returns 1, or 0 when
// the result would not fit (dest is then unchanged).
int appendText(char* dest, size_t capacity, const char* source);
