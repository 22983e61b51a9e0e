#include "util/blocks.h"

#include <stdlib.h>
#include <string.h>

int listAppend(ListNode** head, ListNode** tail, ListNode* node) {
    if (!head || !tail || !node) return 0;
    node->next = nullptr;
    node->previous = *tail;
    if (*tail)
        (*tail)->next = node;
    else
        *head = node;
    *tail = node;
    return 1;
}

int listRemove(ListNode** head, ListNode** tail, ListNode* node) {
    if (!head || !tail || !node) return 0;
    if (node->previous)
        node->previous->next = node->next;
    else
        *head = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        *tail = node->previous;
    free(node);
    return 1;
}

int allocBlock(void** out, int size, int fillFlag, unsigned char fillByte) {
    if (!out || size <= 0) return 0;
    *out = malloc((size_t)size);
    if (*out && fillFlag) memset(*out, fillByte, (size_t)size);
    return 1;
}

int freeBlock(void** out) {
    if (!out || !*out) return 0;
    free(*out);
    *out = nullptr;
    return 1;
}

int copyText(char* dest, size_t capacity, const char* source) {
    if (!dest || capacity == 0) return 0;
    size_t length = source ? strlen(source) : 0;
    if (length >= capacity) {
        dest[0] = '\0';
        return 0;
    }
    memcpy(dest, source ? source : "", length + 1);
    return 1;
}

int appendText(char* dest, size_t capacity, const char* source) {
    if (!dest || !source) return 0;
    size_t used = strnlen(dest, capacity);
    size_t length = strlen(source);
    if (used >= capacity || length >= capacity - used) return 0;
    memcpy(dest + used, source, length + 1);
    return 1;
}
