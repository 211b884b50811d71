// Memory for the hash tables. Every table is one block sized from an option,
// so a request can exceed the machine, or even the address space of a 32-bit
// build; callers treat a null result as "not enough memory".
#pragma once

#include <cstdint>

// A block of `bytes` zero bytes, or nullptr when the size does not fit the
// address space, exceeds the ceiling, or the memory cannot be had. The pages
// come from the system untouched, so memory the engine never uses costs
// nothing. Released with table_free.
void* table_alloc_zeroed(std::uint64_t bytes);
void table_free(void* block);

// Requests above this many bytes fail as if the machine had no more memory.
// The in-process harnesses (fuzzers, tests) use it to stay small and to
// exercise the out-of-memory path; the engine itself never sets it.
void set_table_size_ceiling(std::uint64_t bytes);
