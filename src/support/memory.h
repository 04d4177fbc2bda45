// Memory blocks that callers never see fail: each operation returns a
// usable block or reports the shortage on standard error and ends the
// process with status 1, after one call of `endfun`. Also heap strings that
// grow by appending.
//
// Sizes are signed 32-bit byte counts. Every block, whichever function made
// it, is released with freemem (or freeLocal) and nothing else.
#pragma once

namespace kawase {

// A failed getmem of at least this many bytes returns null instead of
// ending the process. Initially 2147483647.
extern int terminate_size;

// When set, called once just before a memory failure ends the process
// (never by getmemLock's own exit). Initially null.
extern void (*endfun)();

// A new block of `size` bytes, all 0. Null only when the heap refused and
// `size` is at least terminate_size; any other failure ends the process.
void* getmem(int size);

// Resizes `block` (null: a new block) to `size` bytes, keeping its contents
// up to the smaller size; added bytes are not cleared. Returns the new
// address; the old one is no longer valid. Failure ends the process.
void* moremem(void* block, int size);

// Releases `block`; null is ignored.
void freemem(void* block);

// As getmem, but never returns null: a refused request ends the process.
void* getmemLock(int size);

// The address of the block a handle from getmemLock stands for: the handle
// itself.
void* getmemAdr(void* handle);

// Releases the block of a handle, exactly as freemem.
void freeLocal(void* handle);

// A new heap copy of the string `s` (never null).
char* setstr(const char* s);

// Appends `s` to the heap string `p` (made by setstr or addstr, never null)
// and returns the string's new address; the old one is no longer valid.
char* addstr(char* p, const char* s);

}  // namespace kawase
